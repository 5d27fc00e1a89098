#include "platform/Trace.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace platform {
namespace {

std::atomic<int>& EnabledState() {
    // -1: not decided yet (read ORU_TRACE), 0 off, 1 on.
    static std::atomic<int> state{-1};
    return state;
}

std::mutex& StreamMutex() {
    static std::mutex mutex;
    return mutex;
}

std::FILE*& Stream() {
    static std::FILE* stream = nullptr;
    return stream;
}

}  // namespace

bool TraceEnabled() {
    int state = EnabledState().load(std::memory_order_relaxed);
    if (state < 0) {
        const char* env = std::getenv("ORU_TRACE");
        int fromEnv = env != nullptr && *env != '\0' && std::strcmp(env, "0") != 0 ? 1 : 0;
        int expected = -1;
        EnabledState().compare_exchange_strong(expected, fromEnv);
        state = EnabledState().load(std::memory_order_relaxed);
    }
    return state == 1;
}

void SetTraceEnabled(bool enabled) {
    EnabledState().store(enabled ? 1 : 0);
}

void SetTraceStream(std::FILE* stream) {
    std::lock_guard<std::mutex> lock(StreamMutex());
    Stream() = stream;
}

void TraceV(const char* format, std::va_list args) {
    if (!TraceEnabled()) {
        return;
    }
    char text[4096];
    std::va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(text, sizeof text, format, args);
    if (length < 0) {
        va_end(again);
        return;
    }
    size_t size = static_cast<size_t>(length);
    if (size >= sizeof text) {
        // Cut: a text that ended its line still does, so the next one does
        // not run on behind it.
        size = sizeof text - 1;
        std::string whole(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(whole.data(), whole.size(), format, again);
        if (whole[static_cast<size_t>(length) - 1] == '\n') {
            text[size - 1] = '\n';
        }
    }
    va_end(again);
    std::lock_guard<std::mutex> lock(StreamMutex());
    std::FILE* out = Stream() != nullptr ? Stream() : stderr;
    std::fwrite(text, 1, size, out);
    std::fflush(out);
}

void Trace(const char* format, ...) {
    if (!TraceEnabled()) {
        return;
    }
    std::va_list args;
    va_start(args, format);
    TraceV(format, args);
    va_end(args);
}

}  // namespace platform
