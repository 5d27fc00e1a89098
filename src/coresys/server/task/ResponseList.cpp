#include "coresys/server/task/ResponseList.h"

#include "coresys/server/task/ServerFatal.h"

ResponseList::~ResponseList() {
    if (count_ != 0) {
        ServerFatalError("ResponseList::~ResponseList", "List is not empty");
    }
}

void ResponseList::Add(const TaskResponse& response) {
    auto* record = new TaskResponse(response);
    record->next = nullptr;
    ++count_;
    if (head_ == nullptr) {
        head_ = tail_ = record;
        return;
    }
    if (record->responseId <= head_->responseId) {
        record->next = head_;
        head_ = record;
        return;
    }
    if (record->responseId >= tail_->responseId) {
        tail_->next = record;
        tail_ = record;
        return;
    }
    TaskResponse* after = head_;
    while (after->next != nullptr && after->next->responseId <= record->responseId) {
        after = after->next;
    }
    record->next = after->next;
    after->next = record;
}

TaskResponse ResponseList::Get(std::int32_t id) {
    TaskResponse* before = nullptr;
    for (TaskResponse* r = head_; r != nullptr; before = r, r = r->next) {
        if (r->responseId != id) {
            continue;
        }
        if (before == nullptr) {
            head_ = r->next;
        } else {
            before->next = r->next;
        }
        if (tail_ == r) {
            tail_ = before;
        }
        --count_;
        TaskResponse copy = *r;
        copy.next = nullptr;
        delete r;
        return copy;
    }
    ServerFatalError("ResponseList::Get", "Requested response not available");
}

TaskResponse ResponseList::Next() {
    if (head_ == nullptr) {
        ServerFatalError("ResponseList::Next", "List is empty");
    }
    return Get(head_->responseId);
}

bool ResponseList::Find(std::int32_t id) const {
    for (const TaskResponse* r = head_; r != nullptr; r = r->next) {
        if (r->responseId == id) {
            return true;
        }
    }
    return false;
}

void ResponseList::Clear() {
    while (head_ != nullptr) {
        TaskResponse* r = head_;
        head_ = r->next;
        delete r;
    }
    tail_ = nullptr;
    count_ = 0;
}
