#include "coresys/server/log/PendingQueue.h"

#include "coresys/server/log/WriteBuffer.h"
#include "coresys/server/task/ServerFatal.h"

void PendingQueue::Add(WriteBuffer* buffer) {
    if (count_ >= kCapacity) {
        ServerFatalError("PendingQueue::Add", "Buffer overflow");
    }
    int at = 0;
    while (at < count_ && buffers_[at]->BlockLrba() < buffer->BlockLrba()) {
        ++at;
    }
    if (at < count_ && buffers_[at]->BlockLrba() == buffer->BlockLrba()) {
        ServerFatalError("PendingQueue::Add", "Internal error");
    }
    for (int i = count_; i > at; --i) {
        buffers_[i] = buffers_[i - 1];
    }
    buffers_[at] = buffer;
    ++count_;
}

WriteBuffer* PendingQueue::TakeFirst() {
    if (count_ == 0) {
        return nullptr;
    }
    WriteBuffer* first = buffers_[0];
    for (int i = 1; i < count_; ++i) {
        buffers_[i - 1] = buffers_[i];
    }
    buffers_[--count_] = nullptr;
    return first;
}
