// The result of a drive diagnostic (verify or write/read test) of one drive.
#pragma once

#include <cstdint>
#include <memory>

#include "coresys/common/CommandResults.h"

class DiagCommandResults : public CommandResults {
  public:
    static constexpr std::uint32_t kMinWireSize = CommandResults::kMinWireSize + 5 * 4;

    std::uint32_t drive = 255;
    DIAG_STATE diagState = DIAG_STATE_NONE;
    std::uint32_t diagValue1 = 255;
    std::uint32_t diagValue2 = 255;
    std::uint32_t diagValue3 = 255;

    DiagCommandResults() { type = DIAG_COMMAND_RESULTS; }
    DiagCommandResults(MESSAGE_CODE c, std::int32_t r, std::uint32_t d, DIAG_STATE state,
                       std::uint32_t v1, std::uint32_t v2, std::uint32_t v3, const oruerr* err);

    // Wire: the CommandResults part, drive, diagState, diagValue1..3.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;

    std::unique_ptr<CommandResults> Clone() const override {
        return std::make_unique<DiagCommandResults>(*this);
    }
    void Assign(const CommandResults& other) override;
};
