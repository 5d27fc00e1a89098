// One opened X/Open message catalog file, shared by every catalog object of
// the process that reads the same file.
//
// Open() hands out shared references: the file is opened on the first
// request for its path and closed when the last reference goes, so catalog
// objects may be created and destroyed in any order. Lookups are serialized
// by a lock of the file and copy the text out, so any number of threads may
// read one file at once.
#pragma once

#include <nl_types.h>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace catalog {

class CatalogFile {
  public:
    // The file at the absolute path, opened or shared. On failure returns
    // nullptr and sets *error to the reason: ENOENT when there is no such
    // file, EACCES when it cannot be read, EINVAL when it is not a sound
    // catalog. Thread-safe.
    static std::shared_ptr<CatalogFile> Open(const std::string& path, int* error);

    // Number of catalog files open in the process (each counted once however
    // many references it has).
    static std::size_t OpenCount();

    ~CatalogFile();
    CatalogFile(const CatalogFile&) = delete;
    CatalogFile& operator=(const CatalogFile&) = delete;

    // Copies the text (set, number) into out, at most capacity - 1 bytes and
    // a terminator (capacity > 0). Returns false, leaving out untouched, when
    // the catalog has no such text. Thread-safe.
    bool Lookup(int set, int number, char* out, std::size_t capacity) const;

    const std::string& Path() const { return path_; }

  private:
    CatalogFile(std::string path, nl_catd handle);

    std::string path_;
    nl_catd handle_;
    mutable std::mutex lock_;
};

}  // namespace catalog
