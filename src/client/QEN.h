// The client library's top-level object: the subsystems a client knows
// (its OruSubsystemList), connecting to one of them, and the datagram poll
// that brings gross-status answers.
//
// QEN::Connect hands out a DiskArray that the library keeps owning:
// QEN::DisConnect or the QEN's destructor deletes it. The result of a
// datagram poll belongs to the QEN too and is deleted by the next poll. A QEN
// and its arrays are used by one thread at a time.
#pragma once

#include <memory>

#include "client/ASL_STATUS.h"
#include "client/DiskArray.h"
#include "client/OruSubsystemList.h"
#include "client/SESSION_STATUS.h"

class PollMsg;

class QEN {
  public:
    // Session revision this library speaks.
    static constexpr unsigned long kRevision = 4;

    // scan non-zero: the subsystem list of the default host is read at once.
    explicit QEN(unsigned short scan);
    // Deletes the arrays this QEN connected, then the list.
    virtual ~QEN();
    QEN(const QEN&) = delete;
    QEN& operator=(const QEN&) = delete;

    // Opens a session to the subsystem: a new DiskArray, or null with the
    // reason in LastStatus().
    DiskArray* Connect(OruSubsystem* subsystem);
    // Deletes the array (its session says goodbye). Null, and an array that
    // is no longer live, are ignored.
    void DisConnect(DiskArray* array);

    ASL_STATUS ScanforSubsystems(const char* host, unsigned short port, int reset);
    ASL_STATUS Rescan(const char* host, unsigned short port, int reset);
    void ClearNameArray();
    unsigned short NameArraySize() const;
    ASL_STATUS OruListStatus() const;
    OruSubsystemList& SubsystemList() { return list; }
    // The index-th known subsystem, or null past the end.
    OruSubsystem* operator[](int index) const { return list[index]; }

    // Sends a gross-status request to the subsystem by datagram.
    void RequestGrossStatus(OruSubsystem& subsystem);
    // Takes one datagram reply, if one has come: a GrossStatusPollMsg (kind
    // 100) or an ErrorPollMsg (kinds 2 and 10), each naming the subsystem it
    // came from; null for nothing, another kind or bytes that do not decode.
    // Deletes the previous result first.
    PollMsg* PollQEN();

    // SESSION_STATUS of the last Connect.
    SESSION_STATUS LastStatus() const { return lastStatus; }
    bool NoScan() const { return noScan; }

    // The budget of every exchange with the service, in seconds (default
    // 300): the list's reads and writes and those of every session opened
    // from now on.
    void SetBudgetSeconds(int seconds);

  private:
    // Sends request code `code` by datagram; only the gross-status request
    // (46) travels this way, any other code sends nothing.
    void Send_Datagram(OruSubsystem& subsystem, std::uint32_t code);
    PollMsg* DatagramHandler(OruSubsystem* subsystem, unsigned char* bytes, unsigned short length);

    OruSubsystemList list;
    SESSION_STATUS lastStatus = SESS_CONNECTION_UNINITIALIZED;
    bool noScan = false;
    int budgetSeconds = netio::kBudgetSeconds;
    std::unique_ptr<PollMsg> lastDatagramPoll;
};
