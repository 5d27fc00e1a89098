#include "sim/BlockStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/Root.h"

namespace sim {

namespace {

constexpr std::uint32_t kBlock = 512;

bool AllZero(const std::uint8_t* p, std::size_t n) {
    return std::all_of(p, p + n, [](std::uint8_t x) { return x == 0; });
}

}  // namespace

// One block file, opened when it is first needed. A file that does not
// exist reads as zeros; the first write that is not all zeros makes it, of
// the medium's size, sparse.
class BlockStore::File {
  public:
    File(std::string dir, std::string path, std::uint64_t bytes)
        : dir_(std::move(dir)), path_(std::move(path)), bytes_(bytes) {}
    ~File() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // The descriptor, or -1 with *error 0 when the file does not exist and
    // create is false, or -1 with *error an errno.
    int Open(bool create, int* error) {
        std::lock_guard<std::mutex> lock(mutex_);
        *error = 0;
        if (fd_ >= 0)
            return fd_;
        int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && create) {
            const int rc = platform::MakeDirs(dir_);
            if (rc != 0) {
                *error = rc;
                return -1;
            }
            fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        }
        if (fd < 0) {
            *error = errno == ENOENT && !create ? 0 : errno;
            return -1;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 ||
            (std::uint64_t(st.st_size) != bytes_ && ::ftruncate(fd, off_t(bytes_)) != 0)) {
            *error = errno;
            ::close(fd);
            return -1;
        }
        fd_ = fd;
        return fd_;
    }

    std::uint64_t Bytes() const { return bytes_; }

  private:
    std::mutex mutex_;
    std::string dir_;
    std::string path_;
    std::uint64_t bytes_;
    int fd_ = -1;
};

bool BlockStore::PlainFileName(const std::string& name) {
    if (name.size() < 5 || name.size() > 64 || name[0] == '.' ||
        name.compare(name.size() - 4, 4, ".blk") != 0) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_' || c == '.';
    });
}

bool BlockStore::Read(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) const {
    const std::size_t bytes = std::size_t(count) * kBlock;
    std::memset(out, 0, bytes);
    if (!file_) {
        for (std::uint32_t i = 0; i < count; ++i) {
            auto it = memory_.find(lba + i);
            if (it != memory_.end())
                std::copy(it->second.begin(), it->second.end(), out + std::size_t(i) * kBlock);
        }
        return true;
    }
    int error = 0;
    const int fd = file_->Open(false, &error);
    if (fd < 0)
        return error == 0;
    std::size_t done = 0;
    const off_t at = off_t(std::uint64_t(lba) * kBlock);
    while (done < bytes) {
        const ssize_t n = ::pread(fd, out + done, bytes - done, at + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;  // past the end: zeros
        done += std::size_t(n);
    }
    return true;
}

bool BlockStore::Write(std::uint32_t lba, std::uint32_t count, const std::uint8_t* data) {
    const std::size_t bytes = std::size_t(count) * kBlock;
    if (!file_) {
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* b = data + std::size_t(i) * kBlock;
            if (AllZero(b, kBlock)) {
                memory_.erase(lba + i);
            } else {
                memory_[lba + i].assign(b, b + kBlock);
            }
        }
        return true;
    }
    const bool zeros = AllZero(data, bytes);
    int error = 0;
    const int fd = file_->Open(!zeros, &error);
    if (fd < 0)
        return error == 0;  // zeros onto a file never made: nothing to do
    const off_t at = off_t(std::uint64_t(lba) * kBlock);
    if (zeros &&
        ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, at, off_t(bytes)) == 0) {
        return true;
    }
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::pwrite(fd, data + done, bytes - done, at + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

bool BlockStore::Clear() {
    memory_.clear();
    if (!file_)
        return true;
    int error = 0;
    const int fd = file_->Open(false, &error);
    if (fd < 0)
        return error == 0;
    return ::ftruncate(fd, 0) == 0 && ::ftruncate(fd, off_t(file_->Bytes())) == 0;
}

bool BlockStore::Empty() const {
    if (!file_)
        return memory_.empty();
    int error = 0;
    const int fd = file_->Open(false, &error);
    if (fd < 0)
        return true;
    return ::lseek(fd, 0, SEEK_DATA) < 0;
}

std::vector<std::uint8_t> BlockStore::Block(std::uint32_t lba) const {
    std::vector<std::uint8_t> b(kBlock, 0);
    Read(lba, 1, b.data());
    return b;
}

int BlockStore::Bind(const std::string& dir, std::uint32_t blocks) {
    auto file = std::make_shared<File>(dir, dir + "/" + name_, std::uint64_t(blocks) * kBlock);
    if (!memory_.empty()) {
        int error = 0;
        const int fd = file->Open(true, &error);
        if (fd < 0)
            return error != 0 ? error : EIO;
        for (const auto& [lba, block] : memory_) {
            if (block.size() != kBlock || std::uint64_t(lba) >= blocks)
                continue;
            if (::pwrite(fd, block.data(), kBlock, off_t(std::uint64_t(lba) * kBlock)) !=
                ssize_t(kBlock)) {
                return errno != 0 ? errno : EIO;
            }
        }
    }
    file_ = std::move(file);
    memory_.clear();
    return 0;
}

}  // namespace sim
