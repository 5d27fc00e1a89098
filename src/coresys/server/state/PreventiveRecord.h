// The preventive record: one 848-byte subsystem-log record (class 2, code 4)
// per preventive check, summing up what the status polls and the controller
// log saw since the previous check, with the cabinet status of the moment.
//
// The monitor keeps one record from its first state on. Controller-log
// entries (CountLogEntry) and status polls (CountPoll) raise its counters;
// RunCheck builds a new state, fills the record from it, writes the record
// to the subsystem log and starts a new one. The record is written at every
// check whichever controller is active. Not thread-safe: it lives on its
// subsystem's task.
//
// Body (little-endian 32-bit values; texts are 16 characters and a NUL):
//   60 completion (0 not filled, 1 filled with cabinet data, 2 sequence flag clear)
//   64 / 68 highest / lowest of the four per-bus member counts, 72 drive slots (12)
//   76 identity of the first member drive, 96 slots per drive state 0..7
//   128 missing drives present, 132 LUNs present, 136 rebuild priority clear,
//   140 redundancy, 144 virtual remaining blocks and block size, RAID 1 blocks
//   and block size, 160 page 0x21 byte 10, 164 active controller's serial,
//   184 3, 188 failed modules of the active controller, 192 status polls,
//   196 counters C1..C10, 236 the serial stored at creation, 256 cabinet status.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "coresys/common/DiskArrayState.h"
#include "coresys/server/state/ServerDiskArrayState.h"
#include "coresys/server/storsys/StorSysRecords.h"

class PreventiveRecord {
  public:
    static constexpr std::uint32_t kLength = 848;
    static constexpr std::uint32_t kHeaderLength = 60;
    static constexpr std::uint32_t kClass = 2;
    static constexpr std::uint32_t kCode = 4;
    static constexpr std::uint32_t kCounters = 10;
    static constexpr std::uint32_t kCabinetBytes = 592;

    // Completion values.
    static constexpr std::uint32_t kNotFilled = 0;
    static constexpr std::uint32_t kFilled = 1;
    static constexpr std::uint32_t kNoSequence = 2;

    // A new record for a monitor whose current state is state (may be null
    // or invalid): counters 0, the stored serial that of the first controller
    // marked active, else the default text.
    explicit PreventiveRecord(const DiskArrayState* state);

    // Counts one controller-log entry of length bytes (event code BE16 at
    // 7..8, module item at 11); entries too short to carry a code count nothing.
    void CountLogEntry(const unsigned char* entry, std::uint32_t length);
    // Counts one status poll that replaced old with fresh (both valid).
    void CountPoll(const DiskArrayState& old, const DiskArrayState& fresh,
                   const ServerDiskArrayState::Source& monitor);
    // Fills the record from a valid state and the cabinet status just read.
    // Returns false, touching nothing, when no controller is marked active.
    bool Fill(const DiskArrayState& state, const CabinetStatusRecord& cabinet,
              const ServerDiskArrayState::Source& monitor);

    // The preventive check of a monitor: builds a new state; a valid one is
    // compared with current and replaces it, and fills record (completion 1
    // with cabinet data while the sequence flag is set, else 2); an invalid
    // one sets the monitor's state-invalid flag and leaves completion 0. The
    // record is then written through the monitor and replaced by a new one
    // made from the current state, except when a valid state has no
    // controller marked active: then nothing is written and record stays.
    static void RunCheck(ServerDiskArrayState::Source& monitor,
                         std::unique_ptr<ServerDiskArrayState>& current,
                         std::unique_ptr<PreventiveRecord>& record);

    // The whole record, header and body; the header carries the length,
    // class, code and serial (12 characters), the log writer the rest.
    std::vector<unsigned char> Image(const char* serial) const;

    std::uint32_t Completion() const { return completion_; }
    std::uint32_t Counter(std::uint32_t n) const {  // n = 1..10
        return n >= 1 && n <= kCounters ? counters_[n - 1] : 0;
    }
    std::uint32_t StatusPolls() const { return polls_; }
    const char* StoredSerial() const { return storedSerial_; }

  private:
    std::uint32_t completion_ = kNotFilled;
    std::uint32_t busHigh_ = 0;
    std::uint32_t busLow_ = 0;
    std::uint32_t slots_ = 12;
    char firstMemberId_[17] = {};
    std::uint32_t stateCounts_[8] = {};
    std::uint32_t missingPresent_ = 0;
    std::uint32_t lunsPresent_ = 0;
    std::uint32_t priorityClear_ = 0;
    std::uint32_t redundancy_ = 0;
    std::uint32_t capacity_[4] = {};
    std::uint32_t pageState_ = 0;
    char activeSerial_[17] = {};
    std::uint32_t moduleFaults_ = 0;
    std::uint32_t polls_ = 0;
    std::uint32_t counters_[kCounters] = {};
    char storedSerial_[17] = {};
    std::uint32_t cabinet_[kCabinetBytes / 4] = {};
};
