// The whole log printer, as a library call: the start-up (catalogs), the
// command line, the server-log refresh, and the printing of the catalog and
// the records. main hands it the process's arguments and streams; tests run
// it in-process.
//
// Exit codes: 0 done (also after "-?"); 1 the catalogs or the log catalog
// could not be opened, or an entry could not be read while printing the
// records; 2 a mistake on the command line; 255 an entry could not be read,
// or the chain of files is inconsistent, while listing the files.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

class StringCatalog;

namespace trail {

class TrailOutput;

struct TrailHooks {
    // Run after the command line and before the catalog is opened; the
    // server-log refresh (RefreshServerLog) when empty.
    std::function<void(StringCatalog& catalog, TrailOutput& out, TrailOutput& err)> refresh;
    // The year of times given without one; 0: the current year.
    int currentYear = 0;
};

// arguments: without the program name.
int RunTrail(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
             const TrailHooks& hooks = {});

}  // namespace trail
