// File owner and account lookup: the account that owns a file, as the text
// "HOST\login" (HOST the short host name of this machine, "localhost" when it
// cannot be read).
//
// The file is examined with lstat(2) and never followed through a symbolic
// link: a link reports the link's own owner. The account is found with
// getpwuid_r. Thread-safe.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class OwnerStatus {
    OWNER_OK,
    OWNER_READ_FAILED,      // lstat failed: `error` is its errno
    ACCOUNT_LOOKUP_FAILED,  // no account for the uid: `error` is getpwuid_r's
                            // errno, or ENOENT when the uid has no entry
};

struct FileOwnerResult {
    OwnerStatus status = OwnerStatus::OWNER_READ_FAILED;
    int error = 0;
    std::uint32_t uid = 0;  // valid unless OWNER_READ_FAILED
    std::string account;    // "HOST\login" when OWNER_OK, else ""
};

FileOwnerResult LookupFileOwner(const std::string& path);

// "HOST\login" of a uid; false (error set) when the uid has no account.
bool AccountOfUid(std::uint32_t uid, std::string* account, int* error);

// The host part of account texts.
std::string AccountHostName();

}  // namespace platform
