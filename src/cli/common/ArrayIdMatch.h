// Finding an array by the identifier given on a command line: its alias or
// its serial number, when it names no other array either way.
#pragma once

#include <cstddef>
#include <optional>
#include <ostream>
#include <span>
#include <string_view>

// What the lookup needs of one listed array: the alias and serial fields as
// received (not necessarily terminated within their width).
struct ArrayIdEntry {
    std::string_view alias;
    std::string_view serial;
};

enum class ArrayIdResult { FOUND, NOT_FOUND, AMBIGUOUS };

struct ArrayIdMatch {
    ArrayIdResult result = ArrayIdResult::NOT_FOUND;
    std::size_t index = 0;  // of the entry found
    bool byAlias = false;   // an alias was among the matches
};

// The identifier matches an entry
// - by alias: the alias equals the identifier, trailing blanks removed on
//   both sides (the service keeps aliases blank-padded), letter case as
//   stored; an empty alias matches nothing;
// - by serial number: the identifier cut to 12 characters or blank-padded
//   to 12 equals the 12 characters of the serial number.
// One matching entry is the answer. Two or more, whichever way each
// matches (two aliases, two serial numbers, the alias of one and the serial
// number of another), make the identifier ambiguous: it names no array, as
// acting on the wrong one cannot be undone.
ArrayIdMatch MatchArrayId(std::string_view id, std::span<const ArrayIdEntry> entries);

// MatchArrayId; an ambiguous identifier prints the set 10 text that says so
// on out (item 40 when only serial numbers matched, item 41 when an alias
// was among the matches). Returns the index of the array found.
std::optional<std::size_t> FindArrayById(std::string_view id, std::span<const ArrayIdEntry> entries,
                                         std::ostream& out);
