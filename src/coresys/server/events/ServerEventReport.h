// Building, reporting and sending one event reply.
//
// A report lives for one comparison or one notice: it is made over the new
// state (or without one), AddEvent appends each event to its reply and writes
// the event's text to the NT event log with the event's severity, and
// SendEvents hands the reply to the connection manager, which queues it for
// every revision-4 session of the subsystem.
//
// Every text starts with the text head (set 1 numbers 11 and 12, the first
// naming the subsystem), then the family's texts, then for state events the
// active controller's product id and revision (set 10 numbers 60, 61).
//
// Used on one thread at a time (a subsystem task, or the connection code for
// a notice).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "coresys/common/EventTypes.h"
#include "coresys/server/state/ServerEvent_RtnMsg.h"

class EventText;

class ServerEventReport {
  public:
    // What a text needs beyond the event's own words.
    struct Detail {
        std::uint32_t value = 0;          // MSS minor 13: the new target address
        std::string_view previousSerial;  // PHYS minor 0: the drive that left the slot
        std::string_view notice;          // SSW minor 4: the notice itself
        // CRES: the chunks an ending drive test found failing, and the
        // first block of the lowest of them.
        std::uint32_t failedChunks = 0;
        std::uint32_t firstFailedBlock = 0;
    };

    // A reply without a state: notices and server-software events.
    ServerEventReport();
    // A reply whose events carry pieces of state (the new one) and server;
    // either may be null.
    ServerEventReport(ServerDiskArrayState* state, OruServerState* server);
    ServerEventReport(const ServerEventReport&) = delete;
    ServerEventReport& operator=(const ServerEventReport&) = delete;

    // Appends the event (except SSW minor 4, which only reports its text),
    // then composes and reports its text when its family has one. A minor
    // type the family does not know is appended without a report.
    void AddEvent(EVENT_MAJOR_TYPE major, std::uint32_t minor, std::uint32_t data1,
                  std::uint32_t data2, const Detail& detail);
    void AddEvent(EVENT_MAJOR_TYPE major, std::uint32_t minor, std::uint32_t data1,
                  std::uint32_t data2) {
        AddEvent(major, minor, data1, data2, Detail{});
    }

    // Hands the reply to the connection manager when it holds at least one
    // event. Returns 1 when it was queued, 0 when there was nothing to send
    // or no connection manager to send it through.
    int SendEvents();

    ServerEvent_RtnMsg& Message() { return message_; }
    // The text of the last event that had one ("" when it had none), and
    // how many texts reached the event log.
    const std::string& LastText() const { return lastText_; }
    std::uint32_t TextsReported() const { return reported_; }

  private:
    bool Compose(EventText& text, EVENT_MAJOR_TYPE major, std::uint32_t minor, std::uint32_t data1,
                 std::uint32_t data2, const Detail& detail) const;
    bool ComposeController(EventText& text, std::uint32_t minor, std::uint32_t slot,
                           std::uint32_t item) const;
    bool ComposeSubsystemState(EventText& text, std::uint32_t minor) const;
    bool ComposeModeSubsystem(EventText& text, std::uint32_t minor, const Detail& detail) const;
    bool ComposeDrive(EventText& text, std::uint32_t minor, std::uint32_t slot,
                      const Detail& detail) const;
    bool ComposeHardware(EventText& text, std::uint32_t minor, std::uint32_t index) const;
    bool ComposeSingleValue(EventText& text, std::uint32_t minor) const;
    bool ComposeSoftware(EventText& text, std::uint32_t minor, std::uint32_t data1,
                         std::uint32_t data2, const Detail& detail) const;
    bool ComposeExtension(EventText& text, std::uint32_t minor) const;
    void AddProductTail(EventText& text) const;
    // The slot of the state's active controller, or -1.
    int ActiveSlot() const;

    ServerDiskArrayState* state_ = nullptr;
    ServerEvent_RtnMsg message_;
    std::string subsystemName_;
    std::string lastText_;
    std::uint32_t reported_ = 0;
};
