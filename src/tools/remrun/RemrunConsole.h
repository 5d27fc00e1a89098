// Where remrun's own texts and the remote streams go.
//
// The remote output goes to `out`, the remote error output, usage, program
// messages, error reports and debug lines to `err`. Debug lines appear only
// once debugging is on. Each write is flushed at once, so the order on the
// console follows the order of events. The writers may be called from the
// main thread and the error thread together (stdio locks each stream).
#pragma once

#include "tools/remrun/RemrunTexts.h"

#include <cstddef>
#include <cstdio>
#include <string>

namespace remrun {

class RemrunConsole {
  public:
    RemrunConsole(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

    void SetDebug(bool on) { debug_ = on; }
    bool Debug() const { return debug_; }

    // Copies received bytes exactly (zero bytes included).
    void WriteOutput(const char* data, std::size_t size);
    void WriteErrorOutput(const char* data, std::size_t size);

    // A text of the table, printed as it stands.
    void Message(RemrunText id);
    // A formatted text on the error stream, or on the output stream for
    // VersionInfo.
    void Formatted(RemrunText format, const std::string& argument);
    void UsageLine(RemrunText name, RemrunText text);
    void VersionInfo();

    // "DEBUG: text", "DEBUG: text number" (only when debugging).
    void Trace(RemrunText id);
    void Trace(const std::string& text);
    void TraceNumber(RemrunText id, int number);
    void TraceArgument(int index, const char* argument);

    // "** ERROR: message" and the socket error's text.
    void Error(const std::string& message, int winsockCode);
    void Error(RemrunText id, int winsockCode);
    // "** ERROR: message" alone, for failures that are no socket error.
    void Error(RemrunText id);

  private:
    void Write(std::FILE* stream, const char* data, std::size_t size);

    std::FILE* out_;
    std::FILE* err_;
    bool debug_ = false;
};

// printf into a string (the formats come from the text table).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace remrun
