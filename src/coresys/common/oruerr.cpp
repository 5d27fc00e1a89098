#include "coresys/common/oruerr.h"

void oruerr::Encode(CodedBuff& buff) {
    EncodeVal(buff, text, kTextSize);
    EncodeVal(buff, senseValid);
    EncodeVal(buff, source);
    EncodeVal(buff, errorClass);
    EncodeVal(buff, detail);
    EncodeVal(buff, oemSet);
    EncodeVal(buff, oemItem);
    EncodeVal(buff, ExtraLength());
    EncodeVal(buff, reinterpret_cast<const char*>(extraBytes.data()), ExtraLength());
    EncodeVal(buff, errorCode);
    EncodeVal(buff, qualifier);
    EncodeVal(buff, moduleId);
}

void oruerr::Decode(CodedBuff& buff) {
    DecodeVal(buff, text, kTextSize);
    DecodeVal(buff, senseValid);
    DecodeVal(buff, source);
    DecodeVal(buff, errorClass);
    DecodeVal(buff, detail);
    DecodeVal(buff, oemSet);
    DecodeVal(buff, oemItem);
    std::uint32_t extraLength = 0;
    DecodeVal(buff, extraLength);
    extraBytes.clear();
    if (!buff.CanHold(extraLength, 1)) {
        buff.Fail();
    } else {
        extraBytes.resize(extraLength);
        DecodeVal(buff, reinterpret_cast<char*>(extraBytes.data()), extraLength);
    }
    DecodeVal(buff, errorCode);
    DecodeVal(buff, qualifier);
    DecodeVal(buff, moduleId);
}
