// oru_loggen: writes a service log through the service's own log writer,
// for benchmarks and for tests that need a log written by another process
// (and killed in the middle of it).
//
//   oru_loggen --dir DIR [--serials N] [--slots N | --megabytes M]
//              [--length BYTES] [--class C] [--code K] [--start TIME]
//              [--interval SECONDS] [--file-size BYTES] [--flush-every SLOTS]
//
// Each slot writes one record per subsystem (QX0000000001 ...) with the
// payload of LogGenerator::DefaultWords. With --flush-every, every that many
// slots the log is flushed to its files and a line "flushed <records>
// <last LRBA>" is printed: everything up to there is on disk. At the end the
// log is closed cleanly and "wrote <records> records, last LRBA <lrba>" is
// printed. Exit code 0, 2 for a bad command line, 1 when the log was
// suspended.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/LogGenerator.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: oru_loggen --dir DIR [--serials N] [--slots N | --megabytes M]\n"
                 "                  [--length BYTES] [--class C] [--code K] [--start TIME]\n"
                 "                  [--interval SECONDS] [--file-size BYTES]"
                 " [--flush-every SLOTS]\n");
}

bool Number(const char* text, std::uint32_t* value) {
    char* end = nullptr;
    errno = 0;
    unsigned long parsed = std::strtoul(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || parsed > 0xFFFFFFFFul) {
        return false;
    }
    *value = static_cast<std::uint32_t>(parsed);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    testsupport::LogGenerator::Options options;
    testsupport::LogGenerator::Series series;
    std::uint32_t serials = 1;
    std::uint32_t megabytes = 0;
    std::uint32_t flushEvery = 0;
    std::uint32_t recordClass = 2;
    std::uint32_t code = 4;
    series.count = 96;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (i + 1 >= argc) {
            Usage();
            return 2;
        }
        const char* value = argv[++i];
        bool good = true;
        if (option == "--dir") {
            options.directory = value;
        } else if (option == "--serials") {
            good = Number(value, &serials) && serials >= 1 && serials <= 9999;
        } else if (option == "--slots") {
            good = Number(value, &series.count);
        } else if (option == "--megabytes") {
            good = Number(value, &megabytes);
        } else if (option == "--length") {
            good = Number(value, &series.length) && series.length >= 76 && series.length <= 4096;
        } else if (option == "--class") {
            good = Number(value, &recordClass) && recordClass <= 0xFFFF;
        } else if (option == "--code") {
            good = Number(value, &code) && code <= 0xFFFF;
        } else if (option == "--start") {
            good = Number(value, &options.startTime);
        } else if (option == "--interval") {
            good = Number(value, &series.interval);
        } else if (option == "--file-size") {
            good = Number(value, &options.maxFileSize) && options.maxFileSize >= 4096;
        } else if (option == "--flush-every") {
            good = Number(value, &flushEvery);
        } else {
            good = false;
        }
        if (!good) {
            std::fprintf(stderr, "oru_loggen: bad option %s %s\n", option.c_str(), value);
            Usage();
            return 2;
        }
    }
    if (options.directory.empty()) {
        Usage();
        return 2;
    }
    series.serials = testsupport::LogGenerator::Serials(serials);
    series.recordClass = static_cast<std::uint16_t>(recordClass);
    series.code = static_cast<std::uint16_t>(code);
    series.first = options.startTime;
    if (megabytes != 0) {
        // Records take their length rounded to 8 in 4096-byte blocks.
        std::uint64_t perBlock = 4096 / ((series.length + 7) & ~7u);
        std::uint64_t records = std::uint64_t{megabytes} * 1024 * 1024 / 4096 * perBlock;
        series.count = static_cast<std::uint32_t>((records + serials - 1) / serials);
    }

    testsupport::LogGenerator log(options);
    const std::uint32_t total = series.count;
    const std::uint32_t step = flushEvery != 0 ? flushEvery : total;
    for (std::uint32_t done = 0; done < total;) {
        testsupport::LogGenerator::Series part = series;
        part.count = std::min(step, total - done);
        part.first = series.first + done * series.interval;
        if (series.words == nullptr) {
            // Slot indexes run on across the parts.
            part.words = [done, length = series.length](const auto& slot) {
                testsupport::LogGenerator::Slot whole = slot;
                whole.index += done;
                return testsupport::LogGenerator::DefaultWords(whole, length);
            };
        }
        log.WriteSeries(part);
        done += part.count;
        if (flushEvery != 0) {
            if (!log.Flush()) {
                std::fprintf(stderr, "oru_loggen: the log is suspended\n");
                return 1;
            }
            std::printf("flushed %u %u\n", log.RecordsWritten(), log.LastLrba());
            std::fflush(stdout);
        }
    }
    bool running = log.Flush();
    log.Stop();
    std::printf("wrote %u records, last LRBA %u\n", log.RecordsWritten(), log.LastLrba());
    return running ? 0 : 1;
}
