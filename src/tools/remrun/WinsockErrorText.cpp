#include "tools/remrun/WinsockErrorText.h"

#include "tools/remrun/RemrunTexts.h"

#include <netdb.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <utility>

namespace remrun {
namespace {

// errno -> Windows Sockets code (WSABASEERR + the BSD number).
constexpr std::array<std::pair<int, int>, 23> kErrnoCodes{{
    {EINTR, 10004},       {EACCES, 10013},      {EINVAL, 10022},        {EMFILE, 10024},
    {ENFILE, 10024},      {EINPROGRESS, 10036}, {EALREADY, 10036},      {EBADF, 10038},
    {ENOTSOCK, 10038},    {EADDRINUSE, 10048},  {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
    {ENETUNREACH, 10051}, {ENETRESET, 10052},   {ECONNABORTED, 10053},  {ECONNRESET, 10054},
    {ENOBUFS, 10055},     {EISCONN, 10056},     {ENOTCONN, 10057},      {ESHUTDOWN, 10058},
    {EPIPE, 10058},       {ETIMEDOUT, 10060},   {ECONNREFUSED, 10061},
}};

constexpr std::array<std::pair<int, const char*>, 21> kCodeTexts{{
    {kReservedPortDenied,
     "Permission denied: only a privileged user may bind a reserved port (below 1024).\n"},
    {10004,
     "A blocking call was cancelled.  This can be caused by\n1) a short response time, or\n2) "
     "User interrupts the process.\n"},
    {10013, "The requested address is a broadcast address.\n"},
    {10022, "The socket is not bound to an address.\n"},
    {10024, "The maximum number of sockets has exceeded.\n"},
    {10036, "A blocking call is in progress.\n"},
    {10038, "Invalid socket descriptor.\n"},
    {10048, "The specified address is already in use.\n"},
    {10049, "The specified address is not available from\nthe local machine.\n"},
    {10050, "The network subsystem has failed.\n"},
    {10051, "Network cannot be reached from this host at this time.\n"},
    {10052, "The connection must be reset.\n"},
    {10053, "The virtual circuit was aborted due to timeout or other failure.\n"},
    {10054, "The virtual circuit was reset by the remote side.\n"},
    {10055, "No buffer space is available.\n"},
    {10056, "The socket is already connected.\n"},
    {10057, "The socket is not connected.\n"},
    {10058, "The socket has been shut down.\n"},
    {10060, "Attempt to connect timed out without establishing a connection.\n"},
    {10061, "The connection attempt was refused.\n"},
    {11001, "Authoritative Answer Host is not found.\n"},
}};

}  // namespace

int WinsockCode(int errnoValue) {
    for (const auto& [number, code] : kErrnoCodes) {
        if (number == errnoValue) {
            return code;
        }
    }
    return errnoValue;
}

int BindErrorCode(int errnoValue) {
    if (errnoValue == EACCES || errnoValue == EPERM) {
        return kReservedPortDenied;
    }
    return WinsockCode(errnoValue);
}

int ResolverCode(int getaddrinfoResult) {
    switch (getaddrinfoResult) {
        case EAI_AGAIN:
            return kWsaTryAgain;
        case EAI_FAIL:
            return kWsaNoRecovery;
#ifdef EAI_NODATA
        case EAI_NODATA:
            return kWsaNoData;
#endif
        case EAI_SYSTEM:
            return WinsockCode(errno);
        default:
            return kWsaHostNotFound;
    }
}

std::string WinsockErrorText(int code) {
    for (const auto& [number, text] : kCodeTexts) {
        if (number == code) {
            return text;
        }
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, Text(RemrunText::ERROR_NUMBER), code);
    return buffer;
}

}  // namespace remrun
