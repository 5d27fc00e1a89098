// The service's form of a subsystem's array state: the same record the
// clients receive, built by reading the subsystem's controllers.
//
// Constructing one runs the whole build in a fixed order (controllers, raw
// page, subsystem state, mode pages, cabinet, drives, capacity and LUNs,
// missing drives, diagnostics, identity values, alias, partner check,
// derived values). The first command whose failure matters stops the build:
// the state then has Valid State Data 0, the failed command's outcome in
// LastResult() and its error record in Error(), and must never replace a
// valid state. Reads of a single controller's identity only blank that part.
//
// Everything a controller reports is bounded before use: module lists are as
// long as reported, a drive entry is placed in the slot it names only when
// that slot exists (else it is skipped with a notice), block counts never
// wrap below 0, and the raw page is walked by PageTlvDecoder's rules.
//
// A state is built and used on its subsystem's task under the
// subsystem-in-use lock; it is not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "coresys/common/DiskArrayState.h"
#include "coresys/common/oruerr.h"
#include "coresys/server/scsi/ScsiResult.h"
#include "coresys/server/state/PageTlvDecoder.h"

class StorSys;
class PreventiveRecord;

class ServerDiskArrayState : public DiskArrayState {
  public:
    // What a build needs from the monitor of the subsystem it describes. The
    // monitor implements it; every call comes from the subsystem's task under
    // the subsystem-in-use lock.
    class Source {
      public:
        virtual ~Source() = default;

        // Chooses the active controller afresh (the monitor's own rule) and
        // returns its slot: 0 X, 1 Y, or -1 when neither slot is filled.
        virtual int SelectActiveController() = 0;
        // The slot chosen last, without asking the controllers again.
        virtual int ActiveController() const = 0;
        // The controller in slot 0 (X) or 1 (Y); nullptr for an empty slot.
        virtual StorSys* Controller(int slot) = 0;
        // The subsystem's 12-character backplane id, NUL-terminated.
        virtual const char* BackplaneId() const = 0;
        // 1 after a successful host-sequence exchange, else 0.
        virtual std::uint32_t SequenceFlag() const = 0;
        // 1 while the log task is suspended, else 0.
        virtual std::uint32_t LogSuspended() const = 0;
        // The drive diagnostic state of slot 0..11: 1 running, 2 stopped
        // with a finding, 0 none (the drive-test records own the values).
        virtual std::uint32_t DriveDiagnosticState(std::uint32_t slot) const = 0;
        // A device notice: a text for the event log, never a client event.
        virtual void Notice(const char* text) = 0;

        // --- used by Refresh and PreventiveRecord::RunCheck only ---
        // The refresh's verdict: 1 when no valid state could be read.
        virtual void SetStateInvalid(bool invalid) = 0;
        // Compares the current state (possibly invalid) with a fresh valid
        // one and reports the differences; returns true when any was found.
        virtual bool CompareStates(const ServerDiskArrayState& current,
                                   ServerDiskArrayState& fresh) = 0;
        // Reads (and consumes) the controller log through the active
        // controller, counting its entries into the preventive record.
        virtual void ReadControllerLog() = 0;
        // Writes one finished subsystem-log record (header and body).
        virtual void WriteLogRecord(const unsigned char* bytes, std::uint32_t length) = 0;
    };

    // Steps of the build, for FailedStep().
    enum class BuildStep : std::uint32_t {
        kNone = 0,         // built completely
        kNoController,     // no active controller to read through
        kSubsystemPage,    // mode page 0x21 through the active controller
        kRawPage,          // vendor 0xEF
        kSubsystemState,   // vendor 0x20
        kModeSubsystem,    // mode page 0x21 (the state's copy)
        kModeCache,        // mode page 0x08
        kModeExtension,    // mode page 0x22
        kCabinetStatus,    // vendor 0xF2 page 3
        kDriveList,        // vendor 0x22
        kVirtualCapacity,  // vendor 0x24
        kLunTable,         // vendor 0x23 select 0
        kMissingDrives,    // vendor 0x23 select 1
        kAlias,            // vendor 0xFC
    };

    // Controller status of an empty controller slot.
    static constexpr std::uint32_t kStatusNoController = 4;
    // Controller status of a partner that is there but cannot be used.
    static constexpr std::uint32_t kStatusOffline = 5;
    // The partner's subsystem type id when its page 0x21 could not be read.
    static constexpr std::uint32_t kUnavailable = 0xFFFFFFFF;
    static constexpr std::uint32_t kServerRevision = 301;
    static constexpr std::uint32_t kBlockSize = 512;
    // The longest alias kept; a longer one leaves the alias empty.
    static constexpr std::uint32_t kMaxAlias = 12;

    // Builds the state of monitor's subsystem. The monitor must outlive the
    // state.
    explicit ServerDiskArrayState(Source& monitor);
    ~ServerDiskArrayState() override = default;
    ServerDiskArrayState(const ServerDiskArrayState&) = delete;
    ServerDiskArrayState& operator=(const ServerDiskArrayState&) = delete;

    // Refreshes a subsystem's current state as the status poll does: reads
    // the subsystem state through the active controller; when it answers,
    // builds a new state. A valid one clears the monitor's state-invalid
    // flag, is compared with the current one, has the controller log read
    // when its mode page asks for it, is counted into record (may be null)
    // and replaces current. An invalid one sets the flag and is dropped.
    enum class RefreshOutcome { kNoAnswer, kInvalid, kReplaced };
    static RefreshOutcome Refresh(Source& monitor, std::unique_ptr<ServerDiskArrayState>& current,
                                  PreventiveRecord* record);

    bool Valid() const { return ValidStateData() == 1; }
    BuildStep FailedStep() const { return failedStep_; }
    // The monitor the state was built for.
    Source& Monitor() const { return *monitor_; }
    // Slot of the active controller the build read through, or -1.
    int ActiveSlot() const { return activeSlot_; }
    // The raw page as the build read it (unusable when the build failed before it).
    const PageTlvDecoder& Decoder() const { return decoder_; }
    // Outcome of the last storage command of the build.
    const ScsiResult& LastResult() const { return lastResult_; }
    // Error record of the last storage command that failed (defaults when none).
    const oruerr& Error() const { return error_; }
    // Whether the controller log is read on refresh: mode subsystem page
    // byte 12 bit 6 (0 when the page was not read).
    bool WantsControllerLog() const;

  private:
    void Build();
    bool BuildControllers();
    void ReadControllerIdentity(int slot, StorSys& controller);
    void ApplyRawPage(int active);
    bool ReadPages(StorSys& active);
    bool ReadDrives(StorSys& active);
    bool ReadLunsAndCapacity(StorSys& active);
    bool ReadMissing(StorSys& active);
    void MarkDiagnostics();
    bool ReadIdentityValues(StorSys& active);
    void CheckPartner();
    bool Fail(BuildStep step);
    void Failed(const ScsiResult& result);

    Source* monitor_;
    int activeSlot_ = -1;
    std::string backplane_[2];  // as each controller reported it
    PageTlvDecoder decoder_;
    ScsiResult lastResult_;
    oruerr error_;
    BuildStep failedStep_ = BuildStep::kNone;
};
