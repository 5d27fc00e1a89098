#include "catalog/CatalogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "catalog/CatalogTexts.h"

namespace catalog {

namespace {

// The process-wide table of open files, keyed by path. It holds weak
// references only: a file lives exactly as long as some catalog object uses it.
std::mutex& TableLock() {
    static std::mutex lock;
    return lock;
}

std::map<std::string, std::weak_ptr<CatalogFile>>& Table() {
    static auto* table = new std::map<std::string, std::weak_ptr<CatalogFile>>;
    return *table;
}

// A compiled catalog ends with the terminator of its last text. The reader
// maps the file and copies texts up to their terminator, so a file cut short
// or overwritten at the end would let a lookup run past the mapping; such a
// file is refused before it is ever opened.
int CheckCatalogFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    int result = 0;
    struct stat st {};
    char last = 1;
    if (::fstat(fd, &st) != 0) {
        result = errno;
    } else if (!S_ISREG(st.st_mode) || st.st_size < 16 ||
               ::pread(fd, &last, 1, st.st_size - 1) != 1 || last != '\0') {
        result = EINVAL;
    }
    ::close(fd);
    return result;
}

}  // namespace

CatalogFile::CatalogFile(std::string path, nl_catd handle)
    : path_(std::move(path)), handle_(handle) {}

CatalogFile::~CatalogFile() {
    if (::catclose(handle_) != 0) {
        // Nothing is lost: the catalog was only read.
        std::fprintf(stderr, CatalogTexts::kCloseFailed, errno);
    }
}

std::shared_ptr<CatalogFile> CatalogFile::Open(const std::string& path, int* error) {
    std::lock_guard<std::mutex> guard(TableLock());
    auto& table = Table();
    auto found = table.find(path);
    if (found != table.end()) {
        if (std::shared_ptr<CatalogFile> shared = found->second.lock()) {
            return shared;
        }
        table.erase(found);
    }
    int check = CheckCatalogFile(path);
    if (check != 0) {
        *error = check;
        return nullptr;
    }
    errno = 0;
    nl_catd handle = ::catopen(path.c_str(), 0);
    if (handle == reinterpret_cast<nl_catd>(-1)) {
        *error = errno != 0 ? errno : EINVAL;
        return nullptr;
    }
    // The deleter takes the table lock, so a file is never closed while
    // another thread is handing out a new reference to it.
    std::shared_ptr<CatalogFile> file(new CatalogFile(path, handle), [](CatalogFile* f) {
        std::lock_guard<std::mutex> guard(TableLock());
        auto& t = Table();
        auto it = t.find(f->Path());
        if (it != t.end() && it->second.expired()) {
            t.erase(it);
        }
        delete f;
    });
    table[path] = file;
    *error = 0;
    return file;
}

std::size_t CatalogFile::OpenCount() {
    std::lock_guard<std::mutex> guard(TableLock());
    std::size_t count = 0;
    for (const auto& entry : Table()) {
        if (!entry.second.expired()) {
            ++count;
        }
    }
    return count;
}

bool CatalogFile::Lookup(int set, int number, char* out, std::size_t capacity) const {
    if (capacity == 0 || set < 1 || number < 1) {
        return false;
    }
    // catgets hands back the default pointer itself when there is no text,
    // which tells "missing" from any text, even an empty one.
    static char missing[] = "";
    std::lock_guard<std::mutex> guard(lock_);
    const char* text = ::catgets(handle_, set, number, missing);
    if (text == missing || text == nullptr) {
        return false;
    }
    std::size_t length = ::strnlen(text, capacity - 1);
    std::memcpy(out, text, length);
    out[length] = '\0';
    return true;
}

}  // namespace catalog
