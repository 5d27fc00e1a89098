#include "tools/remrun/RemrunConsole.h"

#include "tools/remrun/WinsockErrorText.h"

#include <cstdarg>
#include <vector>

namespace remrun {

std::string FormatText(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list copy;
    va_copy(copy, arguments);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
        result.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(arguments);
    return result;
}

void RemrunConsole::Write(std::FILE* stream, const char* data, std::size_t size) {
    if (size > 0) {
        std::fwrite(data, 1, size, stream);
    }
    std::fflush(stream);
}

void RemrunConsole::WriteOutput(const char* data, std::size_t size) {
    Write(out_, data, size);
}

void RemrunConsole::WriteErrorOutput(const char* data, std::size_t size) {
    Write(err_, data, size);
}

void RemrunConsole::Message(RemrunText id) {
    std::string text = Text(id);
    Write(err_, text.data(), text.size());
}

void RemrunConsole::Formatted(RemrunText format, const std::string& argument) {
    std::string text = FormatText(Text(format), argument.c_str());
    Write(err_, text.data(), text.size());
}

void RemrunConsole::UsageLine(RemrunText name, RemrunText text) {
    std::string line = FormatText(Text(RemrunText::USAGE_LINE), Text(name), Text(text));
    Write(err_, line.data(), line.size());
}

void RemrunConsole::VersionInfo() {
    std::string text = FormatText(Text(RemrunText::VERSION_FORMAT), Text(RemrunText::VERSION_TITLE),
                                  1, 0, Text(RemrunText::VERSION_NOTE));
    Write(out_, text.data(), text.size());
}

void RemrunConsole::Trace(RemrunText id) {
    Trace(std::string(Text(id)));
}

void RemrunConsole::Trace(const std::string& text) {
    if (!debug_) {
        return;
    }
    // Some trace texts carry their own line end; the debug line gives one.
    std::string body = text;
    if (!body.empty() && body.back() == '\n') {
        body.pop_back();
    }
    std::string line = FormatText(Text(RemrunText::DEBUG_TEXT), body.c_str());
    Write(err_, line.data(), line.size());
}

void RemrunConsole::TraceNumber(RemrunText id, int number) {
    if (!debug_) {
        return;
    }
    std::string line = FormatText(Text(RemrunText::DEBUG_NUMBER), Text(id), number);
    Write(err_, line.data(), line.size());
}

void RemrunConsole::TraceArgument(int index, const char* argument) {
    if (!debug_) {
        return;
    }
    std::string line = FormatText(Text(RemrunText::DEBUG_ARGUMENT), index, argument);
    Write(err_, line.data(), line.size());
}

void RemrunConsole::Error(const std::string& message, int winsockCode) {
    std::string text = FormatText(Text(RemrunText::ERROR_HEAD), message.c_str());
    text += Text(RemrunText::ERROR_WINSOCK);
    text += WinsockErrorText(winsockCode);
    Write(err_, text.data(), text.size());
}

void RemrunConsole::Error(RemrunText id) {
    Formatted(RemrunText::ERROR_ALONE, Text(id));
}

void RemrunConsole::Error(RemrunText id, int winsockCode) {
    Error(std::string(Text(id)), winsockCode);
}

}  // namespace remrun
