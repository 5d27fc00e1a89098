// Parsers of switch values shared by the command-line programs.
//
// A switch value is attached when the switch argument is longer than two
// characters (the value starts at its third character); otherwise it is the
// next argument, and the index is advanced to it. Every malformed value ends
// in the usage exit (usage lines, exit code 2), after the message the parser
// names. The *Text functions only judge a text and print nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The value of a switch: attached (argv[index] is longer than two
// characters) or the next argument, to which the index then advances. No next
// argument is the usage exit.
const char* GetSwitchValue(char** argv, int& index, int argc);

// Program message 5 (unknown or malformed switch), the argument in double
// quotes and a new line, then the usage exit.
[[noreturn]] void ExitWithBadSwitch(const char* argument, int programIndex);

// Program message 0 (a value out of its range), a new line and the usage
// exit.
[[noreturn]] void ExitOutOfRange(int programIndex);

// The frame every program's command line shares: "-?" as any argument
// prints the help (help) and ends with exit code 0; fewer than `least`
// arguments is the usage exit. Returns the last argument, the array
// identifier.
const char* CommandLineFrame(int argc, char** argv, int least, void (*help)());

// The array identifier of a program that takes it as it stands: it must
// begin with a letter, a digit, '.', '/' or '~'; otherwise the usage exit.
void CheckArrayIdStart(const char* id);

// The value of a decimal text: leading '0' characters are skipped (the last
// character is always kept), every other character must be a digit, and the
// value must not exceed 2147483647. An empty text is no number. The value is
// accumulated in 64 bits and the scan stops as soon as it is too large, so a
// digit string of any length is safe.
bool ParseDecimalText(std::string_view text, std::int32_t& value);

// ParseDecimalText, or on failure: program message 1 without prefix, the
// value (from its first character after the skipped zeros) in double quotes
// and a new line, then the usage exit.
std::int32_t ParseDecimalArg(const char* text);

// The attached or next value of argv[index], read by ParseDecimalArg.
std::int32_t GetNumericSwitchArg(char** argv, int& index, int argc);

// The attached or next value compared with two keywords regardless of
// letter case: 1 for the first, 0 for the second. An argument holding the
// value that is longer than 19 characters, or a value matching neither
// keyword, is the usage exit.
int ParseKeywordSwitchArg(char** argv, int& index, int argc, const char* first, const char* second);

// The switch must be exactly requiredLength characters; otherwise program
// message 5 with the switch in double quotes, a new line and the usage exit.
void CheckSwitchLength(const char* switchText, int programIndex, std::size_t requiredLength = 2);

// A drive slot "A<row>" or "B<row>" (either case): 2 x (row - 1), plus 1 for
// 'B'. Row 0 gives -2 or -1 and a huge row INT32_MAX; callers check the
// range of slots they accept. Returns false for any other text.
bool ParseDriveIdText(std::string_view text, std::int32_t& slot);

// The attached or next value read by ParseDriveIdText; anything else is the
// usage exit.
std::int32_t ParseDriveIdSwitchArg(char** argv, int& index, int argc);

// Whether the slot is one of the array's drive slots (A1 to B6).
bool IsDriveSlot(std::int32_t slot);

// ParseDriveIdSwitchArg for a slot of the array: any other slot is the
// out-of-range exit of the program.
std::int32_t ParseSlotSwitchArg(char** argv, int& index, int argc, int programIndex);

// A non-negative real number of digits and at most one '.': leading '0'
// characters are skipped unless a '.' follows, trailing '0' characters after
// the point are cut, and what is left must hold a digit and be at most 33
// characters long.
bool ParseRealText(std::string_view text, double& value);

// The attached or next value read by ParseRealText; on failure program
// message 1 without prefix, the value in double quotes, a new line and the
// usage exit.
double ParseRealSwitchArg(char** argv, int& index, int argc);

// The "-E n" value: a GetNumericSwitchArg value in 0..4, else program message
// 0 and the usage exit.
std::int32_t GetExitLevelSwitchArg(char** argv, int& index, int argc, int programIndex);

// The -E exit: program message 7 and a new line on standard output, then the
// process ends with exitLevel, before any server is contacted.
[[noreturn]] void ExitWithLevel(std::int32_t exitLevel, int programIndex);
