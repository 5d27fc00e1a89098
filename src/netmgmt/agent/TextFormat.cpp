#include "netmgmt/agent/TextFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace oruagent {

std::int64_t TextArg::AsSigned() const {
    switch (kind_) {
        case Kind::kSigned:
            return signed_;
        case Kind::kText:
            return 0;
        default:
            return static_cast<std::int64_t>(unsigned_);
    }
}

std::uint64_t TextArg::AsUnsigned() const {
    return kind_ == Kind::kSigned ? static_cast<std::uint64_t>(signed_)
           : kind_ == Kind::kText ? 0
                                  : unsigned_;
}

std::string TextArg::AsText() const {
    switch (kind_) {
        case Kind::kText:
            return std::string(text_);
        case Kind::kChar:
            return std::string(1, static_cast<char>(unsigned_));
        case Kind::kSigned:
            return std::to_string(signed_);
        default:
            return std::to_string(unsigned_);
    }
}

namespace {

constexpr int kMaxField = 99;

// Reads a run of digits; the number it gives stays at most 99.
int ReadNumber(std::string_view text, std::size_t* i) {
    int n = 0;
    while (*i < text.size() && text[*i] >= '0' && text[*i] <= '9') {
        n = n * 10 + (text[*i] - '0');
        if (n > kMaxField) {
            n = kMaxField;
        }
        ++*i;
    }
    return n;
}

}  // namespace

std::string FormatText(std::string_view format, std::initializer_list<TextArg> args,
                       std::size_t limit) {
    std::string out;
    const TextArg* next = args.begin();
    std::size_t i = 0;
    while (i < format.size() && out.size() < limit) {
        const char c = format[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        const std::size_t start = i++;
        std::string head = "%";  // flags, width and precision as written
        while (i < format.size() && std::strchr("-+ #0", format[i]) != nullptr) {
            head += format[i++];
        }
        if (i < format.size() && format[i] >= '0' && format[i] <= '9') {
            head += std::to_string(ReadNumber(format, &i));
        }
        if (i < format.size() && format[i] == '.') {
            ++i;
            head += "." + std::to_string(ReadNumber(format, &i));
        }
        while (i < format.size() && std::strchr("hlLqjzt", format[i]) != nullptr) {
            ++i;
        }
        if (i >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        const char conversion = format[i++];
        if (conversion == '%') {
            out += '%';
            continue;
        }
        if (std::strchr("diuxXocs", conversion) == nullptr) {
            // Not one this formatter fills: the text keeps it as written.
            out.append(format.substr(start, i - start));
            continue;
        }
        if (next == args.end()) {
            continue;
        }
        const TextArg& arg = *next++;
        std::vector<char> piece(2 * kMaxField + 64);
        int n = 0;
        switch (conversion) {
            case 's': {
                const std::string text = arg.AsText();
                n = std::snprintf(piece.data(), piece.size(), (head + "s").c_str(), text.c_str());
                if (n >= 0 && static_cast<std::size_t>(n) >= piece.size()) {
                    // A text longer than the piece buffer: format it into its own size.
                    piece.resize(static_cast<std::size_t>(n) + 1);
                    n = std::snprintf(piece.data(), piece.size(), (head + "s").c_str(),
                                      text.c_str());
                }
                break;
            }
            case 'c': {
                const int ch = arg.kind() == TextArg::Kind::kText
                                   ? static_cast<unsigned char>(arg.AsText().c_str()[0])
                                   : static_cast<unsigned char>(arg.AsUnsigned());
                n = std::snprintf(piece.data(), piece.size(), (head + "c").c_str(), ch);
                break;
            }
            case 'd':
            case 'i':
                if (arg.kind() == TextArg::Kind::kText) {
                    n = std::snprintf(piece.data(), piece.size(), "%s", arg.AsText().c_str());
                } else {
                    n = std::snprintf(piece.data(), piece.size(), (head + "lld").c_str(),
                                      static_cast<long long>(arg.AsSigned()));
                }
                break;
            default:
                if (arg.kind() == TextArg::Kind::kText) {
                    n = std::snprintf(piece.data(), piece.size(), "%s", arg.AsText().c_str());
                } else {
                    n = std::snprintf(piece.data(), piece.size(),
                                      (head + "ll" + conversion).c_str(),
                                      static_cast<unsigned long long>(arg.AsUnsigned()));
                }
                break;
        }
        if (n > 0) {
            out.append(piece.data(), std::min(static_cast<std::size_t>(n), piece.size() - 1));
        }
    }
    if (limit == 0) {
        return std::string();
    }
    if (out.size() > limit - 1) {
        out.resize(limit - 1);
    }
    return out;
}

}  // namespace oruagent
