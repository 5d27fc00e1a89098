// Writes a service log for tests and benchmarks through the service's own
// log writer (LogMgr, its write buffers and the Log Task), with a clock of
// its own: records of chosen subsystems, classes, codes, time stamps and
// payloads land in a catalog and log files exactly as the running service
// would write them, a month of records in seconds.
//
//     testsupport::LogGenerator::Options options;
//     options.directory = root.File("c/oru_log");
//     testsupport::LogGenerator log(options);        // clock at options.startTime
//     log.Write("QX0000000001", 2, 0, {1, 2, 3, 4}); // payload words P[0..3]
//     testsupport::LogGenerator::Series month;
//     month.serials = testsupport::LogGenerator::Serials(10);
//     month.count = 30 * 96;                         // 900-second slots
//     month.words = [](const auto& slot) { return std::vector<std::uint32_t>{1, slot.index}; };
//     log.WriteSeries(month);
//     log.Flush();                                   // everything is in the files
//     // ... read with log.Manager() (LogCursor, SequenceLog) or from disk
//
// While a generator lives, its clock is the log's clock for the whole
// process (LogClock.h): catalog entries are stamped with it too, so reads by
// time agree with the records. One generator at a time per process. Its
// calls wait for the Log Task: use it on one thread; a thread that is not a
// task's is bound to one for the generator's life.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "coresys/server/log/LogClock.h"
#include "coresys/server/log/LogMgr.h"

class OruTask;
class SubsysLog;

namespace testsupport {

// A clock that moves only when told to.
class ManualLogClock : public LogClockSource {
  public:
    explicit ManualLogClock(std::uint32_t now) : now_(now) {}
    std::uint32_t Now() const override { return now_.load(); }
    void Set(std::uint32_t now) { now_.store(now); }
    void Advance(std::uint32_t seconds) { now_.fetch_add(seconds); }

  private:
    std::atomic<std::uint32_t> now_;
};

class LogGenerator {
  public:
    struct Options {
        // The log directory (created when missing).
        std::string directory;
        // The writer's settings: a new file before a block would pass
        // maxFileSize; sizeLimit 0xFFFFFFFF keeps every file.
        std::uint32_t maxFileSize = 40960;
        std::uint32_t sizeLimit = 0xFFFFFFFFu;
        // The clock's first reading (seconds since 1970): 2023-11-14 22:13:20.
        std::uint32_t startTime = 1700000000;
    };

    // One slot of a series: which subsystem, which slot, its time stamp.
    struct Slot {
        std::uint32_t serialIndex = 0;
        std::uint32_t index = 0;
        std::uint32_t time = 0;
    };
    // Records at fixed time slots, one per subsystem and slot, slot by slot
    // (the subsystems interleaved as the monitors would write them).
    struct Series {
        std::vector<std::string> serials{"QX0000000001"};
        std::uint16_t recordClass = 2;
        std::uint16_t code = 4;
        // Time stamp of slot 0 (0: the clock's reading) and the slot length.
        std::uint32_t first = 0;
        std::uint32_t interval = 900;
        std::uint32_t count = 1;
        // Bytes of each record, header included (0: just the payload words).
        std::uint32_t length = 848;
        // The payload words of a slot's record (P[0], P[1], ...); missing:
        // DefaultWords.
        std::function<std::vector<std::uint32_t>(const Slot&)> words;
        // Slots to leave empty (a monitor that missed a check).
        std::function<bool(const Slot&)> skip;
        // Offset of a slot's stamp from its slot time (seconds, may be
        // negative): records rarely land exactly on the boundary.
        std::function<std::int32_t(const Slot&)> jitter;
    };

    explicit LogGenerator(const Options& options);
    // Stops the log cleanly (catalog closed) unless Stop was called.
    ~LogGenerator();
    LogGenerator(const LogGenerator&) = delete;
    LogGenerator& operator=(const LogGenerator&) = delete;

    // --- the clock ---
    // The clock moves only once the Log Task has written every block handed
    // to it so far, as time passes for a real service: each log file's begin
    // time is then the time its first block was written, not a later one.
    std::uint32_t Now() const { return clock_.Now(); }
    void SetTime(std::uint32_t now);
    void Advance(std::uint32_t seconds) { SetTime(Now() + seconds); }

    // --- writing ---
    // One record of serial ("" for the service's own log) with that payload,
    // stamped time (0: the clock's reading). Answers its LRBA.
    std::uint32_t Write(const std::string& serial, std::uint16_t recordClass, std::uint16_t code,
                        const std::vector<unsigned char>& payload, std::uint32_t time = 0);
    // The same with payload words (little-endian, P[0] first) in a record
    // of length bytes (0: 60 + 4 per word; a longer record is zero-filled).
    std::uint32_t WriteWords(const std::string& serial, std::uint16_t recordClass,
                             std::uint16_t code, const std::vector<std::uint32_t>& words,
                             std::uint32_t length = 0, std::uint32_t time = 0);
    // A series of slots; answers the number of records written. The clock
    // is left at the last slot's time.
    std::uint32_t WriteSeries(const Series& series);

    // Every record written so far is in the files (flushed, and the Log
    // Task has written it). False when the log is suspended.
    bool Flush();
    // Closes the log cleanly (catalog state 0). The generator writes no more.
    void Stop();

    // The service's log manager over the directory: read with LogCursor and
    // SequenceLog through it (OpenSubsysLog), or ask it anything else.
    LogMgr& Manager() { return *manager_; }
    std::uint32_t RecordsWritten() const { return records_; }
    std::uint32_t LastLrba() const { return lastLrba_; }
    const std::string& Directory() const { return options_.directory; }

    // "QX0000000001" ... : count serial numbers of 12 characters.
    static std::vector<std::string> Serials(std::uint32_t count);
    // The payload a series writes when it is given none: P[0] = 1 (a valid
    // record), P[1] = slot index, P[2] = subsystem index, P[3] = slot time,
    // then a mix of the three up to the record's length.
    static std::vector<std::uint32_t> DefaultWords(const Slot& slot, std::uint32_t length);

  private:
    SubsysLog* LogOf(const std::string& serial);

    Options options_;
    ManualLogClock clock_;
    std::unique_ptr<OruTask> self_;
    std::unique_ptr<LogMgr> manager_;
    std::map<std::string, SubsysLog*> logs_;
    std::uint32_t records_ = 0;
    std::uint32_t lastLrba_ = 0;
};

}  // namespace testsupport
