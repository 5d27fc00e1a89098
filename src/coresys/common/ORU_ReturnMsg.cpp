#include "coresys/common/ORU_ReturnMsg.h"

const char* MessageKindName(std::uint32_t kind) {
    switch (kind) {
        case RMT_INVALID:
            return "RMT_INVALID";
        case RMT_OKSTATUS_MSG:
            return "RMT_OKSTATUS_MSG";
        case RMT_ERRORSTATUS_MSG:
            return "RMT_ERRORSTATUS_MSG";
        case RMT_EVENT_MSG:
            return "RMT_EVENT_MSG";
        case RMT_STATE_MSG:
            return "RMT_STATE_MSG";
        case RMT_VALUESTATUS_MSG:
            return "RMT_VALUESTATUS_MSG";
        case RMT_PERFMETRICS_MSG:
            return "RMT_PERFMETRICS_MSG";
        case RMT_PERFRECS_MSG:
            return "RMT_PERFRECS_MSG";
        case RMT_BUFFER_MSG:
            return "RMT_BUFFER_MSG";
        case RMT_ORUERRORSTATUS_MSG:
            return "RMT_ORUERRORSTATUS_MSG";
        case RMT_GROSSSTATUS_MSG:
            return "RMT_GROSSSTATUS_MSG";
        default:
            return nullptr;
    }
}

void ORU_ReturnMsg::EncodeBody(CodedBuff& b) {
    EncodeVal(b, status);
    EncodeReply(b);
}

void ORU_ReturnMsg::DecodeBody(CodedBuff& b) {
    DecodeVal(b, status);
    DecodeReply(b);
}
