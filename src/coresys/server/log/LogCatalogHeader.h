// The 52-byte header of the log catalog: its state, the log's totals and
// the heads of the age chain and of the free list.
#pragma once

#include <cstdint>

struct LogCatalogHeader {
    // 0 closed cleanly, 1 open, 2 a change of the chain under way.
    std::uint32_t state = 1;
    // Always 0; anything else makes the catalog unusable.
    std::uint32_t version = 0;
    std::uint32_t fileCount = 0;
    // Bytes spanned by the closed files of the chain (multiple of 4096).
    std::uint32_t totalLogSize = 0;
    std::uint32_t startLrba = 4096;
    std::uint32_t oldestCompleteBundleId = 0;
    std::uint32_t highLrba = 0;
    std::uint32_t highLrbaTime = 0;
    std::uint32_t lastFileNumber = 0;
    // 52 + 44 for every entry slot ever appended.
    std::uint32_t catalogSize = 52;
    std::uint32_t oldestEntry = 0;
    std::uint32_t latestEntry = 0;
    std::uint32_t freeList = 0;

    void Encode(unsigned char* out) const;
    void Decode(const unsigned char* in);
};
