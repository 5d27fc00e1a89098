#include "tools/trail/TrailOutput.h"

#include <cstdio>

namespace trail {

std::string PrintableText(const unsigned char* bytes, std::size_t size) {
    std::string text;
    for (std::size_t i = 0; i < size && bytes[i] != 0; ++i) {
        text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '?';
    }
    return text;
}

std::string PrintableText(const char* text, std::size_t size) {
    return PrintableText(reinterpret_cast<const unsigned char*>(text), size);
}

void TrailOutput::Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    VPrintf(format, args);
    va_end(args);
}

void TrailOutput::VPrintf(const char* format, va_list args) {
    Prepare();
    char small[512];
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(small, sizeof small, format, args);
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof small) {
        buffer_.append(small, static_cast<std::size_t>(length));
    } else if (length > 0) {
        std::string large(static_cast<std::size_t>(length) + 1, '\0');
        std::vsnprintf(large.data(), large.size(), format, again);
        buffer_.append(large.data(), static_cast<std::size_t>(length));
    }
    va_end(again);
    Settle();
}

void TrailOutput::Flush() {
    if (!buffer_.empty()) {
        stream_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }
    stream_.flush();
}

}  // namespace trail
