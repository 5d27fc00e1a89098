#include "coresys/common/ModeCachePage.h"

void ModeCachePage::Encode(CodedBuff& buff) {
    EncodeVal(buff, write_cache_enable);
    EncodeVal(buff, read_cache_enable);
}

void ModeCachePage::Decode(CodedBuff& buff) {
    DecodeVal(buff, write_cache_enable);
    DecodeVal(buff, read_cache_enable);
}
