#include "catalog/FormatArguments.h"

#include <cstring>
#include <map>

namespace catalog {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a decimal number followed by '$' ("3$"): its value, or 0 (and p
// untouched) when there is none.
int ArgumentNumber(const char*& p) {
    const char* q = p;
    int value = 0;
    while (IsDigit(*q) && value < 100000) {
        value = value * 10 + (*q - '0');
        ++q;
    }
    if (q == p || *q != '$' || value == 0) {
        return 0;
    }
    p = q + 1;
    return value;
}

}  // namespace

std::optional<std::vector<std::string>> FormatArguments(const char* format) {
    std::map<int, std::string> numbered;
    std::vector<std::string> plain;
    bool clash = false;
    auto take = [&](int number, std::string kind) {
        if (number == 0) {
            plain.push_back(std::move(kind));
            return;
        }
        auto [at, fresh] = numbered.emplace(number, kind);
        // One argument read as two types is no sequence at all.
        if (!fresh && at->second != kind) {
            clash = true;
        }
    };
    for (const char* p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p, '%')) {
        ++p;
        if (*p == '%') {
            ++p;
            continue;
        }
        const int number = ArgumentNumber(p);
        while (*p != '\0' && std::strchr("-+ #0'I", *p) != nullptr) {
            ++p;
        }
        // Width and precision: digits, or '*' with an optional argument number.
        for (int part = 0; part < 2; ++part) {
            if (part == 1) {
                if (*p != '.') {
                    break;
                }
                ++p;
            }
            if (*p == '*') {
                ++p;
                const int starNumber = ArgumentNumber(p);
                if ((starNumber == 0) != (number == 0)) {
                    return std::nullopt;
                }
                take(starNumber, "int");
            } else {
                while (IsDigit(*p)) {
                    ++p;
                }
            }
        }
        std::string length;
        if ((p[0] == 'h' && p[1] == 'h') || (p[0] == 'l' && p[1] == 'l')) {
            length.assign(p, 2);
            p += 2;
        } else if (*p != '\0' && std::strchr("hlLqjzt", *p) != nullptr) {
            length.assign(p, 1);
            ++p;
        }
        if (length == "q") {
            length = "ll";
        }
        const char conversion = *p;
        if (conversion == '\0') {
            return std::nullopt;
        }
        ++p;
        std::string kind;
        if (std::strchr("di", conversion) != nullptr) {
            kind = length + "int";
        } else if (std::strchr("ouxX", conversion) != nullptr) {
            kind = length + "unsigned";
        } else if (std::strchr("eEfFgGaA", conversion) != nullptr) {
            if (!length.empty() && length != "L" && length != "l") {
                return std::nullopt;
            }
            kind = length == "L" ? "long double" : "double";
        } else if (conversion == 'c' && (length.empty() || length == "l")) {
            kind = length + "char";
        } else if (conversion == 's' && (length.empty() || length == "l")) {
            kind = length + "string";
        } else if (conversion == 'p' && length.empty()) {
            kind = "pointer";
        } else if (conversion == 'm' && length.empty() && number == 0) {
            continue;  // the text of errno: no argument
        } else {
            // %n (it stores through its argument) and everything printf
            // does not know, %Z among them.
            return std::nullopt;
        }
        take(number, std::move(kind));
    }
    if (clash || (!numbered.empty() && !plain.empty())) {
        return std::nullopt;
    }
    if (numbered.empty()) {
        return plain;
    }
    std::vector<std::string> ordered;
    int expected = 1;
    for (auto& [n, kind] : numbered) {
        if (n != expected++) {
            return std::nullopt;
        }
        ordered.push_back(std::move(kind));
    }
    return ordered;
}

}  // namespace catalog
