// Fills a catalog text with values without trusting the text.
//
// A catalog text is a printf format, but its wording lies outside the code:
// a translation may name more values than the caller has, or conversions of
// another kind. FormatText therefore walks the text itself and fills each
// conversion from a fixed, typed list of values: d i u x X o c s take the
// next value (converted to what the conversion needs; none left gives
// nothing), %% gives %, and every other conversion (%n, %p, %f, a '*' width,
// ...) is copied as it stands. Flags, width and precision are honoured up to
// 99. The result is cut to limit - 1 bytes.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace oruagent {

// One value for a catalog text: a number, a character or a text.
class TextArg {
  public:
    enum class Kind { kSigned, kUnsigned, kChar, kText };

    TextArg(char c) : kind_(Kind::kChar), unsigned_(static_cast<unsigned char>(c)) {}
    template <std::integral T>
    TextArg(T value) {
        if constexpr (std::is_signed_v<T>) {
            kind_ = Kind::kSigned;
            signed_ = value;
        } else {
            kind_ = Kind::kUnsigned;
            unsigned_ = value;
        }
    }
    TextArg(std::string_view text) : kind_(Kind::kText), text_(text) {}
    TextArg(const char* text) : kind_(Kind::kText), text_(text != nullptr ? text : "") {}
    TextArg(const std::string& text) : kind_(Kind::kText), text_(text) {}

    Kind kind() const { return kind_; }
    std::int64_t AsSigned() const;
    std::uint64_t AsUnsigned() const;
    std::string AsText() const;

  private:
    Kind kind_ = Kind::kSigned;
    std::int64_t signed_ = 0;
    std::uint64_t unsigned_ = 0;
    std::string_view text_;
};

std::string FormatText(std::string_view format, std::initializer_list<TextArg> args,
                       std::size_t limit);

}  // namespace oruagent
