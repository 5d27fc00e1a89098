// The performance requests as the service handles them: metrics (request
// code 10, task request kind 8) and recommendations (code 11, kind 9) of a
// subsystem over a time window, read from its log (PerfAnalysis).
//
// Both answer on success with their reply over the request (kind 7 with
// the metric objects, which the reply borrows from the request; kind 8 with
// a copy of the 48 recommendation values), and on any failure with the
// error reply ERR_PERFORMANCE_LOG_DATA_UNAVAILABLE, NO_QUALIFIER,
// NO_MODULE_ID. The log is only read. A request whose values did not all
// arrive is refused as ManagementMsg refuses one (ERR_INVALID_LENGTH); one
// that came by datagram is refused as an unknown command.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "coresys/server/dispatch/ManagementMsg.h"
#include "coresys/server/perf/PerfAnalysis.h"

class LogMgr;

// What the two requests share: the subsystem's log and the analysis.
class PerfRequestMsg : public ManagementMsg {
  public:
    // log: the service's log manager (nullptr: the one the service runs).
    PerfRequestMsg(const ClientMessage& message, OruLite* subsystem, LogMgr* log = nullptr);
    ~PerfRequestMsg();

    const PerfAnalysis* Analysis() const { return analysis_.get(); }
    PerfFailure Failure() const { return failure_; }

  protected:
    // The common course of both requests: refuses a request whose values
    // (and body, bodyDecoded) did not all arrive or that came by datagram,
    // ends the service for a code other than expectedCode (where names the
    // caller), then runs the analysis over the subsystem's log. True on
    // success; otherwise the error reply has been built.
    bool Analyse(std::uint32_t expectedCode, const char* where, bool bodyDecoded,
                 const std::function<PerfFailure(PerfAnalysis&)>& run);

    std::unique_ptr<PerfAnalysis> analysis_;
    PerfFailure failure_ = PerfFailure::kNone;

  private:
    LogMgr* log_;
};

class PerfMetrics_Msg : public PerfRequestMsg {
  public:
    PerfMetrics_Msg(const ClientMessage& message, OruLite* subsystem, LogMgr* log = nullptr);
    void do_message_action();

  private:
    // The identifier list (value4 of them after the four values).
    HeaderandPerfArrayMsg identifiers_;
    bool identifiersDecoded_ = false;
};

class PerfRecs_Msg : public PerfRequestMsg {
  public:
    PerfRecs_Msg(const ClientMessage& message, OruLite* subsystem, LogMgr* log = nullptr);
    void do_message_action();
};
