// Holds a ResourceSemaphore for one scope.
#pragma once

#include "coresys/server/task/ResourceSemaphore.h"

class ResourceHold {
  public:
    explicit ResourceHold(ResourceSemaphore& semaphore) : semaphore_(semaphore) {
        semaphore_.Obtain();
    }
    ~ResourceHold() { semaphore_.Release(); }
    ResourceHold(const ResourceHold&) = delete;
    ResourceHold& operator=(const ResourceHold&) = delete;

  private:
    ResourceSemaphore& semaphore_;
};
