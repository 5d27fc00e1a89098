// The "Log Task": the one task that touches the log catalog and the log
// files. Writers hand it finished 4096-byte blocks (request 1, posted
// without answer); it writes them in LRBA order, starts a new log file
// when the current one is full, and suspends the log when a block cannot
// be written even on a fresh file. While suspended every block is dropped
// and only the highest dropped LRBA moves; request 3 resumes.
//
// Requests: 0 prepare writing (answers the LRBA from which writing
// continues), 1 write a block (args[0]: the WriteBuffer), 2 read a block for
// a reader (args: mode, LRBA, time, the ReadBuffer; answers 1 when read),
// 3 resume when suspended (args[0]: the highest LRBA the writers handed out;
// answers as 0, and the last record on disk beside it: ResumeLastWritten), 4 barrier (answered
// after every earlier request, with the log's window), 5 close a reader's cached descriptor
// (args[0]), 6 stop. Every other code is fatal.
//
// Five reads in a row that fail (a file that cannot be read, a block that
// is damaged) suspend the log too; a sound read clears the count.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "coresys/server/log/LogCatalog.h"
#include "coresys/server/log/LogFileReader.h"
#include "coresys/server/log/PendingQueue.h"
#include "coresys/server/task/OruTask.h"

class ReadBuffer;
class WriteBuffer;

enum LOG_TASK_REQUEST : std::int32_t {
    LOG_TASK_INIT = 0,
    LOG_TASK_WRITE = 1,
    LOG_TASK_READ = 2,
    LOG_TASK_RESUME = 3,
    LOG_TASK_BARRIER = 4,
    LOG_TASK_CLOSE_FD = 5,
    LOG_TASK_STOP = 6,
};

// The answer of the barrier (request 4): result 1 while the log runs, 0
// while it is suspended; the catalog's start LRBA and high LRBA as they
// stand after every earlier request (read on the Log Task's own thread).
inline std::uint32_t BarrierStartLrba(const TaskResponse& answer) {
    return static_cast<std::uint32_t>(answer.value);
}
inline std::uint32_t BarrierHighLrba(const TaskResponse& answer) {
    return static_cast<std::uint32_t>(answer.value4);
}
// The answer of a resume (request 3) beside its result: whether the log was
// suspended and InitLogTask ran, and the LRBA of the last record in the log
// on disk then (0 in a new log), which the next record links back to.
inline bool ResumeRan(const TaskResponse& answer) {
    return answer.value4 != 0;
}
inline std::uint32_t ResumeLastWritten(const TaskResponse& answer) {
    return static_cast<std::uint32_t>(answer.value);
}

// Where and how large the log is.
struct LogSettings {
    // The log directory as a path of this machine.
    std::string directory;
    // Total size of the log files; 0xFFFFFFFF: no limit.
    std::uint32_t sizeLimit = 0xFFFFFFFFu;
    // A new log file is started before a block would pass this size.
    std::uint32_t maxFileSize = 40960;
};

class LogTask : public OruTask {
  public:
    // The log-state event: suspension and resumption, with an LRBA and the
    // read error count, and whether the log is now suspended. The service
    // hands it to its clients. It is called on the Log Task's thread.
    using LogStateReporter =
        std::function<void(std::uint32_t lrba, std::uint32_t readErrors, bool suspended)>;
    static void SetLogStateReporter(LogStateReporter reporter);

    explicit LogTask(const LogSettings& settings);
    // Fatal when blocks are still pending.
    ~LogTask() override;

    std::int32_t Dispatch(TaskRequest& request, TaskResponse* response) override;

    bool IsSuspended() const { return suspended_.load(); }
    // For tests and the server state (read them on the task or after a
    // barrier).
    std::uint32_t NextLrba() const { return nextLrba_; }
    std::uint32_t HighestDroppedLrba() const { return highestDropped_; }
    std::uint32_t ReadErrors() const { return readErrors_; }

    // Five reads in a row that fail suspend the log.
    static constexpr std::uint32_t kReadErrorLimit = 5;

  private:
    // floor: no LRBA at or below it is handed out again (request 3).
    std::uint32_t InitLogTask(std::uint32_t floor);
    std::uint32_t FindEOL();
    std::intptr_t LogRead(std::uint32_t mode, std::uint32_t lrba, std::uint32_t time,
                          ReadBuffer* buffer);
    void WriteRequest(WriteBuffer* buffer);
    // Steps 3 and 4 of writing a block; false when the log was suspended.
    bool WriteAndAccount(WriteBuffer* buffer);
    bool WriteBlock(const unsigned char* data);
    bool NewFile();
    bool WriteAtCurrent(const unsigned char* data);
    // Closes and deletes the current file and withdraws its entry.
    void DropCurrentFile();
    void Suspend(bool atStop);
    void ReportLogState(std::uint32_t lrba, bool resumed);

    LogSettings settings_;
    std::atomic<bool> suspended_{false};
    int fd_ = -1;
    std::string filePath_;
    std::uint32_t fileBytes_ = 0;
    std::uint32_t fileBeginLrba_ = 0;
    std::uint32_t nextLrba_ = 0;
    std::uint32_t highestDropped_ = 0;
    // The LRBA of the last record in the log on disk as the last
    // InitLogTask found it (0 in a new log).
    std::uint32_t lastWritten_ = 0;
    std::uint32_t readErrors_ = 0;
    PendingQueue pending_;
    std::unique_ptr<LogCatalog> catalog_;
    LogFileReader reader_{true};
};
