#include "coresys/common/BlockCapacity.h"

void BlockCapacity::Encode(CodedBuff& buff) {
    EncodeVal(buff, blocks);
    EncodeVal(buff, blockSize);
}

void BlockCapacity::Decode(CodedBuff& buff) {
    DecodeVal(buff, blocks);
    DecodeVal(buff, blockSize);
}
