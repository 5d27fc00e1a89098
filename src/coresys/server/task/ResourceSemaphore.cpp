#include "coresys/server/task/ResourceSemaphore.h"

ResourceSemaphore::ResourceSemaphore() : Semaphore(SEMAPHORE_MUTEX) {}

void ResourceSemaphore::Obtain() {
    mutex_.lock();
}

void ResourceSemaphore::Release() {
    mutex_.unlock();
}
