#include "coresys/common/LUN.h"

void LUN::Encode(CodedBuff& buff) {
    EncodeVal(buff, status);
    capacity.Encode(buff);
}

void LUN::Decode(CodedBuff& buff) {
    DecodeVal(buff, status);
    capacity.Decode(buff);
}
