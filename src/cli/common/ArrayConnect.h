// Reaching the array a command line names: the subsystem list, the lookup
// of the identifier, and the connect with its retries.
#pragma once

#include <string_view>

class DiskArray;
class OruSubsystem;
class QEN;

// The array whose alias or serial number is `id` among the subsystems the
// QEN knows (see MatchArrayId); nullptr when none is, or when the serial
// number is shared by several arrays (the set 10 text saying so is printed
// on standard error).
OruSubsystem* FindSubsystemById(QEN& qen, std::string_view id);

// Up to six connect tries, 1.5 s apart. A refusal for lack of rights
// (session status 1 or 11) ends the tries at once. nullptr when no try
// succeeded; QEN::LastStatus() then holds the last session status.
DiskArray* ConnectWithRetry(QEN& qen, OruSubsystem* subsystem);

// The subsystem list status (not good: its name and exit 3), then
// FindSubsystemById.
OruSubsystem* FindListedArray(QEN& qen, std::string_view id);

enum class ConnectTries {
    WITH_RETRIES,  // ConnectWithRetry; a failure prints the session status
    ONCE,          // QEN::Connect alone; a failure prints program message 2 alone
};

// The common steps before the first request: the list status (not good:
// its name and exit 3), the lookup (none: program message 4 and exit 2),
// the connect (none: program message 2 and exit 1). Returns the connected
// array.
DiskArray* OpenArray(QEN& qen, std::string_view id, int programIndex,
                     ConnectTries tries = ConnectTries::WITH_RETRIES);
