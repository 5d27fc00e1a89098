#include "coresys/server/task/Semaphore.h"

#include <mutex>

namespace {

// Never destroyed: semaphores may outlive static destruction at process end.
std::mutex& ListLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

Semaphore* g_head = nullptr;
int g_count = 0;

}  // namespace

Semaphore::Semaphore(SEMAPHORE_TYPE type) : type_(type) {
    std::lock_guard<std::mutex> guard(ListLock());
    next_ = g_head;
    if (g_head != nullptr) {
        g_head->prev_ = this;
    }
    g_head = this;
    listed_ = true;
    ++g_count;
}

Semaphore::~Semaphore() {
    std::lock_guard<std::mutex> guard(ListLock());
    if (!listed_) {
        return;
    }
    if (prev_ != nullptr) {
        prev_->next_ = next_;
    } else {
        g_head = next_;
    }
    if (next_ != nullptr) {
        next_->prev_ = prev_;
    }
    listed_ = false;
    --g_count;
}

void Semaphore::Close() {
    closed_.store(true);
}

void Semaphore::CloseAll() {
    std::lock_guard<std::mutex> guard(ListLock());
    while (g_head != nullptr) {
        Semaphore* s = g_head;
        g_head = s->next_;
        if (g_head != nullptr) {
            g_head->prev_ = nullptr;
        }
        s->prev_ = nullptr;
        s->next_ = nullptr;
        s->listed_ = false;
        --g_count;
        s->Close();
    }
}

int Semaphore::Count() {
    std::lock_guard<std::mutex> guard(ListLock());
    return g_count;
}
