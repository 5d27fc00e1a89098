// One output stream of the log printer, buffered: a log of millions of
// records is printed in large writes. Text written to the error stream
// first pushes out what the standard output holds, so the two read in order
// on a terminal.
#pragma once

#include <cstdarg>
#include <ostream>
#include <string>
#include <string_view>

namespace trail {

// What may be printed of a text that came from a file or a peer: up to its
// NUL, at most size bytes, control and non-ASCII bytes as '?'.
std::string PrintableText(const unsigned char* bytes, std::size_t size);
std::string PrintableText(const char* text, std::size_t size);

class TrailOutput {
  public:
    // before: an output whose text must come out first (may be null).
    explicit TrailOutput(std::ostream& stream, TrailOutput* before = nullptr)
        : stream_(stream), before_(before) {}
    ~TrailOutput() { Flush(); }
    TrailOutput(const TrailOutput&) = delete;
    TrailOutput& operator=(const TrailOutput&) = delete;

    void Put(std::string_view text) {
        Prepare();
        buffer_.append(text);
        Settle();
    }
    void Put(char c) {
        Prepare();
        buffer_.push_back(c);
        Settle();
    }
    // printf into the buffer.
    void Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void VPrintf(const char* format, va_list args);
    // The buffer itself, for a caller that composes in place; Settle when done.
    std::string& Buffer() {
        Prepare();
        return buffer_;
    }
    void Settle() {
        if (before_ == nullptr && buffer_.size() < kFlushAt) {
            return;
        }
        Flush();
    }
    void Flush();

  private:
    static constexpr std::size_t kFlushAt = 1 << 16;

    void Prepare() {
        if (before_ != nullptr) {
            before_->Flush();
        }
    }

    std::ostream& stream_;
    TrailOutput* before_;
    std::string buffer_;
};

}  // namespace trail
