#include "coresys/common/ReportError.h"

#include <cstdio>
#include <cstdlib>

void ReportError(const char* where, const char* what) {
    std::fprintf(stderr, "%s %s\n", where != nullptr ? where : "", what != nullptr ? what : "");
    std::fflush(stderr);
    std::fflush(stdout);
    // A plain exit code, not a signal; and no static destructors, which would
    // race with the threads that are still running.
    std::_Exit(3);
}
