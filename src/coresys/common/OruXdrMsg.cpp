#include "coresys/common/OruXdrMsg.h"

#include "coresys/common/ReportError.h"

OruXdrMsg::~OruXdrMsg() {
    // Bytes still held by an encoding buffer were never handed out.
    if (buff.owns != 0) {
        CodedBuff::FreeData(buff.data);
    }
}

void OruXdrMsg::Encode(CodedBuff&) {
    ReportError("OruXdrMsg::Encode", "Invalid form of Encode");
}

void OruXdrMsg::Decode(CodedBuff&) {
    ReportError("OruXdrMsg::Decode", "Invalid form of Decode");
}
