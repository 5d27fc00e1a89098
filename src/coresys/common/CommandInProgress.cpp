#include "coresys/common/CommandInProgress.h"

void CommandInProgress::Encode(CodedBuff& buff) {
    handle.Encode(buff);
    EncodeVal(buff, static_cast<std::uint32_t>(code));
    EncodeVal(buff, drive);
    EncodeVal(buff, aux1);
    EncodeVal(buff, aux2);
}

void CommandInProgress::Decode(CodedBuff& buff) {
    handle.Decode(buff);
    std::uint32_t value = 0;
    DecodeVal(buff, value);
    code = static_cast<MESSAGE_CODE>(value);
    DecodeVal(buff, drive);
    DecodeVal(buff, aux1);
    DecodeVal(buff, aux2);
}
