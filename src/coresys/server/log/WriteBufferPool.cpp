#include "coresys/server/log/WriteBufferPool.h"

#include <algorithm>

#include "coresys/server/log/LogLayout.h"
#include "coresys/server/log/LogTask.h"
#include "coresys/server/task/ServerFatal.h"
#include "platform/Clock.h"

using namespace logfmt;

WriteBufferPool::WriteBufferPool(LogTask* task, std::uint32_t lastLrba)
    : task_(task), lastLrba_(lastLrba), backLink_(lastLrba), current_(&buffers_[0]) {
    for (WriteBuffer& buffer : buffers_) {
        buffer.SetLogTask(task);
    }
    // The block of the last record is on disk already: writing goes on in
    // the block after it.
    current_->SetBlockLrba(BlockOf(lastLrba + kBlockSize));
}

void WriteBufferPool::Advance(std::uint32_t blockLrba) {
    currentIndex_ = (currentIndex_ + 1) % kBufferCount;
    current_ = &buffers_[currentIndex_];
    if (current_->InUse() && task_ != nullptr && OruTask::FindCurrentTask() != nullptr &&
        OruTask::FindCurrentTask() != task_) {
        // The barrier's answer comes after every block posted before it.
        TaskRequest barrier;
        barrier.code = LOG_TASK_BARRIER;
        task_->Request(barrier);
    }
    // A writer without a task cannot wait for an answer: it lets the Log
    // Task catch up by polling, within a bound.
    for (int tries = 0; current_->InUse() && tries < 5000; ++tries) {
        platform::SleepMs(1);
    }
    if (current_->InUse()) {
        ServerFatalError("WriteBufferPool::GetRecord", "Log buffer synchronization error");
    }
    current_->SetBlockLrba(blockLrba);
}

unsigned char* WriteBufferPool::GetRecord(unsigned char* header) {
    std::uint32_t length = GetLe32(header + kRecLength);
    if (length > kBlockSize) {
        ServerFatalError("WriteBufferPool::GetRecord", "record too long");
    }
    std::lock_guard<std::mutex> hold(lock_);
    unsigned char* space = current_->Alloc(length);
    if (space == nullptr) {
        current_->Close();
        Advance(BlockOf(lastLrba_ + kBlockSize));
        space = current_->Alloc(length);
    }
    std::uint32_t lrba = current_->LastLrba();
    PutLe32(header + kRecBackLink, backLink_);
    PutLe32(header + kRecLrba, lrba);
    lastLrba_ = lrba;
    backLink_ = lrba;
    return space;
}

void WriteBufferPool::FreeRecord(const unsigned char* space) {
    std::lock_guard<std::mutex> hold(lock_);
    for (WriteBuffer& buffer : buffers_) {
        if (buffer.Holds(space)) {
            if (GetLe32(space + kRecBeginFlag) == 1 && buffer.BundleId() == 0) {
                buffer.SetBundleId(GetLe32(space + kRecBundleId));
            }
            buffer.FreeSpace(space);
            return;
        }
    }
    ServerFatalError("WriteBufferPool::FreeRecord", "Invalid record pointer");
}

void WriteBufferPool::Flush() {
    std::lock_guard<std::mutex> hold(lock_);
    std::uint32_t block = current_->BlockLrba();
    if (current_->Close()) {
        Advance(block + kBlockSize);
    }
}

std::uint32_t WriteBufferPool::Resume(
    const std::function<Resumed(std::uint32_t lastLrba)>& resume) {
    std::lock_guard<std::mutex> hold(lock_);
    std::uint32_t block = current_->BlockLrba();
    if (current_->Close()) {
        Advance(block + kBlockSize);
    }
    TaskRequest barrier;
    barrier.code = LOG_TASK_BARRIER;
    task_->Request(barrier);
    const Resumed answer = resume(lastLrba_);
    if (!task_->IsSuspended()) {
        // The Log Task writes from the block after its answer on, which is
        // at or above every LRBA handed out so far: a block a writer still
        // fills with an older number is dropped when it arrives.
        lastLrba_ = std::max(lastLrba_, answer.lrba);
        current_->SetBlockLrba(BlockOf(lastLrba_ + kBlockSize));
        if (answer.resumed) {
            // Nothing handed out while the log was suspended reached it.
            backLink_ = answer.lastWritten;
        }
    }
    return answer.lrba;
}

std::uint32_t WriteBufferPool::LastLrba() {
    std::lock_guard<std::mutex> hold(lock_);
    return lastLrba_;
}
