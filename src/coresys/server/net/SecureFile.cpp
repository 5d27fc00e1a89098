#include "coresys/server/net/SecureFile.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <vector>

#include "coresys/server/net/NetText.h"
#include "platform/FileOwner.h"
#include "platform/Root.h"

namespace {

bool IsPrintable(unsigned char c) {
    return c >= 0x20 && c < 0x7F;
}

bool AllDigits(const std::string& text, std::size_t most) {
    if (text.empty() || text.size() > most) {
        return false;
    }
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// The dot-separated fields of a name.
std::vector<std::string> Fields(const std::string& name) {
    std::vector<std::string> fields(1);
    for (char c : name) {
        if (c == '.') {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

// Whether the last fields of a name, from `first` on, are "local" or a
// dotted IPv4 address, and then a port: the tail of every secure file name.
bool SecureTail(const std::vector<std::string>& fields, std::size_t first) {
    if (first + 1 >= fields.size() || !AllDigits(fields.back(), 5)) {
        return false;
    }
    const std::size_t peerFields = fields.size() - first - 1;
    if (peerFields == 1) {
        return fields[first] == "local";
    }
    if (peerFields != 4) {
        return false;
    }
    for (std::size_t i = first; i < first + 4; ++i) {
        if (!AllDigits(fields[i], 3)) {
            return false;
        }
    }
    return true;
}

// A secure file's name in the administration directory itself: a serial of
// one to twelve characters before the tail.
bool SecureFileName(const std::string& name) {
    const std::vector<std::string> fields = Fields(name);
    for (std::size_t tail :
         {fields.size() >= 2 ? fields.size() - 2 : 0, fields.size() >= 5 ? fields.size() - 5 : 0}) {
        if (tail == 0 || !SecureTail(fields, tail)) {
            continue;
        }
        std::size_t serialLength = tail - 1;  // the dots between its fields
        for (std::size_t i = 0; i < tail; ++i) {
            serialLength += fields[i].size();
        }
        if (serialLength >= 1 && serialLength <= SecureFile::kSerialField - 1) {
            return true;
        }
    }
    return false;
}

// Removes the regular files of dir whose names `matches` accepts, and those
// with a secure file's tail for a name in the subdirectories that
// `descendInto` accepts (one level; links are never followed).
int RemoveMatching(const std::string& dir, bool (*matches)(const std::string&),
                   bool (*descendInto)(const std::string&)) {
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr) {
        return 0;
    }
    int removed = 0;
    std::vector<std::string> subdirectories;
    while (dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = dir + "/" + name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            continue;
        }
        if (S_ISREG(info.st_mode) && matches(name) && ::unlink(path.c_str()) == 0) {
            ++removed;
        } else if (S_ISDIR(info.st_mode) && descendInto != nullptr && descendInto(name)) {
            subdirectories.push_back(path);
        }
    }
    ::closedir(listing);
    for (const std::string& sub : subdirectories) {
        removed += RemoveMatching(
            sub, [](const std::string& name) { return SecureTail(Fields(name), 0); }, nullptr);
    }
    return removed;
}

}  // namespace

bool SecureFile::ValidSerial(const unsigned char* bytes, std::size_t length, std::string* serial) {
    serial->clear();
    if (bytes == nullptr) {
        return false;
    }
    std::size_t limit = length < kSerialField ? length : kSerialField;
    std::size_t end = 0;
    while (end < limit && bytes[end] != 0) {
        ++end;
    }
    bool printable = true;
    for (std::size_t i = 0; i < end; ++i) {
        if (IsPrintable(bytes[i])) {
            serial->push_back(static_cast<char>(bytes[i]));
        } else {
            printable = false;
        }
    }
    if (end == limit || end == 0 || end > kSerialField - 1 || !printable) {
        return false;
    }
    if (serial->find_first_of("/\\:") != std::string::npos) {
        return false;
    }
    if (serial->find("..") != std::string::npos) {
        return false;
    }
    return true;
}

std::string SecureFile::ReportText(const unsigned char* bytes, std::size_t length) {
    std::string text;
    std::size_t limit = length < kSerialField - 1 ? length : kSerialField - 1;
    for (std::size_t i = 0; i < limit && bytes != nullptr && bytes[i] != 0; ++i) {
        text.push_back(IsPrintable(bytes[i]) ? static_cast<char>(bytes[i]) : '?');
    }
    return text;
}

std::string SecureFile::Prefix(const std::string& administrationPath) {
    std::string prefix = administrationPath;
    if (prefix.empty() || prefix.back() != '\\') {
        prefix += '\\';
    }
    return prefix;
}

bool SecureFile::SerialDirectoryExists(const std::string& prefix, const std::string& serial) {
    struct stat info {};
    std::string path = platform::MapDrivePath(prefix + serial);
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string SecureFile::BuildName(const std::string& administrationPath, const std::string& serial,
                                  bool local, const std::string& peerAddress, unsigned port) {
    std::string name = Prefix(administrationPath) + serial;
    name += SerialDirectoryExists(Prefix(administrationPath), serial) ? "\\" : ".";
    name += local ? std::string("local") : peerAddress;
    name += "." + std::to_string(port);
    return platform::MapDrivePath(name);
}

bool SecureFile::Present(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

SecureFile::Proof SecureFile::Check(const std::string& path, std::int64_t acceptedWallMs) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Proof::ABSENT;
    }
    const std::int64_t changedMs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000 +
                                   static_cast<std::int64_t>(info.st_mtim.tv_nsec / 1000000);
    const bool near =
        changedMs >= acceptedWallMs - kStaleSlackMs && changedMs <= acceptedWallMs + kStaleSlackMs;
    return near ? Proof::PRESENT : Proof::STALE;
}

int SecureFile::RemoveLeftovers(const std::string& administrationPath) {
    std::string dir = platform::MapDrivePath(administrationPath);
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    // Per-serial directories are named by a serial: a plain name.
    return RemoveMatching(dir, SecureFileName, [](const std::string& name) {
        return name.size() < kSerialField && name.find("..") == std::string::npos;
    });
}

std::string SecureFile::OwnerText(const std::string& path) {
    platform::FileOwnerResult owner = platform::LookupFileOwner(path);
    switch (owner.status) {
        case platform::OwnerStatus::OWNER_OK:
            return owner.account;
        case platform::OwnerStatus::ACCOUNT_LOOKUP_FAILED:
            return NetText(NET_TEXT_SID_LOOKUP_FAILED, owner.error);
        case platform::OwnerStatus::OWNER_READ_FAILED:
            break;
    }
    return std::string();
}

bool SecureFile::Remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool SecureFile::WorldWritable(const std::string& administrationPath) {
    struct stat info {};
    std::string path = platform::MapDrivePath(administrationPath);
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    return (info.st_mode & S_IWOTH) != 0 && (info.st_mode & S_ISVTX) == 0;
}
