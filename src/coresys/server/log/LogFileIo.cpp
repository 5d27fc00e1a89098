#include "coresys/server/log/LogFileIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace logio {

std::size_t ReadUpTo(int fd, unsigned char* data, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            if (got == 0) {
                errno = 0;
            }
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool ReadAt(int fd, unsigned char* data, std::size_t size, std::uint64_t offset) {
    return ReadUpTo(fd, data, size, offset) == size;
}

bool WriteAt(int fd, const unsigned char* data, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        ssize_t put = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            if (put == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool IsLogFileName(const char* name) {
    if (name == nullptr || name[0] != 'L' || ::strnlen(name, 16) != 8) {
        return false;
    }
    for (int i = 1; i < 8; ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
    }
    return true;
}

void DeleteLogFile(const std::string& path) {
    ::chmod(path.c_str(), 0644);
    ::unlink(path.c_str());
}

}  // namespace logio
