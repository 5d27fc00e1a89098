// File access shared by the log's catalog, writer and readers: whole
// transfers at an offset (retried on interruption, short only at a failure
// or the end of the file), the one form of name a log file may have, and
// the deletion of a log file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace logio {

// Reads up to size bytes at offset and returns how many came; when fewer
// came, errno says why (0: the end of the file).
std::size_t ReadUpTo(int fd, unsigned char* data, std::size_t size, std::uint64_t offset);
// Reads size bytes at offset; false (errno set, or 0 at the end of the
// file) when fewer arrived.
bool ReadAt(int fd, unsigned char* data, std::size_t size, std::uint64_t offset);
// Writes size bytes at offset; false (errno set) when not all were written.
bool WriteAt(int fd, const unsigned char* data, std::size_t size, std::uint64_t offset);

// "L" and seven digits: only such names are log files. A damaged catalog
// entry must never make the log open or delete anything else.
bool IsLogFileName(const char* name);

// Log files are created read-only; deleting one makes it writable first.
void DeleteLogFile(const std::string& path);

}  // namespace logio
