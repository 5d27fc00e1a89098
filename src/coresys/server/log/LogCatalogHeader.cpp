#include "coresys/server/log/LogCatalogHeader.h"

#include "coresys/server/log/LogLayout.h"

using namespace logfmt;

void LogCatalogHeader::Encode(unsigned char* out) const {
    PutLe32(out + kHdrState, state);
    PutLe32(out + kHdrVersion, version);
    PutLe32(out + kHdrFileCount, fileCount);
    PutLe32(out + kHdrTotalSize, totalLogSize);
    PutLe32(out + kHdrStartLrba, startLrba);
    PutLe32(out + kHdrOldestBundle, oldestCompleteBundleId);
    PutLe32(out + kHdrHighLrba, highLrba);
    PutLe32(out + kHdrHighTime, highLrbaTime);
    PutLe32(out + kHdrLastFileNumber, lastFileNumber);
    PutLe32(out + kHdrCatalogSize, catalogSize);
    PutLe32(out + kHdrOldestEntry, oldestEntry);
    PutLe32(out + kHdrLatestEntry, latestEntry);
    PutLe32(out + kHdrFreeList, freeList);
}

void LogCatalogHeader::Decode(const unsigned char* in) {
    state = GetLe32(in + kHdrState);
    version = GetLe32(in + kHdrVersion);
    fileCount = GetLe32(in + kHdrFileCount);
    totalLogSize = GetLe32(in + kHdrTotalSize);
    startLrba = GetLe32(in + kHdrStartLrba);
    oldestCompleteBundleId = GetLe32(in + kHdrOldestBundle);
    highLrba = GetLe32(in + kHdrHighLrba);
    highLrbaTime = GetLe32(in + kHdrHighTime);
    lastFileNumber = GetLe32(in + kHdrLastFileNumber);
    catalogSize = GetLe32(in + kHdrCatalogSize);
    oldestEntry = GetLe32(in + kHdrOldestEntry);
    latestEntry = GetLe32(in + kHdrLatestEntry);
    freeList = GetLe32(in + kHdrFreeList);
}
