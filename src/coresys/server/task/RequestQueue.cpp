#include "coresys/server/task/RequestQueue.h"

#include "coresys/server/task/ServerFatal.h"

RequestQueue::~RequestQueue() {
    if (count_ != 0) {
        ServerFatalError("RequestQueue::~RequestQueue", "Queue is not empty");
    }
}

void RequestQueue::Add(const TaskRequest& request, bool front) {
    auto* copy = new TaskRequest(request);
    copy->next = nullptr;
    if (head_ == nullptr) {
        head_ = tail_ = copy;
    } else if (front) {
        copy->next = head_;
        head_ = copy;
    } else {
        tail_->next = copy;
        tail_ = copy;
    }
    ++count_;
}

void RequestQueue::Insert(std::unique_ptr<TaskRequest> request) {
    TaskRequest* record = request.release();
    record->next = nullptr;
    ++count_;
    if (head_ == nullptr) {
        head_ = tail_ = record;
        return;
    }
    if (record->dueTime < head_->dueTime) {
        record->next = head_;
        head_ = record;
        return;
    }
    if (record->dueTime >= tail_->dueTime) {
        tail_->next = record;
        tail_ = record;
        return;
    }
    // After the last record that is due no later than this one.
    TaskRequest* after = head_;
    while (after->next != nullptr && after->next->dueTime <= record->dueTime) {
        after = after->next;
    }
    record->next = after->next;
    after->next = record;
}

std::unique_ptr<TaskRequest> RequestQueue::Take() {
    if (head_ == nullptr) {
        return nullptr;
    }
    TaskRequest* record = head_;
    head_ = record->next;
    if (head_ == nullptr) {
        tail_ = nullptr;
    }
    record->next = nullptr;
    --count_;
    return std::unique_ptr<TaskRequest>(record);
}

std::uint64_t RequestQueue::HeadDue() const {
    return head_ != nullptr ? head_->dueTime : 0;
}
