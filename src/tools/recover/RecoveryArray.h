// The recovery tool's view of one array, opened directly through the
// pass-through device layer and driven with the storage commands: how the
// array is found and read, how its state is judged and shown, the
// volume-set list and menu, the volume-set command, the progress poll and
// the controller log.
//
// The array is found by its 12-character backplane id among the array
// paths of a scan; of several controllers with that id the active one is
// taken. Nothing here takes the device lock: the tool runs one command at
// a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "coresys/server/scsi/DeviceRecord.h"
#include "coresys/server/storsys/StorSys.h"
#include "coresys/server/storsys/StorSysRecords.h"
#include "tools/recover/SalvageRun.h"

namespace salvage {

class LogMessageModules;

class RecoveryArray {
  public:
    static constexpr std::uint32_t kSlots = 12;
    static constexpr std::size_t kIdLength = 16;

    // Waits, in milliseconds of the suite's clock seam.
    static constexpr std::uint64_t kBusyWaitMs = 2000;
    static constexpr std::uint64_t kPollWaitMs = 5000;
    static constexpr std::uint64_t kUnreadableWaitMs = 135000;
    // Bounds of the waits, so that a controller that stays busy, a progress
    // that never moves or a controller that went away cannot hold the tool
    // for ever: about three minutes of busy reads, one hour without any
    // progress, eight failed progress reads in a row (about 18 minutes).
    static constexpr std::uint32_t kMaxBusyReads = 90;
    static constexpr std::uint32_t kStallPolls = 720;
    static constexpr std::uint32_t kMaxFailedProgressReads = 8;
    // Log reads that may find the log grown past the allocation.
    static constexpr std::uint32_t kMaxLogReads = 4;
    static constexpr std::uint32_t kLogFirstAllocation = 8192;
    static constexpr std::uint32_t kLogSlack = 256;

    // State flags F101..F123 by number.
    enum Flag : int {
        F101 = 101,
        F102 = 102,
        F103 = 103,
        F104 = 104,
        F107 = 107,
        F108 = 108,
        F109 = 109,
        F110 = 110,
        F111 = 111,
        F112 = 112,
        F113 = 113,
        F114 = 114,
        F116 = 116,
        F117 = 117,
        F118 = 118,
        F119 = 119,
        F120 = 120,
        F121 = 121,
        F122 = 122,
        F123 = 123,
    };

    enum class MenuResult { kChosen, kQuit, kEndOfInput };
    enum class PollResult { kFailed = 0, kEnded = 1, kStalled = 2 };

    // Opens the array: scan, choose the controller, read identity, drive
    // list and state. Readable() tells whether all of that went through.
    RecoveryArray(const std::string& arrayId, SalvageRun& run, const LogMessageModules& modules);
    virtual ~RecoveryArray();
    RecoveryArray(const RecoveryArray&) = delete;
    RecoveryArray& operator=(const RecoveryArray&) = delete;

    bool Readable() const { return !unreadable_; }
    // Format level of the controller: the two digits at identity page bytes
    // 16..17, 0 unless both are digits.
    std::uint32_t Revision() const { return revision_; }
    void SetContinuous(bool continuous) { continuous_ = continuous; }

    // Reads the state block (waiting while the array is busy) and page
    // 0x22; 1 when both were read.
    int Refresh();

    // --- the state ---
    bool Flag(int flag) const;
    std::uint32_t StateValue() const { return state_.value[1]; }
    bool InProgress() const { return page22_.word[14] != 0; }
    std::uint32_t ProgressValue() const { return page22_.word[15]; }
    bool ScanWanted() const { return !InProgress() && Flag(F121); }
    bool WorkWanted() const { return !InProgress() && (StateValue() == 4 || Flag(F121)); }
    bool Severe() const;
    bool Other() const;
    bool SeveralSets() const;
    std::size_t VolumeSetCount() const { return volumeSets_.size(); }
    std::uint32_t UnassignedCount() const { return unassignedCount_; }

    // --- what the user sees ---
    void StateDisplay();
    void StatusReport();
    void VolumeSetList(bool interactive);
    MenuResult RunMenu();

    // --- the choice and the command ---
    // Selects a volume set id; false (selection 16 '*') unless it is 16
    // characters long.
    bool SelectVolumeSetId(const char* id);
    void UseDefaultVolumeSet() { useDefault_ = true; }
    bool ValidChoice() const;
    bool KnownId() const;
    const char* Selection() const { return selected_; }
    bool UsesDefault() const { return useDefault_; }
    // Tells the controller the set to recover (nothing with -debug).
    bool SendVolumeSetId();
    PollResult ProgressPoll();

    // --- the controller log ---
    // Reads the log with a select value (1 consumes it); false on failure.
    bool ReadLog(int select);
    // Walks the log read last, printing each record unless quiet, then the
    // count. False (and 201/33) when a record cannot be framed.
    bool WalkLog(bool quiet);
    // Reads and walks the log; says 201/32 or 201/33 when that fails.
    bool LogCount(bool quiet);
    std::uint32_t LogRecordCount() const { return logRecords_; }
    const std::vector<unsigned char>& LogBytes() const { return log_; }

  private:
    // What a slot of the slot table shows.
    enum class Shown { kEmpty, kOtherKind, kUnassigned, kDrive };
    struct SlotView {
        Shown shown = Shown::kEmpty;
        std::string id;  // the drive's 16-character volume set id (kDrive)
    };

    void Open(const std::string& arrayId);
    void BuildTables();
    // The volume set id the slot's entry carries, as the lists compare it.
    std::string ShownId(std::uint32_t slot) const;
    // The slots showing id, after the drives label, and the line end.
    void ListSlots(const std::string& id);
    std::string SlotText(std::uint32_t slot) const;
    // A volume set id as it can be shown on a terminal.
    static std::string Printable(const std::string& id);
    bool ReadState();
    void Wait(std::uint64_t ms);

    SalvageRun& run_;
    std::ostream& out_;
    std::ostream& err_;
    const LogMessageModules& modules_;
    std::string arrayId_;

    char selected_[kIdLength + 1] = {};
    bool useDefault_ = false;
    bool continuous_ = false;
    bool unreadable_ = true;
    std::uint32_t revision_ = 0;

    DeviceRecord* devices_ = nullptr;
    std::unique_ptr<StorSys> storage_;
    IdentityPage identity_;
    SubsystemStateRecord state_;
    ModePage22Record page22_;
    DriveTableEntry drives_[StorSys::kDriveTableSize];

    SlotView slots_[kSlots];
    std::vector<std::string> volumeSets_;  // distinct 16-character ids
    std::uint32_t unassignedCount_ = 0;
    std::string unassignedId_ = "*******";

    std::vector<unsigned char> log_;
    std::uint32_t logLength_ = 0;
    std::uint32_t logRecords_ = 0;

    std::uint32_t menuCount_ = 0;
    std::uint32_t menuLowest_ = 1;
};

}  // namespace salvage
