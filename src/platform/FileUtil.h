// Small file helpers shared by the platform layers: whole-file reads, atomic
// rewrites and flock(2) locks between processes.
//
// WriteFileAtomic never leaves a half-written file: the new content goes to a
// temporary file in the same directory, is fsync'ed, renamed over the target,
// and the directory is fsync'ed; a reader sees the old or the new content.
// All functions return 0 or an errno value and are thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Reads the whole file into *content. ENOENT when it does not exist.
int ReadWholeFile(const std::string& path, std::string* content);

// What ReadSizedFile made of a file.
enum class SizedRead {
    kRead,        // *bytes holds the whole file
    kNotOpened,   // it does not exist or cannot be opened (*error tells)
    kNotRegular,  // a device, a FIFO, a directory...: never opened
    kOutOfRange,  // a regular file whose size lies outside the bounds: nothing read
    kNotRead,     // reading failed (*error tells) or the file shrank meanwhile
};

// Reads a regular file whose size lies within minBytes..maxBytes whole into
// *bytes. What is no regular file, or is larger or smaller than that, is
// refused before a byte of it is read, so neither an endless device nor a
// huge file is ever taken in. error (when given) gets the errno of a failed
// open or read, fileSize (when given) the size of a regular file.
SizedRead ReadSizedFile(const std::string& path, std::uint64_t minBytes, std::uint64_t maxBytes,
                        std::vector<std::uint8_t>* bytes, int* error = nullptr,
                        std::uint64_t* fileSize = nullptr);

// Atomically replaces (or creates) path with content, file mode `mode`.
int WriteFileAtomic(const std::string& path, const std::string& content, unsigned mode = 0644);

// Copies a file byte for byte to a new file (fails with EEXIST if `to` exists).
int CopyFile(const std::string& from, const std::string& to);

// An flock(2) lock on a lock file (created when missing), released by the
// destructor. Locks are per open file description: two FileLocks on the same
// file in one process exclude each other too.
class FileLock {
  public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Blocks until the lock is held; returns 0 or errno.
    int Lock(const std::string& path, bool exclusive);
    void Unlock();
    bool Held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

}  // namespace platform
