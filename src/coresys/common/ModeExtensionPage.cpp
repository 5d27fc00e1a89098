#include "coresys/common/ModeExtensionPage.h"

void ModeExtensionPage::Encode(CodedBuff& buff) {
    const std::uint32_t n = buff.version >= 4 ? kValues : kBaseValues;
    for (std::uint32_t i = 0; i < n; ++i) {
        EncodeVal(buff, values[i]);
    }
}

void ModeExtensionPage::Decode(CodedBuff& buff) {
    const std::uint32_t n = buff.version >= 4 ? kValues : kBaseValues;
    for (std::uint32_t i = 0; i < kValues; ++i) {
        values[i] = 0;
        if (i < n) {
            DecodeVal(buff, values[i]);
        }
    }
}
