#include "tools/firmware/DownloadConsole.h"

#include <cstdarg>

namespace download {

DownloadConsole& Console() {
    static DownloadConsole console;
    return console;
}

void Say(DownloadText id, ...) {
    va_list args;
    va_start(args, id);
    std::vfprintf(Console().out, Text(id), args);
    va_end(args);
    std::fflush(Console().out);
}

void Complain(DownloadText id, ...) {
    va_list args;
    va_start(args, id);
    std::vfprintf(Console().err, Text(id), args);
    va_end(args);
    std::fflush(Console().err);
}

}  // namespace download
