// One connected disk subsystem, as a client program sees it.
//
// Every management operation is one request method: it codes one request
// message (protocol version 4, its request code, the next command handle and
// its arguments), sends it on the session without waiting and returns the
// request's CommandHandle (sequence, session id). The caller then polls
// (PollQEN) for replies; each comes back as a poll result carrying the handle
// of the request it answers. State and event replies also update the state
// and server state this object owns, which GetStatePtr() and
// GetOruServerStatePtr() point to for the object's whole life.
//
// Ownership: the DiskArray owns its session and the result of its last poll;
// the next poll or the destructor deletes that result. A request whose send
// failed returns the handle (0, 0), which no reply carries; after a lost
// connection every poll returns a result of kind RMT_INVALID and status
// SESS_CONNECTION_UNINITIALIZED.
//
// A DiskArray is used by one thread at a time; the list of live objects
// behind CleanUp is guarded, so separate objects may live on separate threads.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "client/DISK_ARRAY_TYPE.h"
#include "client/DOWN_TYPE.h"
#include "client/PERF_GOAL.h"
#include "client/SESSION_STATUS.h"
#include "coresys/common/CommandHandle.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/PerfTypes.h"

class PollMsg;
class QEN;
class Session;
class ORU_Message;

class DiskArray {
  public:
    // Protocol version of every request this library sends.
    static constexpr std::uint32_t kRequestVersion = 4;
    // Second handle word of the lost-connection result: never a session id,
    // so it matches no request, not even a request that was never sent.
    static constexpr std::uint32_t kLostSessionWord = 0xFFFFFFFFu;
    // Characters of the server name and serial number kept in the state.
    static constexpr std::size_t kServerNameChars = 16;
    static constexpr std::size_t kSerialChars = 12;

    // Takes ownership of an open session. The handle starts at (0, session
    // id); the state and server state start empty but for the server name
    // (at most 16 characters) and the serial number (at most 12).
    DiskArray(const char* serverName, const char* serialNumber, Session* session);
    // Disconnects and frees the session, the last poll result and the state.
    virtual ~DiskArray();
    DiskArray(const DiskArray&) = delete;
    DiskArray& operator=(const DiskArray&) = delete;

    // --- the requests, in the order of the virtual table ---
    virtual CommandHandle GetState();
    virtual CommandHandle RetryLogAfterError();
    virtual CommandHandle FormatSubsystem(int pattern);
    virtual CommandHandle ShutdownSubsystem();
    virtual CommandHandle StartRebuildOperation();
    virtual CommandHandle StopRebuildOperation();
    virtual CommandHandle Set_Linkage(std::uint32_t linkage);
    // controller 0 is controller X, any other value controller Y.
    virtual CommandHandle Set_ControllerAddress(std::uint32_t controller, std::uint32_t scsiId);
    // capacity in units of half a megabyte.
    virtual CommandHandle CreateLUN(std::uint32_t lun, std::uint32_t capacity);
    virtual CommandHandle DeleteLUN(std::uint32_t lun);
    virtual CommandHandle RenumberLUN(std::uint32_t lun, std::uint32_t newLun);
    virtual CommandHandle FormatLUN(std::uint32_t lun, int pattern);
    virtual CommandHandle AddPhysicalDrive(std::uint32_t drive);
    virtual CommandHandle DownPhysicalDrive(std::uint32_t drive, DOWN_TYPE allowance, int value);
    virtual CommandHandle TestAlarmMessage();
    virtual CommandHandle ConfigureDefaultScsiSettings();
    virtual CommandHandle SetPrimaryController(std::uint32_t controller);
    virtual CommandHandle Set_RebuildPriority(int priority);
    virtual CommandHandle Set_AutoInclude(int on);
    virtual CommandHandle Set_AutoRebuild(int on);
    virtual CommandHandle Set_ReadCacheEnable(int on);
    virtual CommandHandle Set_WriteCacheEnable(int on);
    virtual CommandHandle Set_Parity(int on);
    virtual CommandHandle Set_SDTR(int on);
    virtual CommandHandle Set_WTDR(int on);
    virtual CommandHandle Set_TerminatorPower(int on);
    virtual CommandHandle Set_HotSpare(int on);
    virtual CommandHandle Set_CapacityThreshold(std::uint32_t threshold);
    // percent of the drive to check, 1..100; the continuation mark is always 0.
    virtual CommandHandle VerifyPhysicalDrive(std::uint32_t drive, std::uint32_t percent);
    virtual CommandHandle TestPhysicalDrive(std::uint32_t drive, std::uint32_t percent);
    // Asks the service to cancel the request of handle `request`; the cancel
    // request gets a handle of its own.
    virtual CommandHandle Cancel_Command(CommandHandle request);
    virtual CommandHandle Do_Prevention_Check();
    virtual CommandHandle RestartSubsystem();
    virtual CommandHandle ResetSubsystem();
    // logType 1: the controller's event log; other: its usage counters.
    virtual CommandHandle ReadControllerLog(std::uint32_t size, std::uint32_t logType, int clear);
    virtual CommandHandle RecordDiagInfo(std::uint32_t drive, std::uint32_t page,
                                         std::uint32_t size);
    virtual CommandHandle ReadDefectData(std::uint32_t drive, std::uint32_t size);
    virtual CommandHandle ResetPhysicalDrive(std::uint32_t drive);
    virtual CommandHandle Set_FormatPatternFill(int on);
    virtual CommandHandle CompareAndSwap();
    virtual CommandHandle FlushServerLog();
    virtual CommandHandle Set_DisableRemoteReset(int on);

    // --- the requests outside the virtual table ---
    // Window start and end in seconds since 1970, 900-second slots per value,
    // count metric identifiers (ids may be null only with count 0).
    CommandHandle GetPerfMetrics(std::uint32_t start, std::uint32_t end, std::uint32_t slots,
                                 std::uint32_t count, const PERF_METRIC* ids);
    CommandHandle GetPerfRecs(std::uint32_t start, std::uint32_t end);
    CommandHandle ClearDiagInfo(std::uint32_t drive, std::uint32_t page);
    CommandHandle ClearDiagResults();
    CommandHandle Set_QueueFullThreshold(std::uint32_t threshold);
    CommandHandle Set_SinglePathFailover(int on);
    CommandHandle Set_VeryEarlyBusy(int on);
    CommandHandle Set_CreateLunLimit(std::uint32_t limit);
    CommandHandle SetResiliencyParameters(int singleController, PERF_GOAL goal);
    // The alias as it stands, without its terminator (null: an empty text);
    // the service judges it.
    CommandHandle SetAliasName(const char* alias);

    // Takes one reply from the session, if one has come. Deletes the previous
    // result first. Returns the new result (owned by this object), or null
    // when nothing came or the reply was dropped (an unknown kind, or bytes
    // that do not decode: the state is then left as it was). A lost or closed
    // connection gives a result of kind RMT_INVALID, status
    // SESS_CONNECTION_UNINITIALIZED and handle (0, kLostSessionWord).
    PollMsg* PollQEN();
    // Waits up to milliseconds (of the suite's scaled clock) for the next
    // reply to start arriving, and ends as soon as it does (or the
    // connection ends). True when the next poll has something to read.
    bool WaitForReply(unsigned long milliseconds) const;
    // The session's socket, for an event loop that waits until a reply
    // starts to arrive (the socket becomes readable); -1 without a session.
    // Only PollQEN may read it.
    int ReplySocket() const;

    // Whether `result` is a reply to the request of handle `request`. A
    // request that was never sent (handle (0, 0)) and the lost-connection
    // result answer nothing.
    static bool Answers(const PollMsg* result, const CommandHandle& request);

    DiskArrayState* GetStatePtr() { return state.get(); }
    OruServerState* GetOruServerStatePtr() { return serverState.get(); }
    // SESSION_STATUS of the last send or receive.
    SESSION_STATUS GetMessageStatus() const { return messageStatus; }
    DISK_ARRAY_TYPE GetSubType() const { return subType; }
    // Replies dropped because they did not decode or were of a kind that
    // does not travel on a session.
    std::uint32_t BadReplies() const { return badReplies; }

    // Deletes every live DiskArray of the process.
    static void CleanUp();
    // Deletes the live DiskArray objects that `owner` connected.
    static void CleanUp(const QEN* owner);
    // Whether `array` is a live DiskArray (compares addresses only).
    static bool IsLive(const DiskArray* array);

  protected:
    // Advance the sequence, code the request, send it: the new handle, or
    // (0, 0) when the send failed (the reason in GetMessageStatus()).
    CommandHandle SendHeaderandValueMsg(std::uint32_t code, std::uint32_t version,
                                        std::uint32_t v1 = 0, std::uint32_t v2 = 0,
                                        std::uint32_t v3 = 0, std::uint32_t v4 = 0);
    CommandHandle SendHeaderandStringMsg(std::uint32_t code, std::uint32_t version,
                                         std::uint32_t v1, std::uint32_t v2, const char* text,
                                         std::uint32_t length);
    CommandHandle SendHeaderandPerfArrayMsg(std::uint32_t code, std::uint32_t version,
                                            std::uint32_t v1, std::uint32_t v2, std::uint32_t v3,
                                            std::uint32_t count, const PERF_METRIC* ids);

    // Turns one received reply into its poll result and frees the bytes.
    PollMsg* ServerMessageHandler(unsigned char* bytes, unsigned long length);

  private:
    friend class QEN;

    CommandHandle Send(ORU_Message& message);
    void Register();
    void Unregister();

    static std::mutex listLock;
    static DiskArray* diskarrays;  // head of the live objects, guarded by listLock

    DISK_ARRAY_TYPE subType{};
    std::unique_ptr<Session> session;
    CommandHandle handle;
    std::unique_ptr<PollMsg> lastPoll;
    SESSION_STATUS messageStatus = SESS_CONNECTION_UNINITIALIZED;
    std::unique_ptr<DiskArrayState> state;
    std::unique_ptr<OruServerState> serverState;
    std::uint32_t badReplies = 0;
    const QEN* owner = nullptr;  // the QEN that connected it, if any
    DiskArray* next = nullptr;   // guarded by listLock
};
