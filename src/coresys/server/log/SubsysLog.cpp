#include "coresys/server/log/SubsysLog.h"

#include <cstring>

#include "coresys/server/log/LogCatalog.h"
#include "coresys/server/log/LogLayout.h"
#include "coresys/server/log/WriteBufferPool.h"
#include "coresys/server/task/ServerFatal.h"

using namespace logfmt;

SubsysLog::SubsysLog(const char* serial, WriteBufferPool* pool, LogBlockSource* source)
    : pool_(pool), source_(source) {
    if (serial != nullptr) {
        std::strncpy(serial_, serial, sizeof serial_ - 1);
    }
}

SubsysLog::~SubsysLog() {
    if (openCount_ != 0) {
        ServerFatalError("SubsysLog::~SubsysLog", "SubsysLog is still active");
    }
    if (!bundles_.empty()) {
        ServerFatalError("SubsysLog::~SubsysLog", "All bundles not complete");
    }
}

std::list<SubsysLog::Bundle>::iterator SubsysLog::LocateBundle(std::uint32_t bundle) {
    for (auto it = bundles_.begin(); it != bundles_.end(); ++it) {
        if (it->id == bundle) {
            return it;
        }
    }
    ServerFatalError("SubsysLog::LocateBundle", "Invalid Bundle ID");
}

std::pair<std::uint32_t, std::uint32_t> SubsysLog::WriteRecord(const unsigned char* record,
                                                               std::uint32_t bundle,
                                                               std::uint32_t time) {
    std::uint32_t length = GetLe32(record + kRecLength);
    if (length < kRecordHeaderSize) {
        ServerFatalError("SubsysLog::WriteRecord", "invalid record length");
    }
    std::lock_guard<std::mutex> hold(lock_);
    unsigned char header[kRecordHeaderSize];
    std::memcpy(header, record, sizeof header);
    unsigned char* space = pool_->GetRecord(header);
    std::uint32_t lrba = GetLe32(header + kRecLrba);
    if (bundle != 0) {
        LocateBundle(bundle)->latestLrba = lrba;
        PutLe32(header + kRecBeginFlag, 0);
        PutLe32(header + kRecEndFlag, 0);
    } else {
        bundle = lrba;
        PutLe32(header + kRecBeginFlag, 1);
        PutLe32(header + kRecEndFlag, 1);
    }
    PutLe32(header + kRecReserved, kReservedWord);
    // The reserved words and the padding behind the serial are always 0.
    PutLe32(header + 8, 0);
    PutLe32(header + 32, 0);
    std::memset(header + kRecSerial + kSerialSize, 0, 3);
    PutLe32(header + kRecBundleId, bundle);
    PutLe32(header + kRecTime, time != 0 ? time : LogCatalog::Now());
    std::memcpy(header + kRecSerial, serial_, kSerialSize);
    std::memcpy(space, header, sizeof header);
    std::memcpy(space + kRecordHeaderSize, record + kRecordHeaderSize, length - kRecordHeaderSize);
    pool_->FreeRecord(space);
    return {bundle, lrba};
}

std::uint32_t SubsysLog::WriteMarker(std::uint16_t code, std::uint32_t bundle) {
    unsigned char marker[kRecordHeaderSize] = {};
    PutLe32(marker + kRecLength, kRecordHeaderSize);
    PutLe16(marker + kRecClass, kClassBundle);
    PutLe16(marker + kRecCode, code);
    unsigned char* space = pool_->GetRecord(marker);
    std::uint32_t lrba = GetLe32(marker + kRecLrba);
    if (code == kCodeBundleBegin) {
        bundle = lrba;
    }
    PutLe32(marker + kRecTime, LogCatalog::Now());
    PutLe32(marker + kRecBundleId, bundle);
    PutLe32(marker + kRecBeginFlag, code == kCodeBundleBegin ? 1 : 0);
    PutLe32(marker + kRecEndFlag, code == kCodeBundleEnd ? 1 : 0);
    std::memcpy(marker + kRecSerial, serial_, kSerialSize);
    std::memcpy(space, marker, sizeof marker);
    pool_->FreeRecord(space);
    return lrba;
}

std::uint32_t SubsysLog::CreateBundle() {
    std::lock_guard<std::mutex> hold(lock_);
    if (openCount_ <= 0) {
        ServerFatalError("SubsysLog::CreateBundle", "Subsystem log is not open");
    }
    std::uint32_t lrba = WriteMarker(kCodeBundleBegin, 0);
    bundles_.push_back({lrba, lrba});
    return lrba;
}

void SubsysLog::EndBundle(std::uint32_t bundle) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = LocateBundle(bundle);
    WriteMarker(kCodeBundleEnd, bundle);
    bundles_.erase(it);
}

void SubsysLog::Flush() {
    pool_->Flush();
}

void SubsysLog::Close() {
    if (--openCount_ < 0) {
        ServerFatalError("SubsysLog::Close()", "Negative open count");
    }
}
