#include "coresys/common/CommandHandle.h"

void CommandHandle::Encode(CodedBuff& buff) {
    EncodeVal(buff, sequence);
    EncodeVal(buff, sessionID);
}

void CommandHandle::Decode(CodedBuff& buff) {
    DecodeVal(buff, sequence);
    DecodeVal(buff, sessionID);
}
