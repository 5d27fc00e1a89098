#include "coresys/common/DiagCommandResults.h"

#include <algorithm>

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

namespace {

constexpr std::size_t kWordBytes = 4;
constexpr std::size_t kChunkBytes = 2 * kWordBytes;

void AppendBe32(std::vector<unsigned char>& bytes, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<unsigned char>(value >> shift));
    }
}

std::uint32_t ReadBe32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

}  // namespace

void DiagCommandResults::SetFailedChunks(oruerr& error, const std::vector<FailedChunk>& chunks) {
    error.extraBytes.clear();
    for (const FailedChunk& chunk : chunks) {
        AppendBe32(error.extraBytes, chunk.block);
        AppendBe32(error.extraBytes, chunk.blocks);
    }
}

std::vector<DiagCommandResults::FailedChunk> DiagCommandResults::FailedChunks() const {
    std::vector<FailedChunk> chunks;
    const std::vector<unsigned char>& bytes = error.extraBytes;
    for (std::size_t at = 0; at + kChunkBytes <= bytes.size(); at += kChunkBytes) {
        chunks.push_back({ReadBe32(&bytes[at]), ReadBe32(&bytes[at + kWordBytes])});
    }
    return chunks;
}

std::uint32_t DiagCommandResults::FirstFailedBlock() const {
    const std::vector<FailedChunk> chunks = FailedChunks();
    const auto lowest =
        std::min_element(chunks.begin(), chunks.end(),
                         [](const auto& a, const auto& b) { return a.block < b.block; });
    return lowest == chunks.end() ? 0 : lowest->block;
}

bool DiagCommandResults::RecordedErrors() const {
    return diagValue1 != kNoError || error.extraBytes.size() >= kChunkBytes;
}

DIAG_STATE DiagCommandResults::Outcome() const {
    if (diagState == DIAG_STATE_FINISHED && RecordedErrors()) {
        return DIAG_STATE_FINISHED_WITH_ERRORS;
    }
    return diagState;
}
