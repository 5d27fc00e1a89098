#include "coresys/server/log/LogMgr.h"

LogMgr::LogMgr() : task_(std::make_unique<LogTask>()) {
    TaskRequest init;
    init.code = LOG_TASK_INIT;
    TaskResponse answer = task_->Request(init);
    nextLrba_ = static_cast<std::uint32_t>(answer.result);
}

LogMgr::~LogMgr() {
    TaskRequest stop;
    stop.code = LOG_TASK_STOP;
    task_->Request(stop);
    task_.reset();
}

// The subsystem-log table comes with the log writer; the Log Task is
// already running, so the device manager may start after this.
void LogMgr::Init() {}
