// The log printer's debug sink: the log catalog reports its read and write
// failures through it (LogCatalog::SetDebugSink), each as "DebugMsg: " and
// the catalog's line on standard output.
#pragma once

#include <functional>
#include <string_view>

namespace trail {

// Writes "DebugMsg: " and the format filled with the arguments (printf
// rules); no line end is added.
void DebugMsg(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where DebugMsg writes: standard output, unless a run points it at its own
// output for its length (an empty function: standard output again).
void SetDebugMsgTarget(std::function<void(std::string_view text)> target);

// The sink the printer hands the log catalog.
void CatalogDebugSink(const char* text);

}  // namespace trail
