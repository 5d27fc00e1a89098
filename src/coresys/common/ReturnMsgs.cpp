#include "coresys/common/ReturnMsgs.h"

#include <algorithm>
#include <utility>

OruErrStatus_RtnMsg::OruErrStatus_RtnMsg(const ORU_Message& request, std::uint32_t replyStatus,
                                         const oruerr& record)
    : ORU_ReturnMsg(320 + record.ExtraLength(), replyStatus), error(record) {
    code = RMT_ORUERRORSTATUS_MSG;
    ReplyTo(request);
}

void OruErrStatus_RtnMsg::EncodeReply(CodedBuff& b) {
    error.Encode(b);
}

void OruErrStatus_RtnMsg::DecodeReply(CodedBuff& b) {
    error.Decode(b);
}

void Event_RtnMsg::EncodeReply(CodedBuff& b) {
    events.EncodeWithPieces(b, state, serverState);
}

void Event_RtnMsg::DecodeReply(CodedBuff& b) {
    events.Clear();
    DiskArrayState* into = state;
    OruServerState* intoServer = serverState;
    if (into == nullptr) {
        scratchState = std::make_unique<DiskArrayState>();
        into = scratchState.get();
    }
    if (intoServer == nullptr) {
        scratchServer = std::make_unique<OruServerState>();
        intoServer = scratchServer.get();
    }
    if (!events.DecodeAndApply(b, *into, *intoServer)) {
        b.Fail();
    }
}

State_RtnMsg::State_RtnMsg(DiskArrayState* boundState, OruServerState* boundServer,
                           std::uint32_t replyStatus)
    : ORU_ReturnMsg(LengthEstimate(boundServer), replyStatus),
      state(boundState),
      serverState(boundServer) {
    code = RMT_STATE_MSG;
}

std::uint32_t State_RtnMsg::LengthEstimate(const OruServerState* server) {
    std::uint32_t estimate = 2586;
    if (server != nullptr) {
        estimate += 24u * server->commandsInProgress.Size() + 472u * server->commandResults.Size();
    }
    return estimate;
}

void State_RtnMsg::EncodeReply(CodedBuff& b) {
    // Missing records go out empty so the reply keeps its layout.
    if (state != nullptr) {
        state->Encode(b);
    } else {
        DiskArrayState().Encode(b);
    }
    if (serverState != nullptr) {
        serverState->Encode(b);
    } else {
        OruServerState().Encode(b);
    }
}

void State_RtnMsg::DecodeReply(CodedBuff& b) {
    auto newState = std::make_unique<DiskArrayState>();
    auto newServer = std::make_unique<OruServerState>();
    newState->Decode(b);
    if (!b.Failed()) {
        newServer->Decode(b);
    }
    if (b.Failed()) {
        return;
    }
    if (state != nullptr) {
        *state = std::move(*newState);
    } else {
        scratchState = std::move(newState);
        state = scratchState.get();
    }
    if (serverState != nullptr) {
        *serverState = std::move(*newServer);
    } else {
        scratchServer = std::move(newServer);
        serverState = scratchServer.get();
    }
}

PerfMetrics_RtnMsg::PerfMetrics_RtnMsg(const ORU_Message& request, std::uint32_t replyStatus,
                                       std::uint32_t count, PerfMetric* const* borrowed)
    : ORU_ReturnMsg(kBareLength, replyStatus),
      borrowed_(borrowed),
      borrowedCount_(borrowed != nullptr ? count : 0) {
    code = RMT_PERFMETRICS_MSG;
    ReplyTo(request);
}

std::uint32_t PerfMetrics_RtnMsg::LengthEstimate() const {
    const std::uint32_t count = MetricCount();
    if (count == 0) {
        // Without metrics there is no first metric to size by.
        return kBareLength + 4;
    }
    const std::uint64_t estimate =
        kBareLength + 4 + 4ull * count * (14ull + Metric(0)->ValueCount());
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(estimate, kMaxPresize));
}

std::uint64_t PerfMetrics_RtnMsg::CodedLength() const {
    std::uint64_t total = kBareLength + 4;
    for (std::uint32_t i = 0; i < MetricCount(); ++i) {
        total += Metric(i)->WireSize();
    }
    return total;
}

unsigned char* PerfMetrics_RtnMsg::EncodeMsg() {
    length = LengthEstimate();
    return ORU_ReturnMsg::EncodeMsg();
}

void PerfMetrics_RtnMsg::EncodeReply(CodedBuff& b) {
    const std::uint32_t count = MetricCount();
    EncodeVal(b, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        Metric(i)->Encode(b);
    }
}

void PerfMetrics_RtnMsg::DecodeReply(CodedBuff& b) {
    borrowed_ = nullptr;
    borrowedCount_ = 0;
    metrics.clear();
    std::uint32_t count = 0;
    DecodeVal(b, count);
    if (!b.CanHold(count, PerfMetric::kFixedWireSize)) {
        b.Fail();
        return;
    }
    metrics.resize(count);
    for (PerfMetric& metric : metrics) {
        metric.Decode(b);
        if (b.Failed()) {
            metrics.clear();
            return;
        }
    }
}

Buffer_RtnMsg::Buffer_RtnMsg(const ORU_Message& request, std::uint32_t replyStatus,
                             std::uint32_t count, const unsigned char* data)
    : ORU_ReturnMsg(28 + count, replyStatus) {
    code = RMT_BUFFER_MSG;
    ReplyTo(request);
    if (data != nullptr) {
        bytes.assign(data, data + count);
    }
}

void Buffer_RtnMsg::EncodeReply(CodedBuff& b) {
    EncodeVal(b, ByteCount());
    EncodeVal(b, reinterpret_cast<const char*>(bytes.data()), ByteCount());
}

void Buffer_RtnMsg::DecodeReply(CodedBuff& b) {
    bytes.clear();
    std::uint32_t count = 0;
    DecodeVal(b, count);
    if (!b.CanHold(count, 1)) {
        b.Fail();
        return;
    }
    const unsigned char* at = b.NextItem(count);
    if (at != nullptr) {
        bytes.assign(at, at + count);
    }
}

GrossStatus_ReturnMsg::GrossStatus_ReturnMsg(const ORU_Message& request, std::uint32_t replyStatus,
                                             const GrossStatus& gross)
    : ORU_ReturnMsg(184, replyStatus), grossStatus(std::make_unique<GrossStatus>(gross)) {
    code = RMT_GROSSSTATUS_MSG;
    ReplyTo(request);
}

void GrossStatus_ReturnMsg::EncodeReply(CodedBuff& b) {
    if (grossStatus != nullptr) {
        grossStatus->Encode(b);
    } else {
        GrossStatus().Encode(b);
    }
}

void GrossStatus_ReturnMsg::DecodeReply(CodedBuff& b) {
    auto gross = std::make_unique<GrossStatus>();
    gross->Decode(b);
    if (b.Failed()) {
        grossStatus.reset();
        return;
    }
    grossStatus = std::move(gross);
}
