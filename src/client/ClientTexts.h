// The texts the client library writes: trace lines (shown only when tracing
// is on) and the one line it writes to standard error. One table, so the
// wording lives in one place.
#pragma once

struct ClientTexts {
    static constexpr const char* kRemovingSecureFile = "Removing secureFile - %s";
    static constexpr const char* kUnrecognizedRelease = "Unrecognized SSList Release - %s";
    static constexpr const char* kDuplicateSerial = "Duplicate Serial Number:%s";
    static constexpr const char* kRescanFailed = "Rescan Failed \n";
    static constexpr const char* kRescanSystemError = "OruSubsystemList::Rescan %s, errno:%d\n";
    static constexpr const char* kRescanSocketCall = "socket";
    static constexpr const char* kNotImplemented = "Not implemented %x, user:%s, password:%s\n";
    // Stands for the password in the trace line above: a secret never goes to a log.
    static constexpr const char* kPasswordWithheld = "********";
    static constexpr const char* kDefaultRemoteShell = "rsh";
};
