#include "coresys/common/DiagCommandResults.h"

DiagCommandResults::DiagCommandResults(MESSAGE_CODE c, std::int32_t r, std::uint32_t d,
                                       DIAG_STATE state, std::uint32_t v1, std::uint32_t v2,
                                       std::uint32_t v3, const oruerr* err)
    : CommandResults(DIAG_COMMAND_RESULTS, c, r, err),
      drive(d),
      diagState(state),
      diagValue1(v1),
      diagValue2(v2),
      diagValue3(v3) {}

void DiagCommandResults::Encode(CodedBuff& buff) {
    CommandResults::Encode(buff);
    EncodeVal(buff, drive);
    EncodeVal(buff, static_cast<std::uint32_t>(diagState));
    EncodeVal(buff, diagValue1);
    EncodeVal(buff, diagValue2);
    EncodeVal(buff, diagValue3);
}

void DiagCommandResults::Decode(CodedBuff& buff) {
    CommandResults::Decode(buff);
    DecodeVal(buff, drive);
    std::uint32_t state = 0;
    DecodeVal(buff, state);
    diagState = static_cast<DIAG_STATE>(state);
    DecodeVal(buff, diagValue1);
    DecodeVal(buff, diagValue2);
    DecodeVal(buff, diagValue3);
}

void DiagCommandResults::Assign(const CommandResults& other) {
    if (const auto* diag = dynamic_cast<const DiagCommandResults*>(&other)) {
        *this = *diag;
    } else {
        CommandResults::operator=(other);
    }
}
