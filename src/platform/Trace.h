// Trace sink: debug output of the suite ("debug output" of the design).
//
// Trace prints nothing unless tracing is switched on, by the environment
// variable ORU_TRACE (any value but "" and "0", read at the first call) or by
// SetTraceEnabled. Each call writes one whole formatted text to standard
// error (or the stream given to SetTraceStream) under a lock, so lines of
// several threads never mix. Thread-safe.
#pragma once

#include <cstdarg>
#include <cstdio>

namespace platform {

bool TraceEnabled();
void SetTraceEnabled(bool enabled);

// Where trace text goes (nullptr: standard error). The stream must outlive its use.
void SetTraceStream(std::FILE* stream);

// printf-style; texts longer than 4095 bytes are cut.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void TraceV(const char* format, std::va_list args);

}  // namespace platform
