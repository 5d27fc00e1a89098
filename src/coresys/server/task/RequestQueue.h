// A singly linked queue of owned TaskRequest records. Not thread-safe: the
// owning task's lock guards it.
#pragma once

#include <cstdint>
#include <memory>

#include "coresys/server/task/TaskRequest.h"

class RequestQueue {
  public:
    RequestQueue() = default;
    // A queue must be empty when destroyed (fatal otherwise).
    ~RequestQueue();
    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    // Copies the record and appends the copy at the tail, or puts it at the
    // head when front is set.
    void Add(const TaskRequest& request, bool front);
    // Links an owned record in by due time, ascending; records with equal due
    // times keep the order in which they were inserted.
    void Insert(std::unique_ptr<TaskRequest> request);
    // Unlinks and returns the head; nullptr when empty.
    std::unique_ptr<TaskRequest> Take();
    // Due time of the head; 0 when empty.
    std::uint64_t HeadDue() const;

    bool Empty() const { return count_ == 0; }
    std::uint32_t Count() const { return count_; }

  private:
    TaskRequest* head_ = nullptr;
    TaskRequest* tail_ = nullptr;
    std::uint32_t count_ = 0;
};
