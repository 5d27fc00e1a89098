#include "tools/trail/CatalogFileReader.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "platform/Root.h"

namespace trail {

namespace {

constexpr std::size_t kMaxNameLength = 70;
constexpr std::size_t kLineBytes = 59;
constexpr const char* kDefaultName = "vxraidcl.cat";
// "\usr\lib\" on the machine's system drive.
constexpr const char* kSystemDirectory = "C:\\usr\\lib\\";
constexpr const char* kReportFormat = "\nSC Error #%lu, Key %d, %d\n";
constexpr std::int32_t kReportBase = 57344;

struct CatalogFileEntry {
    std::int32_t set = 0;
    std::int32_t number = 0;
    std::int32_t offset = 0;
    std::uint32_t length = 0;
};

struct CatalogFileState {
    std::string name = kDefaultName;
    std::FILE* file = nullptr;
    std::vector<CatalogFileEntry> index;
    long textStart = 0;
    CatalogKey cursor;
};

CatalogFileState& State() {
    static CatalogFileState state;
    return state;
}

// One header number ("%ld") and the blanks and line ends behind it.
bool HeaderNumber(std::FILE* file, long* value) {
    return std::fscanf(file, "%ld", value) == 1 && std::fscanf(file, " ") == 0;
}

bool Fits32(long value) {
    return value >= INT32_MIN && value <= INT32_MAX;
}

// One index line: at most 59 bytes with its line end, four numbers.
bool IndexLine(std::FILE* file, CatalogFileEntry* entry) {
    char line[kLineBytes + 1];
    if (std::fgets(line, sizeof line, file) == nullptr) {
        return false;
    }
    const std::size_t used = std::strlen(line);
    if (used == kLineBytes && line[used - 1] != '\n' && !std::feof(file)) {
        return false;  // longer than an index line may be
    }
    long set = 0;
    long number = 0;
    long offset = 0;
    int length = 0;
    if (std::sscanf(line, "%ld %ld %ld %d", &set, &number, &offset, &length) != 4 || !Fits32(set) ||
        !Fits32(number) || !Fits32(offset)) {
        return false;
    }
    entry->set = static_cast<std::int32_t>(set);
    entry->number = static_cast<std::int32_t>(number);
    entry->offset = static_cast<std::int32_t>(offset);
    entry->length = static_cast<std::uint32_t>(length);
    return true;
}

const CatalogFileEntry* Find(const CatalogKey& key) {
    const std::vector<CatalogFileEntry>& index = State().index;
    std::size_t low = 0;
    std::size_t high = index.size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        const int order = CompareCatalogKeys({index[middle].set, index[middle].number}, key);
        if (order == 0) {
            return &index[middle];
        }
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return nullptr;
}

[[noreturn]] void Report(std::int32_t code, std::int32_t set, std::int32_t number) {
    std::printf(kReportFormat, static_cast<unsigned long>(-code - kReportBase), set, number);
    std::fflush(stdout);
    std::exit(code);
}

}  // namespace

void SetCatalogFileName(const char* name) {
    if (name != nullptr && std::strlen(name) <= kMaxNameLength) {
        State().name = name;
    }
}

std::int32_t OpenDefaultCatalogFile() {
    const std::string name = State().name;
    std::int32_t result = OpenCatalogFile(name.c_str());
    if (result == CF_OK) {
        return result;
    }
    const std::string system = platform::MapDrivePath(std::string(kSystemDirectory) + name);
    return OpenCatalogFile(system.c_str());
}

std::int32_t OpenCatalogFile(const char* name) {
    if (name == nullptr) {
        return CF_CANNOT_OPEN;
    }
    std::string path = name;
    if (path.find(".cat") == std::string::npos) {
        path += ".cat";
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return CF_CANNOT_OPEN;
    }
    auto fail = [file](std::int32_t code) {
        std::fclose(file);
        return code;
    };
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        return fail(CF_CANNOT_OPEN);
    }
    long count = 0;
    long unused = 0;
    if (!HeaderNumber(file, &count) || count < 1 || !HeaderNumber(file, &unused)) {
        return fail(CF_BAD_HEADER);
    }
    // Each index line takes at least 8 bytes with its new line (the last
    // may go without): more lines than the file's size holds cannot be, and
    // no room is taken for them.
    if (static_cast<unsigned long>(count) > (static_cast<unsigned long>(info.st_size) + 1) / 8) {
        return fail(CF_BAD_HEADER);
    }
    std::vector<CatalogFileEntry> index;
    try {
        index.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        return fail(CF_NO_INDEX_MEMORY);
    }
    for (CatalogFileEntry& entry : index) {
        if (!IndexLine(file, &entry)) {
            return fail(CF_BAD_HEADER);
        }
    }
    const long textStart = std::ftell(file);
    if (textStart < 0) {
        return fail(CF_NO_TEXT_START);
    }
    CatalogFileState& state = State();
    if (state.file != nullptr) {
        std::fclose(state.file);
    }
    state.file = file;
    state.index = std::move(index);
    state.textStart = textStart;
    return CF_OK;
}

std::int32_t ReadCatalogFileEntry(std::int32_t set, std::int32_t number, char** text,
                                  std::uint16_t* length) {
    *text = nullptr;
    *length = 0;
    const CatalogFileEntry* entry = Find({set, number});
    if (entry == nullptr) {
        return CF_NO_SUCH_ENTRY;
    }
    const std::size_t bytes = entry->length & 0xFFFFu;
    // Zero-filled: whatever a short read leaves is still a terminated text.
    auto* buffer = static_cast<char*>(std::calloc(bytes + 1, 1));
    if (buffer == nullptr) {
        return CF_NO_MEMORY;
    }
    CatalogFileState& state = State();
    const long at = state.textStart + static_cast<long>(entry->offset);
    if (state.file == nullptr || at < 0 || std::fseek(state.file, at, SEEK_SET) != 0) {
        std::free(buffer);
        return CF_CANNOT_POSITION;
    }
    const std::size_t got = std::fread(buffer, 1, bytes, state.file);
    if (got == 0) {
        std::free(buffer);
        return CF_TEXT_UNREADABLE;
    }
    *text = buffer;
    *length = static_cast<std::uint16_t>(got);
    return CF_OK;
}

int CompareCatalogKeys(const CatalogKey& a, const CatalogKey& b) {
    if (a.set != b.set) {
        return a.set < b.set ? -1 : 1;
    }
    if (a.number != b.number) {
        return a.number < b.number ? -1 : 1;
    }
    return 0;
}

std::int32_t GetCatalogFileText(std::int32_t set, std::int32_t number, char** text,
                                std::uint16_t* length) {
    const std::int32_t result = ReadCatalogFileEntry(set, number, text, length);
    if (result != CF_OK) {
        Report(result, set, number);
    }
    return result;
}

void SetCatalogFileCursor(std::int32_t set, std::int32_t number) {
    State().cursor = {set, number};
}

bool NextCatalogFileText(char** text, std::uint16_t* length) {
    CatalogKey& cursor = State().cursor;
    const CatalogKey key = cursor;
    cursor.number = static_cast<std::int32_t>(static_cast<std::uint32_t>(cursor.number) + 1);
    const std::int32_t result = ReadCatalogFileEntry(key.set, key.number, text, length);
    if (result == CF_NO_SUCH_ENTRY) {
        return false;
    }
    if (result != CF_OK) {
        Report(result, key.set, key.number);
    }
    return true;
}

void CloseCatalogFile() {
    CatalogFileState& state = State();
    if (state.file != nullptr) {
        std::fclose(state.file);
        state.file = nullptr;
    }
}

std::string PathTail(const char* path) {
    if (path == nullptr || *path == '\0') {
        return ".";
    }
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? path : slash + 1;
}

}  // namespace trail
