// One file entry of the log catalog (44 bytes on disk): a log file's place
// in the age chain, its LRBA range, its first bundle and its times.
#pragma once

#include <cstdint>
#include <string>

struct LogFileEntry {
    std::uint32_t next = 0;
    std::uint32_t previous = 0;
    std::uint32_t beginLrba = 0;
    // 0 while the file is open.
    std::uint32_t endLrba = 0;
    std::uint32_t bundleId = 0;
    std::uint32_t beginTime = 0;
    std::uint32_t endTime = 0;
    // NUL-terminated "L%07u".
    char fileName[16] = {};

    // Codes the entry into 44 bytes.
    void Encode(unsigned char* out) const;
    // Decodes 44 bytes; the name is always NUL-terminated afterwards.
    // Returns false when the stored name has no NUL within its 16 bytes.
    bool Decode(const unsigned char* in);
    std::string Name() const { return fileName; }
};

// "L%07u" of the file number.
std::string LogFileName(std::uint32_t number);
