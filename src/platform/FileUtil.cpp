#include "platform/FileUtil.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace platform {
namespace {

int WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

std::string DirectoryOf(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int ReadWholeFile(const std::string& path, std::string* content) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    content->clear();
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            int error = errno;
            ::close(fd);
            return error;
        }
        if (n == 0) {
            break;
        }
        content->append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return 0;
}

SizedRead ReadSizedFile(const std::string& path, std::uint64_t minBytes, std::uint64_t maxBytes,
                        std::vector<std::uint8_t>* bytes, int* error, std::uint64_t* fileSize) {
    int ignored = 0;
    int& why = error != nullptr ? *error : ignored;
    why = 0;
    std::uint64_t ignoredSize = 0;
    std::uint64_t& size = fileSize != nullptr ? *fileSize : ignoredSize;
    size = 0;
    bytes->clear();
    // A look before the open: opening a device or a FIFO may block or act.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        why = errno;
        return SizedRead::kNotOpened;
    }
    if (!S_ISREG(st.st_mode))
        return SizedRead::kNotRegular;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = errno;
        return SizedRead::kNotOpened;
    }
    // The file opened is the one judged (the name may have changed hands).
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return SizedRead::kNotRegular;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    if (size < minBytes || size > maxBytes) {
        ::close(fd);
        return SizedRead::kOutOfRange;
    }
    bytes->resize(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < bytes->size()) {
        const ssize_t n = ::read(fd, bytes->data() + got, bytes->size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            why = errno;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got != bytes->size()) {
        bytes->clear();
        return SizedRead::kNotRead;
    }
    return SizedRead::kRead;
}

int WriteFileAtomic(const std::string& path, const std::string& content, unsigned mode) {
    static std::atomic<unsigned> counter{0};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".tmp.%ld.%u", static_cast<long>(::getpid()),
                  counter.fetch_add(1));
    std::string temp = path + suffix;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        return errno;
    }
    int error = WriteAll(fd, content.data(), content.size());
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

int CopyFile(const std::string& from, const std::string& to) {
    std::string content;
    int error = ReadWholeFile(from, &content);
    if (error != 0) {
        return error;
    }
    int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return errno;
    }
    error = WriteAll(fd, content.data(), content.size());
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    ::close(fd);
    if (error != 0) {
        ::unlink(to.c_str());
    }
    return error;
}

FileLock::~FileLock() {
    Unlock();
}

int FileLock::Lock(const std::string& path, bool exclusive) {
    Unlock();
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return errno;
    }
    while (::flock(fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
        if (errno != EINTR) {
            int error = errno;
            ::close(fd);
            return error;
        }
    }
    fd_ = fd;
    return 0;
}

void FileLock::Unlock() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the description releases the flock
        fd_ = -1;
    }
}

}  // namespace platform
