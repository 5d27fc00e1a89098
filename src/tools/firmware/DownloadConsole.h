// Where download writes: its standard output and standard error, unless a
// test points them elsewhere. The program is single-threaded.
#pragma once

#include <cstdio>

#include "tools/firmware/DownloadTexts.h"

namespace download {

struct DownloadConsole {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

DownloadConsole& Console();

// Prints a text of the table (a format takes the arguments) to standard
// output (Say) or standard error (Complain).
void Say(DownloadText id, ...);
void Complain(DownloadText id, ...);

}  // namespace download
