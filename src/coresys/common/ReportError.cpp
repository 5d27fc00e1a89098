#include "coresys/common/ReportError.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<FatalErrorSink> gSink{nullptr};

}  // namespace

void SetFatalErrorSink(FatalErrorSink sink) {
    gSink.store(sink);
}

void ReportError(const char* where, const char* what) {
    FatalErrorSink sink = gSink.load();
    if (sink != nullptr) {
        sink(where, what);
    }
    std::fprintf(stderr, "%s %s\n", where != nullptr ? where : "", what != nullptr ? what : "");
    std::fflush(stderr);
    std::fflush(stdout);
    // A plain exit code, not a signal; and no static destructors, which would
    // race with the threads that are still running.
    std::_Exit(3);
}
