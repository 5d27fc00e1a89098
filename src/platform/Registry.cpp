#include "platform/Registry.h"

#include "platform/FileUtil.h"
#include "platform/Root.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace platform {
namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kHeader4 = "REGEDIT4";

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Lower(a) == Lower(b);
}

struct KeyData {
    std::string path;  // as created, without the hive name; "" = root
    std::vector<RegValue> values;
};

// A parsed hive: keys by lower-case path.
struct HiveData {
    std::map<std::string, KeyData> keys;
};

std::string LockPath(const std::string& file) {
    std::string base = file;
    if (base.size() > 4 && base.compare(base.size() - 4, 4, ".reg") == 0) {
        base.resize(base.size() - 4);
    }
    return base + ".lock";
}

// Splits and checks a key path: no empty component, no line breaks, no brackets.
bool NormalizePath(std::string_view path, std::string* out) {
    std::string result;
    size_t start = 0;
    std::string text(path);
    while (!text.empty() && text.front() == '\\') {
        text.erase(0, 1);
    }
    while (!text.empty() && text.back() == '\\') {
        text.pop_back();
    }
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\0' || c == '[' || c == ']') {
            return false;
        }
    }
    while (start <= text.size() && !text.empty()) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end == start) {
            return false;
        }
        if (!result.empty()) {
            result += '\\';
        }
        result.append(text, start, end - start);
        start = end + 1;
        if (end == text.size()) {
            break;
        }
    }
    *out = result;
    return true;
}

bool ValidText(std::string_view text) {
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\0') {
            return false;
        }
    }
    return true;
}

// ---- parsing ----

// Parses a quoted text starting at line[pos] == '"'; sets pos after the closing quote.
bool ParseQuoted(const std::string& line, size_t* pos, std::string* out) {
    size_t i = *pos;
    if (i >= line.size() || line[i] != '"') {
        return false;
    }
    ++i;
    out->clear();
    while (i < line.size()) {
        char c = line[i];
        if (c == '\\') {
            if (i + 1 >= line.size()) {
                return false;
            }
            char next = line[i + 1];
            if (next != '\\' && next != '"') {
                return false;
            }
            out->push_back(next);
            i += 2;
            continue;
        }
        if (c == '"') {
            *pos = i + 1;
            return true;
        }
        out->push_back(c);
        ++i;
    }
    return false;  // unterminated
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool ParseHexBytes(std::string_view text, std::vector<std::uint8_t>* bytes) {
    bytes->clear();
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
            ++i;
        }
    };
    skipBlanks();
    if (i == text.size()) {
        return true;  // empty binary value
    }
    for (;;) {
        skipBlanks();
        if (i + 2 > text.size()) {
            return false;
        }
        int hi = HexDigit(text[i]);
        int lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        bytes->push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        i += 2;
        skipBlanks();
        if (i == text.size()) {
            return true;
        }
        if (text[i] != ',') {
            return false;
        }
        ++i;
    }
}

// Parses "value part" after '='.
bool ParseValueData(const std::string& data, RegValue* value) {
    if (!data.empty() && data[0] == '"') {
        size_t pos = 0;
        if (!ParseQuoted(data, &pos, &value->text)) {
            return false;
        }
        if (pos != data.size()) {
            return false;
        }
        value->type = RegType::REG_SZ;
        return true;
    }
    if (data.rfind("dword:", 0) == 0) {
        std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) {
            return false;
        }
        std::uint32_t number = 0;
        for (char c : digits) {
            int d = HexDigit(c);
            if (d < 0) {
                return false;
            }
            number = number * 16 + static_cast<std::uint32_t>(d);
        }
        value->type = RegType::REG_DWORD;
        value->dword = number;
        return true;
    }
    if (data.rfind("hex:", 0) == 0) {
        value->type = RegType::REG_BINARY;
        return ParseHexBytes(std::string_view(data).substr(4), &value->bytes);
    }
    return false;
}

struct ParseOutcome {
    bool damaged = false;
    int firstBadLine = 0;
    std::string firstReason;
    int badLines = 0;
};

void SetValue(KeyData* key, RegValue value) {
    for (RegValue& existing : key->values) {
        if (EqualNoCase(existing.name, value.name)) {
            std::string keepName = existing.name;
            existing = std::move(value);
            existing.name = keepName;
            return;
        }
    }
    key->values.push_back(std::move(value));
}

void AddKeyWithParents(HiveData* hive, const std::string& path) {
    std::string partial;
    size_t start = 0;
    if (hive->keys.find("") == hive->keys.end()) {
        hive->keys[""] = KeyData{};
    }
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        partial = path.substr(0, end);
        std::string lower = Lower(partial);
        if (hive->keys.find(lower) == hive->keys.end()) {
            hive->keys[lower] = KeyData{partial, {}};
        }
        start = end + 1;
    }
}

// Parses the text of a hive. In lenient mode bad lines are skipped and counted;
// otherwise the first bad line ends the parse. Returns the outcome.
ParseOutcome ParseHive(const std::string& text, const char* hiveName, bool lenient,
                       HiveData* hive) {
    ParseOutcome outcome;
    hive->keys.clear();
    hive->keys[""] = KeyData{};
    auto bad = [&](int lineNumber, const char* reason) {
        if (!outcome.damaged) {
            outcome.damaged = true;
            outcome.firstBadLine = lineNumber;
            outcome.firstReason = reason;
        }
        ++outcome.badLines;
    };
    bool headerSeen = false;
    KeyData* current = nullptr;
    bool currentValid = false;  // lenient: values under a bad key line are dropped
    std::string hivePrefix = std::string(hiveName);
    size_t pos = 0;
    int lineNumber = 0;
    // Every hive written here starts with its header: a file without one,
    // even an empty file (cut short by a crash or a full disk), is damaged.
    // Only a missing file is an empty hive.
    if (text.empty()) {
        bad(1, "the file is empty");
        return outcome;
    }
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        bool lastLine = end == std::string::npos;
        if (lastLine) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        int firstLineNumber = lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        // Binary data may continue on following lines after a trailing backslash.
        while (!line.empty() && line.back() == '\\' && line.find("=hex:") != std::string::npos &&
               pos < text.size()) {
            line.pop_back();
            size_t nextEnd = text.find('\n', pos);
            if (nextEnd == std::string::npos) {
                nextEnd = text.size();
            }
            std::string next = text.substr(pos, nextEnd - pos);
            pos = nextEnd + 1;
            ++lineNumber;
            if (!next.empty() && next.back() == '\r') {
                next.pop_back();
            }
            size_t first = next.find_first_not_of(" \t");
            line += first == std::string::npos ? std::string() : next.substr(first);
        }
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) {
            continue;
        }
        if (line[first] == ';') {
            continue;
        }
        if (!headerSeen) {
            if (line == kHeader || line == kHeader4 ||
                (firstLineNumber == 1 && line.size() > 3 &&
                 line.compare(0, 3, "\xEF\xBB\xBF") == 0 && line.substr(3) == kHeader)) {
                headerSeen = true;
                continue;
            }
            bad(firstLineNumber, "the header line is missing");
            if (!lenient) {
                return outcome;
            }
            headerSeen = true;  // lenient: go on reading the rest
        }
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) {
                bad(firstLineNumber, "key line without its closing bracket");
                currentValid = false;
                if (!lenient) {
                    return outcome;
                }
                continue;
            }
            std::string full = line.substr(1, line.size() - 2);
            std::string rest;
            if (EqualNoCase(full, hivePrefix)) {
                rest.clear();
            } else if (full.size() > hivePrefix.size() + 1 &&
                       EqualNoCase(std::string_view(full).substr(0, hivePrefix.size()),
                                   hivePrefix) &&
                       full[hivePrefix.size()] == '\\') {
                rest = full.substr(hivePrefix.size() + 1);
            } else {
                bad(firstLineNumber, "key of another hive");
                currentValid = false;
                if (!lenient) {
                    return outcome;
                }
                continue;
            }
            std::string normal;
            if (!NormalizePath(rest, &normal) || normal.size() != rest.size()) {
                bad(firstLineNumber, "malformed key path");
                currentValid = false;
                if (!lenient) {
                    return outcome;
                }
                continue;
            }
            AddKeyWithParents(hive, normal);
            current = &hive->keys[Lower(normal)];
            currentValid = true;
            continue;
        }
        if (line[0] == '"' || line[0] == '@') {
            if (current == nullptr) {
                bad(firstLineNumber, "value line before any key line");
                if (!lenient) {
                    return outcome;
                }
                continue;
            }
            RegValue value;
            size_t at = 0;
            if (line[0] == '@') {
                at = 1;
            } else if (!ParseQuoted(line, &at, &value.name)) {
                bad(firstLineNumber, "malformed value name");
                if (!lenient) {
                    return outcome;
                }
                continue;
            }
            if (at >= line.size() || line[at] != '=') {
                bad(firstLineNumber, "value line without '='");
                if (!lenient) {
                    return outcome;
                }
                continue;
            }
            if (!ParseValueData(line.substr(at + 1), &value)) {
                bad(firstLineNumber, "malformed value data");
                if (!lenient) {
                    return outcome;
                }
                continue;
            }
            if (currentValid) {
                SetValue(current, std::move(value));
            }
            continue;
        }
        bad(firstLineNumber, "a line that is neither a key, a value nor a comment");
        if (!lenient) {
            return outcome;
        }
    }
    if (!headerSeen) {
        bad(lineNumber, "the header line is missing");  // only blank and comment lines
    }
    return outcome;
}

// ---- writing ----

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
    return out;
}

std::string FormatValue(const RegValue& value) {
    std::string line = value.name.empty() ? std::string("@") : Quote(value.name);
    line += '=';
    char buffer[16];
    switch (value.type) {
        case RegType::REG_SZ:
            line += Quote(value.text);
            break;
        case RegType::REG_DWORD:
            std::snprintf(buffer, sizeof buffer, "dword:%08x", value.dword);
            line += buffer;
            break;
        case RegType::REG_BINARY:
            line += "hex:";
            for (size_t i = 0; i < value.bytes.size(); ++i) {
                std::snprintf(buffer, sizeof buffer, i == 0 ? "%02x" : ",%02x", value.bytes[i]);
                line += buffer;
            }
            break;
    }
    return line;
}

std::string Serialize(const HiveData& hive, const char* hiveName) {
    std::string text = kHeader;
    text += "\n\n";
    for (const auto& [lower, key] : hive.keys) {
        if (key.path.empty() && key.values.empty()) {
            continue;  // the root is implicit
        }
        text += '[';
        text += hiveName;
        if (!key.path.empty()) {
            text += '\\';
            text += key.path;
        }
        text += "]\n";
        for (const RegValue& value : key.values) {
            text += FormatValue(value);
            text += '\n';
        }
        text += '\n';
    }
    return text;
}

std::string DamagedMessage(const std::string& file, const ParseOutcome& outcome) {
    return "registry file " + file + " is damaged at line " + std::to_string(outcome.firstBadLine) +
           " (" + outcome.firstReason +
           "); it was left as it is: repair it by hand or with RepairHive, which keeps a copy";
}

RegResult Failure(RegStatus status, std::string message) {
    return RegResult{status, std::move(message)};
}

// Reads and parses the hive file strictly. A missing file is an empty hive.
RegResult LoadHive(const std::string& file, Hive hive, HiveData* data) {
    std::string text;
    int error = ReadWholeFile(file, &text);
    if (error == ENOENT) {
        data->keys.clear();
        data->keys[""] = KeyData{};
        return {};
    }
    if (error != 0) {
        return Failure(RegStatus::REG_IO_ERROR,
                       "cannot read registry file " + file + ": " + std::strerror(error));
    }
    ParseOutcome outcome = ParseHive(text, HiveName(hive), false, data);
    if (outcome.damaged) {
        return Failure(RegStatus::REG_DAMAGED, DamagedMessage(file, outcome));
    }
    return {};
}

std::string DirectoryOf(const std::string& file) {
    return file.substr(0, file.find_last_of('/'));
}

// Runs change() on the hive under the writers' lock and saves the result.
template <typename Change>
RegResult ModifyHive(const std::string& file, Hive hive, Change change) {
    int error = MakeDirs(DirectoryOf(file));
    if (error != 0) {
        return Failure(RegStatus::REG_IO_ERROR, "cannot create the registry directory " +
                                                    DirectoryOf(file) + ": " +
                                                    std::strerror(error));
    }
    FileLock lock;
    error = lock.Lock(LockPath(file), true);
    if (error != 0) {
        return Failure(RegStatus::REG_IO_ERROR,
                       "cannot lock registry file " + file + ": " + std::strerror(error));
    }
    HiveData data;
    RegResult loaded = LoadHive(file, hive, &data);
    if (!loaded.ok()) {
        return loaded;
    }
    RegResult changed = change(&data);
    if (!changed.ok()) {
        return changed;
    }
    error = WriteFileAtomic(file, Serialize(data, HiveName(hive)));
    if (error != 0) {
        return Failure(RegStatus::REG_IO_ERROR,
                       "cannot write registry file " + file + ": " + std::strerror(error));
    }
    return {};
}

RegResult KeyNotFound(const std::string& path) {
    return Failure(RegStatus::REG_NOT_FOUND, "registry key \"" + path + "\" does not exist");
}

RegResult ValueNotFound(std::string_view name, const std::string& path) {
    return Failure(RegStatus::REG_NOT_FOUND, "registry value \"" + std::string(name) +
                                                 "\" does not exist in key \"" + path + "\"");
}

RegResult NotOpen() {
    return Failure(RegStatus::REG_INVALID_ARGUMENT, "registry key not open");
}

// Reads the hive and finds an open key's data in it (*key points into
// *data).
RegResult LoadKey(const std::string& file, Hive hive, const std::string& path, HiveData* data,
                  const KeyData** key) {
    RegResult loaded = LoadHive(file, hive, data);
    if (!loaded.ok()) {
        return loaded;
    }
    auto found = data->keys.find(Lower(path));
    if (found == data->keys.end()) {
        return KeyNotFound(path);
    }
    *key = &found->second;
    return {};
}

// Runs change() on an open key's data under the writers' lock and saves
// the hive.
template <typename Change>
RegResult ModifyKey(const std::string& file, Hive hive, const std::string& path, Change change) {
    return ModifyHive(file, hive, [&](HiveData* data) -> RegResult {
        auto found = data->keys.find(Lower(path));
        if (found == data->keys.end()) {
            return KeyNotFound(path);
        }
        return change(&found->second);
    });
}

// An open key's value that must be of one type; what names the type in
// the refusal.
RegResult ReadTyped(const RegistryKey& key, std::string_view name, RegType type, const char* what,
                    RegValue* value) {
    RegResult result = key.ReadValue(name, value);
    if (!result.ok()) {
        return result;
    }
    if (value->type != type) {
        return Failure(RegStatus::REG_WRONG_TYPE,
                       "registry value \"" + std::string(name) + "\" is not " + what);
    }
    return {};
}

}  // namespace

const char* HiveName(Hive hive) {
    switch (hive) {
        case Hive::LOCAL_MACHINE:
            return "HKEY_LOCAL_MACHINE";
        case Hive::CURRENT_USER:
            return "HKEY_CURRENT_USER";
    }
    return "HKEY_LOCAL_MACHINE";
}

std::string HiveFilePath(Hive hive) {
    return RootPath(std::string("registry/") + HiveName(hive) + ".reg");
}

RegResult RegistryKey::Open(Hive hive, std::string_view path, RegistryKey* key) {
    std::string normal;
    if (!NormalizePath(path, &normal)) {
        return Failure(RegStatus::REG_INVALID_ARGUMENT,
                       "invalid registry key path \"" + std::string(path) + "\"");
    }
    std::string file = HiveFilePath(hive);
    HiveData data;
    RegResult loaded = LoadHive(file, hive, &data);
    if (!loaded.ok()) {
        return loaded;
    }
    auto found = data.keys.find(Lower(normal));
    if (found == data.keys.end()) {
        return KeyNotFound(normal);
    }
    key->hive_ = hive;
    key->file_ = file;
    key->path_ = normal.empty() ? std::string() : found->second.path;
    key->open_ = true;
    return {};
}

RegResult RegistryKey::Create(Hive hive, std::string_view path, RegistryKey* key) {
    std::string normal;
    if (!NormalizePath(path, &normal)) {
        return Failure(RegStatus::REG_INVALID_ARGUMENT,
                       "invalid registry key path \"" + std::string(path) + "\"");
    }
    std::string file = HiveFilePath(hive);
    std::string stored = normal;
    // Creating an existing key changes nothing, so do not rewrite the file then.
    HiveData current;
    RegResult loaded = LoadHive(file, hive, &current);
    if (!loaded.ok()) {
        return loaded;
    }
    auto existing = current.keys.find(Lower(normal));
    if (existing == current.keys.end()) {
        RegResult result = ModifyHive(file, hive, [&](HiveData* data) -> RegResult {
            AddKeyWithParents(data, normal);
            stored = data->keys[Lower(normal)].path;
            return {};
        });
        if (!result.ok()) {
            return result;
        }
    } else {
        stored = existing->second.path;
    }
    key->hive_ = hive;
    key->file_ = file;
    key->path_ = stored;
    key->open_ = true;
    return {};
}

RegResult RegistryKey::DeleteKey(Hive hive, std::string_view path, bool withSubkeys) {
    std::string normal;
    if (!NormalizePath(path, &normal) || normal.empty()) {
        return Failure(RegStatus::REG_INVALID_ARGUMENT,
                       "invalid registry key path \"" + std::string(path) + "\"");
    }
    return ModifyHive(HiveFilePath(hive), hive, [&](HiveData* data) -> RegResult {
        std::string lower = Lower(normal);
        auto found = data->keys.find(lower);
        if (found == data->keys.end()) {
            return KeyNotFound(normal);
        }
        std::string prefix = lower + "\\";
        std::vector<std::string> doomed{lower};
        for (const auto& entry : data->keys) {
            if (entry.first.compare(0, prefix.size(), prefix) == 0) {
                doomed.push_back(entry.first);
            }
        }
        if (doomed.size() > 1 && !withSubkeys) {
            return Failure(RegStatus::REG_HAS_SUBKEYS,
                           "registry key \"" + normal + "\" has subkeys");
        }
        for (const std::string& name : doomed) {
            data->keys.erase(name);
        }
        return {};
    });
}

RegResult RegistryKey::ReadValue(std::string_view name, RegValue* value) const {
    if (!open_) {
        return NotOpen();
    }
    HiveData data;
    const KeyData* key = nullptr;
    RegResult loaded = LoadKey(file_, hive_, path_, &data, &key);
    if (!loaded.ok()) {
        return loaded;
    }
    for (const RegValue& candidate : key->values) {
        if (EqualNoCase(candidate.name, name)) {
            *value = candidate;
            return {};
        }
    }
    return ValueNotFound(name, path_);
}

RegResult RegistryKey::ReadString(std::string_view name, std::string* value) const {
    RegValue found;
    RegResult result = ReadTyped(*this, name, RegType::REG_SZ, "a string", &found);
    if (result.ok()) {
        *value = found.text;
    }
    return result;
}

RegResult RegistryKey::ReadDword(std::string_view name, std::uint32_t* value) const {
    RegValue found;
    RegResult result = ReadTyped(*this, name, RegType::REG_DWORD, "a dword", &found);
    if (result.ok()) {
        *value = found.dword;
    }
    return result;
}

RegResult RegistryKey::Write(const RegValue& value) {
    if (!open_) {
        return NotOpen();
    }
    if (!ValidText(value.name) || !ValidText(value.text)) {
        return Failure(RegStatus::REG_INVALID_ARGUMENT,
                       "registry names and texts may not hold line breaks or NUL");
    }
    return ModifyKey(file_, hive_, path_, [&](KeyData* key) -> RegResult {
        SetValue(key, value);
        return {};
    });
}

RegResult RegistryKey::WriteString(std::string_view name, std::string_view value) {
    RegValue v;
    v.name = name;
    v.type = RegType::REG_SZ;
    v.text = value;
    return Write(v);
}

RegResult RegistryKey::WriteDword(std::string_view name, std::uint32_t value) {
    RegValue v;
    v.name = name;
    v.type = RegType::REG_DWORD;
    v.dword = value;
    return Write(v);
}

RegResult RegistryKey::WriteBinary(std::string_view name, const std::vector<std::uint8_t>& value) {
    RegValue v;
    v.name = name;
    v.type = RegType::REG_BINARY;
    v.bytes = value;
    return Write(v);
}

RegResult RegistryKey::DeleteValue(std::string_view name) {
    if (!open_) {
        return NotOpen();
    }
    return ModifyKey(file_, hive_, path_, [&](KeyData* key) -> RegResult {
        auto& values = key->values;
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (EqualNoCase(it->name, name)) {
                values.erase(it);
                return {};
            }
        }
        return ValueNotFound(name, path_);
    });
}

RegResult RegistryKey::EnumValues(std::vector<RegValue>* values) const {
    if (!open_) {
        return NotOpen();
    }
    HiveData data;
    const KeyData* key = nullptr;
    RegResult loaded = LoadKey(file_, hive_, path_, &data, &key);
    if (!loaded.ok()) {
        return loaded;
    }
    *values = key->values;
    return {};
}

RegResult RegistryKey::EnumSubKeys(std::vector<std::string>* names) const {
    if (!open_) {
        return NotOpen();
    }
    HiveData data;
    const KeyData* key = nullptr;
    RegResult loaded = LoadKey(file_, hive_, path_, &data, &key);
    if (!loaded.ok()) {
        return loaded;
    }
    std::string lower = Lower(path_);
    std::string prefix = lower.empty() ? std::string() : lower + "\\";
    names->clear();
    for (const auto& [keyLower, key] : data.keys) {
        if (keyLower.empty() || keyLower.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        std::string rest = key.path.substr(prefix.size());
        if (rest.find('\\') == std::string::npos) {
            names->push_back(rest);
        }
    }
    std::sort(names->begin(), names->end(),
              [](const std::string& a, const std::string& b) { return Lower(a) < Lower(b); });
    return {};
}

RegResult RepairHive(Hive hive, std::string* keptCopy) {
    keptCopy->clear();
    std::string file = HiveFilePath(hive);
    int error = MakeDirs(DirectoryOf(file));
    if (error != 0) {
        return Failure(RegStatus::REG_IO_ERROR, "cannot create the registry directory: " +
                                                    std::string(std::strerror(error)));
    }
    FileLock lock;
    error = lock.Lock(LockPath(file), true);
    if (error != 0) {
        return Failure(RegStatus::REG_IO_ERROR,
                       "cannot lock registry file " + file + ": " + std::strerror(error));
    }
    std::string text;
    error = ReadWholeFile(file, &text);
    if (error == ENOENT) {
        return {};
    }
    if (error != 0) {
        return Failure(RegStatus::REG_IO_ERROR,
                       "cannot read registry file " + file + ": " + std::strerror(error));
    }
    HiveData data;
    ParseOutcome strict = ParseHive(text, HiveName(hive), false, &data);
    if (!strict.damaged) {
        return {};
    }
    ParseOutcome outcome = ParseHive(text, HiveName(hive), true, &data);
    std::string copy;
    for (int n = 1; n < 10000; ++n) {
        copy = file + ".damaged." + std::to_string(n);
        error = CopyFile(file, copy);
        if (error != EEXIST) {
            break;
        }
    }
    if (error != 0) {
        return Failure(RegStatus::REG_IO_ERROR, "cannot keep a copy of damaged registry file " +
                                                    file + ": " + std::strerror(error));
    }
    error = WriteFileAtomic(file, Serialize(data, HiveName(hive)));
    if (error != 0) {
        return Failure(RegStatus::REG_IO_ERROR,
                       "cannot write registry file " + file + ": " + std::strerror(error));
    }
    *keptCopy = copy;
    RegResult result;
    result.message = "registry file " + file + " repaired: " + std::to_string(outcome.badLines) +
                     " damaged line(s) dropped (first at line " +
                     std::to_string(outcome.firstBadLine) + ": " + outcome.firstReason +
                     "); the damaged file was kept as " + copy;
    return result;
}

}  // namespace platform
