// The result of a drive diagnostic (verify or write/read test) of one drive.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

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

    // diagValue1 of a test that met no error.
    static constexpr std::uint32_t kNoError = 256;

    // A chunk of blocks that a test found failing.
    struct FailedChunk {
        std::uint32_t block = 0;   // its first block
        std::uint32_t blocks = 0;  // its length
    };
    // The failing chunks travel in the extra bytes of the result's error
    // record, as pairs of 32-bit big-endian words (first block, blocks): a
    // peer that does not read them passes over them with the record.
    static void SetFailedChunks(oruerr& error, const std::vector<FailedChunk>& chunks);
    // The whole pairs of the error record's extra bytes.
    std::vector<FailedChunk> FailedChunks() const;
    // The first block of the lowest failing chunk; 0 when none failed.
    std::uint32_t FirstFailedBlock() const;
    // Whether the test recorded an error: a failing chunk or an error code.
    bool RecordedErrors() const;
    // The state as it is to be shown: a test that ran to its end but
    // recorded an error finished with errors, whatever state the service
    // gave it.
    DIAG_STATE Outcome() const;

    std::unique_ptr<CommandResults> Clone() const override {
        return std::make_unique<DiagCommandResults>(*this);
    }
    void Assign(const CommandResults& other) override;
};
