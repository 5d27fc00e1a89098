// TaskResponse records addressed to one task, in ascending order of response
// id. Not thread-safe: the owning task's lock guards it.
#pragma once

#include <cstdint>

#include "coresys/server/task/TaskResponse.h"

class ResponseList {
  public:
    ResponseList() = default;
    // A list must be empty when destroyed (fatal otherwise).
    ~ResponseList();
    ResponseList(const ResponseList&) = delete;
    ResponseList& operator=(const ResponseList&) = delete;

    // Copies the record into the list by id.
    void Add(const TaskResponse& response);
    // Unlinks the first record with that id and returns it (fatal if none).
    TaskResponse Get(std::int32_t id);
    // Unlinks and returns the head (fatal if the list is empty).
    TaskResponse Next();
    bool Find(std::int32_t id) const;
    // Frees every record.
    void Clear();

    bool Empty() const { return count_ == 0; }
    std::uint32_t Count() const { return count_; }

  private:
    TaskResponse* head_ = nullptr;
    TaskResponse* tail_ = nullptr;
    std::uint32_t count_ = 0;
};
