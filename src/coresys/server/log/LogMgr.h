// The log manager, the first of the service's managers: it owns the Log
// Task, the write buffer pool and the table of subsystem logs (slot 0 the
// service's own log, without serial number). Construct and destroy it on a
// thread bound to a task (the service's main thread): both wait for the
// Log Task's answer. The table is safe to use from any task thread.
//
// It is also the block source of the service's log readers (LogCursor,
// SequenceLog): every read is a synchronous request to the Log Task, so the
// calls below that wait for the Log Task must come from a task's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "coresys/server/log/LogTask.h"
#include "coresys/server/log/ReadBuffer.h"
#include "coresys/server/log/SubsysLog.h"
#include "coresys/server/log/WriteBufferPool.h"
#include "coresys/server/winnt/Service/ServerManager.h"

class LogMgr : public ServerManager, public LogBlockSource {
  public:
    // Settings from the service's configuration (the log directory mapped
    // to this machine).
    LogMgr();
    explicit LogMgr(const LogSettings& settings);
    // Flushes the pool, stops the Log Task and waits for it, frees the
    // subsystem logs left in the table.
    ~LogMgr() override;

    // Prepares the table: slot 0 for the service's own log.
    void Init() override;

    // The log of that serial number (nullptr or empty: the service's own),
    // made when missing; one more user either way.
    SubsysLog* OpenSubsysLog(const char* serial);
    // One user fewer; the log is freed with its last user. Fatal for a log
    // not in the table.
    void CloseSubsysLog(SubsysLog* log);

    // Writes one record of a subsystem's log on behalf of its monitor (the
    // log stays open until the manager goes). A record whose length word
    // is below 60, above 4096 or above the bytes handed over is refused
    // with an event-log entry.
    void WriteSubsystemRecord(const char* serial, const unsigned char* bytes, std::uint32_t length);
    // Writes a text record (class 4) of the service's own log; the text is
    // cut to 127 characters.
    void WriteServiceText(std::uint16_t code, const char* text);

    // Request 3: resumes a suspended log; answers the LRBA above which
    // writing went on (0 when the log was not suspended). The write buffers
    // number on above it, so no LRBA is handed out twice.
    std::uint32_t ResumeLog();
    bool IsLogSuspended() const { return task_->IsSuspended(); }
    // Sends the current block to the Log Task.
    void Flush() { pool_->Flush(); }
    // Sends the current block and waits until the Log Task has written
    // every block sent so far: the records are then in the files for any
    // reader. True when the log runs (false: suspended, nothing written).
    bool FlushToDisk();

    // --- LogBlockSource (the readers' requests 2, 4 and 5) ---
    Window Sync() override;
    bool ReadBlock(std::uint32_t mode, std::uint32_t lrba, std::uint32_t time,
                   ReadBuffer& buffer) override;
    void ReleaseDescriptor(int fd) override;

    LogTask* GetLogTask() { return task_.get(); }
    // The LRBA from which writing continued at start.
    std::uint32_t NextLrba() const { return nextLrba_; }

    // The settings the service's configuration gives.
    static LogSettings ConfiguredSettings();

  private:
    SubsysLog* OpenLocked(const char* serial);
    void DeleteSubsysLog(SubsysLog* log);

    std::unique_ptr<LogTask> task_;
    std::unique_ptr<WriteBufferPool> pool_;
    std::uint32_t nextLrba_ = 0;
    std::mutex tableLock_;
    std::vector<std::unique_ptr<SubsysLog>> table_;
    // Logs the manager keeps open for the monitors' records.
    std::vector<SubsysLog*> held_;
};
