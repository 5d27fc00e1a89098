// The machine root ORU_ROOT and the mapping of Windows drive paths under it.
//
// One ORU_ROOT is one "machine": everything Windows would keep machine-wide
// (registry, event log, services database, services entries, drive paths)
// lives below it. The root is the environment variable ORU_ROOT, else
// /var/lib/strovane; a process (a test) may override it with SetRootDir.
// Every function is thread-safe; RootDir is read at each call, so a test that
// changes ORU_ROOT or calls SetRootDir moves to a new machine at once.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Default machine root when ORU_ROOT is unset or empty.
inline constexpr const char* kDefaultRootDir = "/var/lib/strovane";

// The machine root, without a trailing slash ("/" stays "/").
std::string RootDir();

// Overrides ORU_ROOT for this process; an empty text removes the override.
void SetRootDir(const std::string& dir);

// RootDir() + "/" + relative (relative has no leading slash; "" gives the root).
std::string RootPath(std::string_view relative);

// Maps a path as the Windows programs hold it to the path used here:
//   "C:\oru_log"     -> ORU_ROOT/c/oru_log       (drive letter lower case,
//   "d:/x\y"         -> ORU_ROOT/d/x/y            backslashes to slashes)
//   "/var/log/x"     -> "/var/log/x"              (absolute POSIX path as it is)
//   "rel\dir"        -> "rel/dir"                 (relative: slashes only)
// "C:" alone maps to ORU_ROOT/c. Never fails.
std::string MapDrivePath(std::string_view windowsPath);

// Creates a directory and its missing parents (mode 0755 for new ones).
// Returns 0 or the errno of the first failure.
int MakeDirs(const std::string& dir);

}  // namespace platform
