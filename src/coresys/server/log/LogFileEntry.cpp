#include "coresys/server/log/LogFileEntry.h"

#include <cstdio>
#include <cstring>

#include "coresys/server/log/LogLayout.h"

using namespace logfmt;

void LogFileEntry::Encode(unsigned char* out) const {
    PutLe32(out + kEntNext, next);
    PutLe32(out + kEntPrevious, previous);
    PutLe32(out + kEntBeginLrba, beginLrba);
    PutLe32(out + kEntEndLrba, endLrba);
    PutLe32(out + kEntBundleId, bundleId);
    PutLe32(out + kEntBeginTime, beginTime);
    PutLe32(out + kEntEndTime, endTime);
    std::memcpy(out + kEntFileName, fileName, kFileNameSize);
}

bool LogFileEntry::Decode(const unsigned char* in) {
    next = GetLe32(in + kEntNext);
    previous = GetLe32(in + kEntPrevious);
    beginLrba = GetLe32(in + kEntBeginLrba);
    endLrba = GetLe32(in + kEntEndLrba);
    bundleId = GetLe32(in + kEntBundleId);
    beginTime = GetLe32(in + kEntBeginTime);
    endTime = GetLe32(in + kEntEndTime);
    std::memcpy(fileName, in + kEntFileName, kFileNameSize);
    bool terminated = std::memchr(fileName, 0, kFileNameSize) != nullptr;
    fileName[kFileNameSize - 1] = '\0';
    return terminated;
}

std::string LogFileName(std::uint32_t number) {
    char name[kFileNameSize + 8];
    std::snprintf(name, sizeof name, "L%07u", number);
    return name;
}
