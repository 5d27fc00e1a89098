#include "coresys/server/net/SecureFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include "coresys/server/net/NetText.h"
#include "platform/FileOwner.h"
#include "platform/Root.h"

namespace {

bool IsPrintable(unsigned char c) {
    return c >= 0x20 && c < 0x7F;
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
