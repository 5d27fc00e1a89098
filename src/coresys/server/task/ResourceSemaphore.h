// A mutex with the semantics the service relies on: the thread that holds it
// may obtain it again (each Obtain needs its Release).
#pragma once

#include <mutex>

#include "coresys/server/task/Semaphore.h"

class ResourceSemaphore : public Semaphore {
  public:
    ResourceSemaphore();

    // Waits without time-out.
    void Obtain();
    // Must be called by the holder.
    void Release();

  private:
    std::recursive_mutex mutex_;
};
