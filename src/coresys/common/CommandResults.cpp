#include "coresys/common/CommandResults.h"

#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/ProactivePerformanceCommandResults.h"

CommandResults::CommandResults(COMMAND_TYPE t, MESSAGE_CODE c, std::int32_t r, const oruerr* err)
    : type(t), code(c), result(r) {
    if (err != nullptr) {
        error = *err;
    }
}

void CommandResults::Encode(CodedBuff& buff) {
    EncodeVal(buff, static_cast<std::uint32_t>(type));
    EncodeVal(buff, static_cast<std::uint32_t>(code));
    EncodeVal(buff, result);
    error.Encode(buff);
}

void CommandResults::Decode(CodedBuff& buff) {
    std::uint32_t value = 0;
    DecodeVal(buff, value);
    type = static_cast<COMMAND_TYPE>(value);
    DecodeVal(buff, value);
    code = static_cast<MESSAGE_CODE>(value);
    DecodeVal(buff, result);
    error.Decode(buff);
}

std::unique_ptr<CommandResults> CommandResults::Create(std::uint32_t kind) {
    switch (kind) {
        case COMMAND_RESULTS:
            return std::make_unique<CommandResults>();
        case DIAG_COMMAND_RESULTS:
            return std::make_unique<DiagCommandResults>();
        case PROACTIVE_PERFORMANCE_COMMAND_RESULTS:
            return std::make_unique<ProactivePerformanceCommandResults>();
        default:
            return nullptr;
    }
}
