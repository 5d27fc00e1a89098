// Socket failures in the Windows Sockets numbering remrun reports them in.
//
// WinsockCode maps an errno of a socket call to that numbering (other values
// pass through unchanged, so an unknown failure still shows its number);
// ResolverCode does the same for a getaddrinfo result. WinsockErrorText gives
// the reported text of a code: the table's text, or "<code>.\n".
#pragma once

#include <string>

namespace remrun {

inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaTryAgain = 11002;
inline constexpr int kWsaNoRecovery = 11003;
inline constexpr int kWsaNoData = 11004;
// Ours: a reserved port refused for want of privilege. On Windows any user
// may bind one; here only root (or CAP_NET_BIND_SERVICE) may, and the
// broadcast text of 10013 would send the user looking in the wrong place.
inline constexpr int kReservedPortDenied = -13;

int WinsockCode(int errnoValue);
// As WinsockCode, for a failed bind of a reserved port.
int BindErrorCode(int errnoValue);
int ResolverCode(int getaddrinfoResult);
std::string WinsockErrorText(int code);

}  // namespace remrun
