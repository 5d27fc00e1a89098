#include "cli/common/CommandReply.h"

#include "coresys/common/PollMsg.h"

CommandReply CommandReply::CopyOf(const PollMsg& message) {
    CommandReply reply;
    reply.kind = message.kind;
    reply.status = message.status;
    reply.handle = message.handle;
    if (const auto* failed = dynamic_cast<const ErrorPollMsg*>(&message)) {
        reply.error = failed->error;
    } else if (const auto* stated = dynamic_cast<const StatePollMsg*>(&message)) {
        if (stated->state != nullptr) {
            reply.state = *stated->state;
        }
        if (stated->serverState != nullptr) {
            reply.serverState = *stated->serverState;
        }
    } else if (const auto* measured = dynamic_cast<const PerfMetricsPollMsg*>(&message)) {
        reply.metrics = measured->metrics;
    } else if (const auto* advised = dynamic_cast<const PerfRecsPollMsg*>(&message)) {
        reply.recs = advised->recs;
    } else if (const auto* buffered = dynamic_cast<const BufferPollMsg*>(&message)) {
        reply.bytes = buffered->bytes;
    }
    return reply;
}

ReplyView CommandReply::View() const {
    ReplyView view;
    view.kind = kind;
    view.error = error ? &*error : nullptr;
    return view;
}
