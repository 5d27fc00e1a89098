#include "platform/PrivateProfile.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>

#include "platform/FileUtil.h"
#include "platform/Root.h"

namespace platform {
namespace {

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca != cb && std::tolower(ca) != std::tolower(cb)) {
            return false;
        }
    }
    return true;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos;
}

}  // namespace

bool ProfileData::ValidSection(std::string_view section) {
    return !Trim(section).empty() && Trim(section) == section && !HasLineBreakOrNul(section) &&
           section.find(']') == std::string_view::npos;
}

bool ProfileData::ValidKey(std::string_view key) {
    if (Trim(key).empty() || Trim(key) != key || HasLineBreakOrNul(key)) {
        return false;
    }
    return key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';' &&
           key.front() != '#';
}

bool ProfileData::ValidValue(std::string_view value) {
    // Blanks at either end would be lost on reading; refuse rather than
    // store something else than was asked.
    return !HasLineBreakOrNul(value) && Trim(value) == value;
}

ProfileData ProfileData::Parse(std::string_view text) {
    ProfileData data;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view raw = text.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        Line line;
        line.raw = std::string(raw);
        const std::string_view trimmed = Trim(raw);
        if (!trimmed.empty() && trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            if (close != std::string_view::npos) {
                line.kind = Line::kSection;
                line.name = std::string(Trim(trimmed.substr(1, close - 1)));
            }
        } else if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#') {
            const std::size_t equals = trimmed.find('=');
            if (equals != std::string_view::npos && !Trim(trimmed.substr(0, equals)).empty()) {
                line.kind = Line::kKey;
                line.name = std::string(Trim(trimmed.substr(0, equals)));
                line.value = std::string(Trim(trimmed.substr(equals + 1)));
            }
        }
        data.lines_.push_back(std::move(line));
        start = end + 1;
    }
    return data;
}

std::string ProfileData::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.raw;
        text += '\n';
    }
    return text;
}

int ProfileData::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == Line::kSection && SameName(lines_[i].name, section)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::size_t ProfileData::SectionEnd(std::size_t header) const {
    std::size_t end = header + 1;
    while (end < lines_.size() && lines_[end].kind != Line::kSection) {
        ++end;
    }
    return end;
}

std::optional<std::string> ProfileData::Get(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const Line& line : lines_) {
        if (line.kind == Line::kSection) {
            inSection = SameName(line.name, section);
        } else if (inSection && line.kind == Line::kKey && SameName(line.name, key)) {
            return line.value;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> ProfileData::Keys(std::string_view section) const {
    bool found = false;
    bool inSection = false;
    std::vector<std::string> keys;
    for (const Line& line : lines_) {
        if (line.kind == Line::kSection) {
            inSection = SameName(line.name, section);
            found = found || inSection;
            continue;
        }
        if (!inSection || line.kind != Line::kKey) {
            continue;
        }
        bool seen = false;
        for (const std::string& key : keys) {
            seen = seen || SameName(key, line.name);
        }
        if (!seen) {
            keys.push_back(line.name);
        }
    }
    if (!found) {
        return std::nullopt;
    }
    return keys;
}

int ProfileData::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!ValidSection(section) || !ValidKey(key) || !ValidValue(value)) {
        return EINVAL;
    }
    Line entry;
    entry.kind = Line::kKey;
    entry.name = std::string(key);
    entry.value = std::string(value);
    entry.raw = entry.name + "=" + entry.value;

    // The first line of the key anywhere in the section takes the value.
    bool inSection = false;
    for (Line& line : lines_) {
        if (line.kind == Line::kSection) {
            inSection = SameName(line.name, section);
        } else if (inSection && line.kind == Line::kKey && SameName(line.name, key)) {
            line = entry;
            return 0;
        }
    }
    const int header = FindSection(section);
    if (header < 0) {
        if (!lines_.empty() && !Trim(lines_.back().raw).empty()) {
            lines_.push_back(Line{});
        }
        Line head;
        head.kind = Line::kSection;
        head.name = std::string(section);
        head.raw = "[" + head.name + "]";
        lines_.push_back(std::move(head));
        lines_.push_back(std::move(entry));
        return 0;
    }
    // After the section's last line that is not blank, so that the blank
    // line before the next section stays where it is.
    std::size_t at = SectionEnd(static_cast<std::size_t>(header));
    while (at > static_cast<std::size_t>(header) + 1 && Trim(lines_[at - 1].raw).empty()) {
        --at;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
    return 0;
}

void ProfileData::DeleteKey(std::string_view section, std::string_view key) {
    bool inSection = false;
    std::vector<Line> kept;
    kept.reserve(lines_.size());
    for (Line& line : lines_) {
        if (line.kind == Line::kSection) {
            inSection = SameName(line.name, section);
        } else if (inSection && line.kind == Line::kKey && SameName(line.name, key)) {
            continue;
        }
        kept.push_back(std::move(line));
    }
    lines_ = std::move(kept);
}

void ProfileData::DeleteSection(std::string_view section) {
    for (int header = FindSection(section); header >= 0; header = FindSection(section)) {
        const std::size_t end = SectionEnd(static_cast<std::size_t>(header));
        lines_.erase(lines_.begin() + header, lines_.begin() + static_cast<std::ptrdiff_t>(end));
    }
}

ProfileData PrivateProfile::Snapshot() const {
    std::string text;
    if (ReadWholeFile(path_, &text) != 0) {
        return ProfileData();
    }
    return ProfileData::Parse(text);
}

std::optional<std::string> PrivateProfile::Read(std::string_view section,
                                                std::string_view key) const {
    return Snapshot().Get(section, key);
}

std::string PrivateProfile::ReadString(std::string_view section, std::string_view key,
                                       std::string_view fallback) const {
    std::optional<std::string> value = Read(section, key);
    return value ? *value : std::string(fallback);
}

std::optional<std::vector<std::string>> PrivateProfile::SectionKeys(
    std::string_view section) const {
    return Snapshot().Keys(section);
}

int PrivateProfile::ReadInt(std::string_view section, std::string_view key, int fallback) const {
    std::optional<std::string> value = Read(section, key);
    if (!value || value->empty()) {
        return fallback;
    }
    const char* first = value->data();
    const char* last = first + value->size();
    if (*first == '+') {
        ++first;
    }
    int number = 0;
    auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last) {
        return fallback;
    }
    return number;
}

int PrivateProfile::WriteString(std::string_view section, std::string_view key,
                                std::string_view value) {
    return Edit([&](ProfileData& data) { return data.Set(section, key, value); });
}

int PrivateProfile::WriteInt(std::string_view section, std::string_view key, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%i", value);
    return WriteString(section, key, text);
}

int PrivateProfile::DeleteKey(std::string_view section, std::string_view key) {
    return Edit([&](ProfileData& data) {
        data.DeleteKey(section, key);
        return 0;
    });
}

int PrivateProfile::DeleteSection(std::string_view section) {
    return Edit([&](ProfileData& data) {
        data.DeleteSection(section);
        return 0;
    });
}

int PrivateProfile::Edit(const std::function<int(ProfileData&)>& change) {
    const std::size_t slash = path_.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        MakeDirs(path_.substr(0, slash));
    }
    FileLock lock;
    int error = lock.Lock(path_ + ".lock", true);
    if (error != 0) {
        return error;
    }
    std::string text;
    error = ReadWholeFile(path_, &text);
    if (error != 0 && error != ENOENT) {
        // Writing now would replace a file we could not read.
        return error;
    }
    ProfileData data = ProfileData::Parse(text);
    error = change(data);
    if (error != 0) {
        return error;
    }
    const std::string updated = data.Text();
    if (updated == text) {
        return 0;
    }
    return WriteFileAtomic(path_, updated);
}

}  // namespace platform
