// The requests as the command-line programs name and follow them: one row
// per request code with its name and argument count, the arguments as the
// progress lines print them, the time-out of the wait and the reply kind a
// request must end with.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>

struct CommandDescriptor {
    std::int32_t code;
    const char* name;
    std::int32_t argumentCount;
};

// The rows in their fixed order, closed by the end row {0, "", 0}. Codes
// 18, 42, 45, 46 and 50 have no row.
extern const CommandDescriptor CommandDescriptorTable[];

// The first row whose code matches, or nullptr when the end row comes first.
const CommandDescriptor* FindCommandDescriptor(std::uint32_t code);

// How an argument of a request is printed.
enum ARGUMENT_KIND : std::int32_t {
    ARG_BOOLEAN = 1,    // catalog words for non-zero and zero
    ARG_ALLOWANCE = 2,  // data-loss allowance of a drive down: 0, 1, 2
    ARG_DECIMAL = 3,
    ARG_HEX = 4,
};

struct CommandArgument {
    std::int32_t kind = ARG_DECIMAL;
    std::int32_t value = 0;
};

// Seconds the wait for a reply allows without any message of the request;
// every progress message of the request starts the count again. Requests
// that run silently for long in the service (format, restart, primary
// controller, delete of a unit) get time-outs that cover their run.
unsigned CommandTimeoutSeconds(std::uint32_t code);

// Whether a final reply of this kind is the success of the request: code 10
// wants performance metrics, 11 recommendations, 12 a state, 14..16 a
// buffer, 13, 41, 45, 46 and codes above 56 take any kind, 0 none, every
// other code up to 56 the plain ok reply.
bool IsExpectedReplyKind(std::uint32_t code, std::uint32_t kind);

// One progress line on out: "<name>(<arguments>) <status text>", or for a
// code without a row the catalog's "command <code>" and the status text.
// Only as many arguments are printed as the row names and the caller gave.
void PrintCommandProgress(std::uint32_t code, std::uint32_t status,
                          std::span<const CommandArgument> arguments, std::ostream& out);
