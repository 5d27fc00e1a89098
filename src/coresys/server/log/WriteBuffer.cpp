#include "coresys/server/log/WriteBuffer.h"

#include <cstring>

#include "coresys/server/log/LogLayout.h"
#include "coresys/server/log/LogTask.h"
#include "coresys/server/task/ServerFatal.h"

using namespace logfmt;

unsigned char* WriteBuffer::Alloc(std::uint32_t length) {
    std::uint32_t rounded = RoundedLength(length);
    if (rounded > freeBytes_) {
        return nullptr;
    }
    inUse_.store(true);
    unsigned char* space = data_ + freeOffset_;
    lastLrba_ = blockLrba_ + freeOffset_;
    freeOffset_ += rounded;
    freeBytes_ = kSize - freeOffset_;
    ++outstanding_;
    return space;
}

void WriteBuffer::FreeSpace(const unsigned char* space) {
    if (space < data_ || space >= data_ + freeOffset_) {
        ServerFatalError("WriteBuffer::FreeSpace", "Free block is not in buffer");
    }
    --outstanding_;
    if (outstanding_ == 0 && closed_) {
        Post();
    }
}

bool WriteBuffer::Close() {
    if (!inUse_.load()) {
        return false;
    }
    closed_ = true;
    if (freeBytes_ >= 8) {
        PutLe32(data_ + freeOffset_ + kRecReserved, kEndMarker);
        PutLe32(data_ + freeOffset_ + kRecLength, kEndMarker);
    }
    if (outstanding_ == 0) {
        Post();
    }
    return true;
}

void WriteBuffer::Post() {
    // Every copy into the block is done: its last record's stamp is final.
    timeStamp_ = GetLe32(data_ + (lastLrba_ - blockLrba_) + kRecTime);
    TaskRequest request;
    request.code = LOG_TASK_WRITE;
    request.args[0] = reinterpret_cast<std::intptr_t>(this);
    if (logTask_ == nullptr || logTask_->SendRequest(request) != 0) {
        // No Log Task to take it (stopping): the block is dropped.
        Reset();
    }
}

void WriteBuffer::Reset() {
    // Bytes behind a block's end marker are written as zeros.
    std::memset(data_, 0, kSize);
    freeOffset_ = 0;
    freeBytes_ = kSize;
    closed_ = false;
    outstanding_ = 0;
    blockLrba_ = 0;
    lastLrba_ = 0;
    timeStamp_ = 0;
    bundleId_ = 0;
    inUse_.store(false);
}
