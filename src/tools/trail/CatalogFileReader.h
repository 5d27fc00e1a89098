// A reader of indexed catalog files (".cat"): a text header, an index of
// (set, number) keys, then the texts as raw bytes. The log printer's texts
// come from the message catalogs; this reader belongs to the program's
// support code, for texts kept in such files.
//
// File layout (read in binary mode):
//   line 1   the entry count N (at least 1)
//   line 2   a number the reader does not use
//   N lines  "set number offset length", ascending by set, then number;
//            each at most 59 bytes with its line end
//   texts    from the byte after the last index line (the text start); an
//            entry's text is `length` bytes (its low 16 bits) at text start
//            + offset
// Blank lines may stand between the header numbers and the index.
//
// One catalog file per process, used from one thread at a time. Operations
// answer 0 or one of the codes below; the number an error report shows is
// -code - 57344.
#pragma once

#include <cstdint>
#include <string>

namespace trail {

enum CATALOG_FILE_RESULT : std::int32_t {
    CF_OK = 0,
    CF_CANNOT_OPEN = -57345,
    CF_BAD_HEADER = -57346,  // also an index line without its four numbers
    CF_NO_TEXT_START = -57347,
    CF_NO_INDEX_MEMORY = -57348,
    CF_TEXT_UNREADABLE = -57349,
    CF_CANNOT_POSITION = -57350,
    CF_NO_SUCH_ENTRY = -57351,
    CF_NO_MEMORY = -102401,
};

// The name OpenDefaultCatalogFile uses (initially "vxraidcl.cat"). A name of
// more than 70 characters is refused: the name stays as it was.
void SetCatalogFileName(const char* name);
// The catalog name relative to the current directory; when that fails, the
// same name in the machine's "\usr\lib\" (C:\usr\lib, mapped below ORU_ROOT).
std::int32_t OpenDefaultCatalogFile();
// Opens name, with ".cat" appended when the name holds no ".cat", and reads
// its index. On success the file stays open for lookups and replaces the
// one before; a failure leaves the one before as it was.
std::int32_t OpenCatalogFile(const char* name);
// The text of (set, number): *text a new zero-terminated copy that the
// caller frees with free(), *length its bytes. A text that ends early in
// the file gives what could be read (*length says how much); none at all is
// CF_TEXT_UNREADABLE. On failure *text is null and *length 0.
std::int32_t ReadCatalogFileEntry(std::int32_t set, std::int32_t number, char** text,
                                  std::uint16_t* length);

struct CatalogKey {
    std::int32_t set = 0;
    std::int32_t number = 0;
};
// -1, 0 or 1: by set, then by number (signed).
int CompareCatalogKeys(const CatalogKey& a, const CatalogKey& b);

// ReadCatalogFileEntry that does not come back from a failure: it writes
// "\nSC Error #<number>, Key <set>, <number>\n" to standard output and ends
// the process with the code as its exit status.
std::int32_t GetCatalogFileText(std::int32_t set, std::int32_t number, char** text,
                                std::uint16_t* length);
// A run of consecutive numbers of one set: set the cursor to the first,
// then take texts until the answer is false (no such entry). Every call
// moves the cursor's number on by one; failures other than a missing entry
// end the process as GetCatalogFileText does.
void SetCatalogFileCursor(std::int32_t set, std::int32_t number);
bool NextCatalogFileText(char** text, std::uint16_t* length);
// Closes the file; the index stays (a known key then answers
// CF_CANNOT_POSITION, an unknown one CF_NO_SUCH_ENTRY).
void CloseCatalogFile();

// The part of a path behind its last "/" (the whole path without one); "."
// for a missing or empty path.
std::string PathTail(const char* path);

}  // namespace trail
