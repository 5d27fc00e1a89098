// Fuzzes the opening of a log catalog: the input is written as "LOGCATLG"
// into a scratch log directory and opened read-only, then as the writer
// opens it (which repairs a catalog left in the middle of a change), and
// the opened catalog is asked for files by LRBA and by time. Whatever the
// bytes, nothing may read past the file, follow a link out of it, loop, or
// end the process.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "coresys/server/log/LogCatalog.h"

namespace {

// The scratch directory, removed again when the fuzzer ends.
struct Scratch {
    std::string directory;
    Scratch() {
        char name[] = "/tmp/oru-fuzz-catalog-XXXXXX";
        if (::mkdtemp(name) != nullptr) {
            directory = name;
        }
    }
    ~Scratch() {
        if (!directory.empty()) {
            ::unlink((directory + "/LOGCATLG").c_str());
            ::rmdir(directory.c_str());
        }
    }
};

const std::string& Directory() {
    static Scratch scratch;
    return scratch.directory;
}

void Ask(LogCatalog& catalog) {
    if (!catalog.IsOpen()) {
        return;
    }
    const LogCatalogHeader& header = catalog.Header();
    for (std::uint32_t lrba : {0u, 4096u, header.startLrba, header.highLrba, 0xFFFFFFF0u}) {
        catalog.FindFileByLRBA(lrba);
    }
    for (std::uint32_t time : {0u, header.highLrbaTime, 1700000000u}) {
        catalog.FindFileByTime(time);
    }
    catalog.LatestFile();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (Directory().empty()) {
        return 0;
    }
    const std::string path = Directory() + "/LOGCATLG";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    if (size > 0) {
        std::fwrite(data, 1, size, file);
    }
    std::fclose(file);
    {
        LogCatalog readOnly(Directory(), 0xFFFFFFFFu, LogCatalog::Access::kReadOnly);
        Ask(readOnly);
    }
    {
        LogCatalog writer(Directory(), 0xFFFFFFFFu);
        Ask(writer);
    }
    return 0;
}
