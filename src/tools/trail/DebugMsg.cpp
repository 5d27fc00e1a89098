#include "tools/trail/DebugMsg.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace trail {

namespace {

constexpr const char* kPrefix = "DebugMsg: ";

std::function<void(std::string_view)>& Target() {
    static std::function<void(std::string_view)> target;
    return target;
}

}  // namespace

void DebugMsg(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    const std::string line = std::string(kPrefix) + text;
    if (Target()) {
        Target()(line);
    } else {
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }
}

void SetDebugMsgTarget(std::function<void(std::string_view text)> target) {
    Target() = std::move(target);
}

void CatalogDebugSink(const char* text) {
    DebugMsg("%s", text);
}

}  // namespace trail
