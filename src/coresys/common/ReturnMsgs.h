// The reply classes, one per reply kind. Each codes the header, the status
// and then its body:
//
//   1   OkStatus_RtnMsg        nothing
//   2   OruErrStatus_RtnMsg    one oruerr record (also kind 10)
//   3   Event_RtnMsg           count, then each event followed by its piece
//   5   State_RtnMsg           DiskArrayState, then OruServerState
//   6   ValueStatus_RtnMsg     nothing: the value is not carried
//   7   PerfMetrics_RtnMsg     count, then count PerfMetric records
//   8   PerfRecs_RtnMsg        one PerfRecs record
//   9   Buffer_RtnMsg          byte count, then the bytes
//   100 GrossStatus_ReturnMsg  one GrossStatus record; status 100
//
// Every count taken from the wire is checked against the bytes left before
// anything is allocated; a reply that fails to decode is dropped by the
// receiver.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "coresys/common/DiskArrayState.h"
#include "coresys/common/EventList.h"
#include "coresys/common/GrossStatus.h"
#include "coresys/common/ORU_ReturnMsg.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/PerfMetric.h"
#include "coresys/common/PerfRecs.h"
#include "coresys/common/oruerr.h"

class OruSubsystem;

class OkStatus_RtnMsg : public ORU_ReturnMsg {
  public:
    explicit OkStatus_RtnMsg(std::uint32_t replyStatus = 1)
        : ORU_ReturnMsg(kBareLength, replyStatus) {
        code = RMT_OKSTATUS_MSG;
    }
    OkStatus_RtnMsg(const ORU_Message& request, std::uint32_t replyStatus)
        : OkStatus_RtnMsg(replyStatus) {
        ReplyTo(request);
    }
};

class OruErrStatus_RtnMsg : public ORU_ReturnMsg {
  public:
    oruerr error;
    // The subsystem a datagram reply came from; nullptr for session replies.
    OruSubsystem* subsystem = nullptr;

    // Kind 10 unless told otherwise; kind 2 codes the same way.
    explicit OruErrStatus_RtnMsg(std::uint32_t kind = RMT_ORUERRORSTATUS_MSG,
                                 std::uint32_t replyStatus = 1)
        : ORU_ReturnMsg(kBareLength, replyStatus) {
        code = kind;
    }
    // The service's error reply: kind 10 with a copy of the record.
    OruErrStatus_RtnMsg(const ORU_Message& request, std::uint32_t replyStatus,
                        const oruerr& record);

  protected:
    void EncodeReply(CodedBuff& b) override;
    void DecodeReply(CodedBuff& b) override;
};

class Event_RtnMsg : public ORU_ReturnMsg {
  public:
    // Events in arrival order; a poll result takes them over.
    EventList events;
    // The records the pieces come from (encode) or go into (decode); not
    // owned. Unbound, a decode fills scratch records of the message's own.
    DiskArrayState* state = nullptr;
    OruServerState* serverState = nullptr;

    Event_RtnMsg(DiskArrayState* boundState = nullptr, OruServerState* boundServer = nullptr)
        : ORU_ReturnMsg(kBareLength + 4, 5), state(boundState), serverState(boundServer) {
        code = RMT_EVENT_MSG;
    }

    std::uint32_t EventCount() const { return events.Count(); }

  protected:
    void EncodeReply(CodedBuff& b) override;
    // Pieces before a failure stay applied; the reply as a whole fails.
    void DecodeReply(CodedBuff& b) override;

  private:
    std::unique_ptr<DiskArrayState> scratchState;
    std::unique_ptr<OruServerState> scratchServer;
};

class State_RtnMsg : public ORU_ReturnMsg {
  public:
    DiskArrayState* state = nullptr;
    OruServerState* serverState = nullptr;

    State_RtnMsg(DiskArrayState* boundState = nullptr, OruServerState* boundServer = nullptr,
                 std::uint32_t replyStatus = 1);
    // Size estimate of a full state reply for a server state.
    static std::uint32_t LengthEstimate(const OruServerState* server);

  protected:
    void EncodeReply(CodedBuff& b) override;
    // Both records are decoded aside and installed only when the whole reply
    // decoded: a short state reply leaves the bound records as they were.
    void DecodeReply(CodedBuff& b) override;

  private:
    std::unique_ptr<DiskArrayState> scratchState;
    std::unique_ptr<OruServerState> scratchServer;
};

class ValueStatus_RtnMsg : public ORU_ReturnMsg {
  public:
    // Kept in the object but never coded: a receiver always sees 0.
    std::uint32_t value = 0;

    explicit ValueStatus_RtnMsg(std::uint32_t v = 0, std::uint32_t replyStatus = 1)
        : ORU_ReturnMsg(28, replyStatus), value(v) {
        code = RMT_VALUESTATUS_MSG;
    }
    // The service's value reply over request (its handle and version).
    ValueStatus_RtnMsg(const ORU_Message& request, std::uint32_t replyStatus, std::uint32_t v)
        : ValueStatus_RtnMsg(v, replyStatus) {
        ReplyTo(request);
    }

  protected:
    void DecodeReply(CodedBuff&) override { value = 0; }
};

class PerfMetrics_RtnMsg : public ORU_ReturnMsg {
  public:
    // The metrics a client decoded, or a reply's own.
    std::vector<PerfMetric> metrics;

    explicit PerfMetrics_RtnMsg(std::uint32_t replyStatus = 1)
        : ORU_ReturnMsg(kBareLength + 4, replyStatus) {
        code = RMT_PERFMETRICS_MSG;
    }
    // The service's reply over request: count metrics borrowed from the
    // request that computed them (they must outlive the encode; the reply
    // frees none of them). They are coded instead of `metrics`.
    PerfMetrics_RtnMsg(const ORU_Message& request, std::uint32_t replyStatus, std::uint32_t count,
                       PerfMetric* const* borrowed);

    std::uint32_t MetricCount() const {
        return borrowed_ != nullptr ? borrowedCount_ : static_cast<std::uint32_t>(metrics.size());
    }
    // The sender's size estimate: 28 + 4 x count x (14 + the first metric's
    // value count); 28 for a reply without metrics.
    std::uint32_t LengthEstimate() const;
    // The exact coded length: 28 + 44 per metric + 4 per value.
    std::uint64_t CodedLength() const;

    // Sizes the buffer by the estimate, then codes as every reply does.
    unsigned char* EncodeMsg() override;

  protected:
    void EncodeReply(CodedBuff& b) override;
    // A count that cannot fit in the bytes left (44 bytes a metric at least)
    // fails the decode before anything is allocated.
    void DecodeReply(CodedBuff& b) override;

  private:
    PerfMetric* Metric(std::uint32_t i) {
        return borrowed_ != nullptr ? borrowed_[i] : &metrics[i];
    }
    const PerfMetric* Metric(std::uint32_t i) const {
        return borrowed_ != nullptr ? borrowed_[i] : &metrics[i];
    }

    PerfMetric* const* borrowed_ = nullptr;
    std::uint32_t borrowedCount_ = 0;
};

class PerfRecs_RtnMsg : public ORU_ReturnMsg {
  public:
    PerfRecs recs;

    explicit PerfRecs_RtnMsg(std::uint32_t replyStatus = 1)
        : ORU_ReturnMsg(kBareLength + PerfRecs::kWireSize, replyStatus) {
        code = RMT_PERFRECS_MSG;
    }
    // The service's bare form: every header word given, a default record.
    PerfRecs_RtnMsg(std::uint32_t replyStatus, std::uint32_t initialLength, std::uint32_t msgCode,
                    std::uint32_t msgVersion, const CommandHandle& msgHandle)
        : ORU_ReturnMsg(initialLength, replyStatus) {
        code = msgCode;
        version = msgVersion;
        handle = msgHandle;
    }
    // The service's reply over request with a copy of the 48 values.
    PerfRecs_RtnMsg(const ORU_Message& request, std::uint32_t replyStatus, const PerfRecs& values)
        : ORU_ReturnMsg(220, replyStatus), recs(values) {
        code = RMT_PERFRECS_MSG;
        ReplyTo(request);
    }

  protected:
    void EncodeReply(CodedBuff& b) override { recs.Encode(b); }
    void DecodeReply(CodedBuff& b) override { recs.Decode(b); }
};

class Buffer_RtnMsg : public ORU_ReturnMsg {
  public:
    std::vector<unsigned char> bytes;

    // A receiving object: status 1, length 28, no bytes.
    Buffer_RtnMsg() : ORU_ReturnMsg(28, 1) { code = RMT_BUFFER_MSG; }
    // The service's data reply with a copy of count bytes.
    Buffer_RtnMsg(const ORU_Message& request, std::uint32_t replyStatus, std::uint32_t count,
                  const unsigned char* data);

    std::uint32_t ByteCount() const { return static_cast<std::uint32_t>(bytes.size()); }

  protected:
    void EncodeReply(CodedBuff& b) override;
    void DecodeReply(CodedBuff& b) override;
};

class GrossStatus_ReturnMsg : public ORU_ReturnMsg {
  public:
    static constexpr std::uint32_t kWireLength = kBareLength + GrossStatus::kWireSize;

    std::unique_ptr<GrossStatus> grossStatus;
    // The subsystem the datagram reply came from; not owned.
    OruSubsystem* subsystem = nullptr;

    GrossStatus_ReturnMsg() : ORU_ReturnMsg(184, RMT_GROSSSTATUS_MSG) {
        code = RMT_GROSSSTATUS_MSG;
    }
    GrossStatus_ReturnMsg(const ORU_Message& request, std::uint32_t replyStatus,
                          const GrossStatus& gross);

  protected:
    // No record to send is sent as an all-zero one.
    void EncodeReply(CodedBuff& b) override;
    void DecodeReply(CodedBuff& b) override;
};
