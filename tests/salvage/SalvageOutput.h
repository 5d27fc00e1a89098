// Reading dksalvage's output in the pseudo language, where every catalog
// text starts with "[<set>.<number>] ".
#pragma once

#include <string>
#include <vector>

namespace salvagetest {

// "[set.number]", the mark of a catalog text.
std::string Mark(int set, int number);
// How often what occurs in text.
std::size_t Count(const std::string& text, const std::string& what);
// The values of the progress lines, in order.
std::vector<int> Progress(const std::string& out);
// Nonempty, each value above the one before.
bool Rising(const std::vector<int>& values);
// The CDBs (hex) of a path's command trace as strovsim gives it
// ("op=.. cdb=.. status=.." per line), oldest first.
std::vector<std::string> TracedCdbs(const std::string& trace);

}  // namespace salvagetest
