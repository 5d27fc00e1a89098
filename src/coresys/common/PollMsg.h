// What a client's poll hands its caller: the status, kind and handle of one
// reply and, in a subclass, what the reply carried.
//
// Poll results are owned by the object that produced them and deleted by its
// next poll. Results that take over the records of their reply (events, the
// gross status) cannot be copied; the others copy deeply.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "coresys/common/CommandHandle.h"
#include "coresys/common/ReturnMsgs.h"

class OruSubsystem;

class PollMsg {
  public:
    std::uint32_t status = 0;
    std::uint32_t kind = RMT_INVALID;  // RMT_INVALID: no reply behind it
    CommandHandle handle;

    PollMsg() = default;
    explicit PollMsg(const ORU_ReturnMsg& reply)
        : status(reply.status), kind(reply.code), handle(reply.handle) {}
    PollMsg(const PollMsg&) = default;
    PollMsg& operator=(const PollMsg&) = default;
    virtual ~PollMsg() = default;

    // Decodes one received reply and turns it into its poll result: the
    // header and status first, then the whole reply with the class of its
    // kind. State and event replies are decoded into state and server (the
    // caller's own copies). `from` is the subsystem a datagram reply came
    // from (nullptr on a session). Returns nullptr for a reply of unknown
    // kind or one that failed to decode; the bytes stay the caller's.
    static std::unique_ptr<PollMsg> FromReply(unsigned char* data, std::uint32_t length,
                                              DiskArrayState& state, OruServerState& server,
                                              OruSubsystem* from = nullptr);
};

class EventPollMsg : public PollMsg {
  public:
    // Takes over the reply's events.
    explicit EventPollMsg(Event_RtnMsg& reply);
    EventPollMsg(const EventPollMsg&) = delete;
    EventPollMsg& operator=(const EventPollMsg&) = delete;
    ~EventPollMsg() override;

    std::uint32_t EventCount() const { return count; }
    // The i-th event (0-based), or nullptr past the end.
    Event* operator[](unsigned short i) const;

  private:
    std::uint32_t count = 0;
    Event* events = nullptr;
};

class ErrorPollMsg : public PollMsg {
  public:
    oruerr error;
    OruSubsystem* subsystem = nullptr;  // datagram replies only; not owned

    explicit ErrorPollMsg(const OruErrStatus_RtnMsg& reply)
        : PollMsg(reply), error(reply.error), subsystem(reply.subsystem) {}
};

class GrossStatusPollMsg : public PollMsg {
  public:
    OruSubsystem* subsystem = nullptr;  // not owned
    std::unique_ptr<GrossStatus> grossStatus;

    // Takes over the reply's record.
    explicit GrossStatusPollMsg(GrossStatus_ReturnMsg& reply)
        : PollMsg(reply), subsystem(reply.subsystem), grossStatus(std::move(reply.grossStatus)) {}
    GrossStatusPollMsg(const GrossStatusPollMsg&) = delete;
    GrossStatusPollMsg& operator=(const GrossStatusPollMsg&) = delete;
};

class PerfMetricsPollMsg : public PollMsg {
  public:
    std::vector<PerfMetric> metrics;

    // Takes over the reply's metrics.
    explicit PerfMetricsPollMsg(PerfMetrics_RtnMsg& reply)
        : PollMsg(reply), metrics(std::move(reply.metrics)) {}

    std::uint32_t MetricCount() const { return static_cast<std::uint32_t>(metrics.size()); }
    // The i-th metric, or nullptr past the end.
    const PerfMetric* Metric(std::uint32_t i) const {
        return i < metrics.size() ? &metrics[i] : nullptr;
    }
};

class PerfRecsPollMsg : public PollMsg {
  public:
    PerfRecs recs;

    explicit PerfRecsPollMsg(const PerfRecs_RtnMsg& reply) : PollMsg(reply), recs(reply.recs) {}
};

class ValuePollMsg : public PollMsg {
  public:
    std::uint32_t value = 0;

    explicit ValuePollMsg(const ValueStatus_RtnMsg& reply) : PollMsg(reply), value(reply.value) {}
};

class StatePollMsg : public PollMsg {
  public:
    // The records the reply filled, owned by the client's connection.
    DiskArrayState* state = nullptr;
    OruServerState* serverState = nullptr;

    explicit StatePollMsg(const State_RtnMsg& reply)
        : PollMsg(reply), state(reply.state), serverState(reply.serverState) {}
};

class BufferPollMsg : public PollMsg {
  public:
    std::vector<unsigned char> bytes;

    explicit BufferPollMsg(const Buffer_RtnMsg& reply) : PollMsg(reply), bytes(reply.bytes) {}

    std::uint32_t ByteCount() const { return static_cast<std::uint32_t>(bytes.size()); }
};
