#include "platform/FileOwner.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

std::string AccountHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    std::string host(name);
    std::string::size_type dot = host.find('.');
    if (dot != std::string::npos && dot > 0) {
        host.resize(dot);
    }
    return host;
}

bool AccountOfUid(std::uint32_t uid, std::string* account, int* error) {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        int rc = getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || found == nullptr) {
            *error = rc != 0 ? rc : ENOENT;
            account->clear();
            return false;
        }
        *account = AccountHostName() + "\\" + found->pw_name;
        *error = 0;
        return true;
    }
}

FileOwnerResult LookupFileOwner(const std::string& path) {
    FileOwnerResult result;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        result.status = OwnerStatus::OWNER_READ_FAILED;
        result.error = errno;
        return result;
    }
    result.uid = static_cast<std::uint32_t>(st.st_uid);
    if (!AccountOfUid(result.uid, &result.account, &result.error)) {
        result.status = OwnerStatus::ACCOUNT_LOOKUP_FAILED;
        return result;
    }
    result.status = OwnerStatus::OWNER_OK;
    return result;
}

}  // namespace platform
