// The storage command layer bound to one array path: one member per command
// the hosts send to a Strovane controller, and the executor that runs them.
//
// Every member builds a ScsiCommand, runs it with Execute, decodes the reply
// into the caller's record and returns 1 on success, 0 on failure; the
// result record (always the last argument) holds the details. A member that
// fails leaves the fields it did not reach untouched. Every length and count
// taken from a reply is checked against the bytes received before use.
//
// The executor serialises all commands of the process on one device lock
// (DeviceLock) unless the object was made without locking (the offline
// tools, which run one command at a time).
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "coresys/server/scsi/DeviceRecord.h"
#include "coresys/server/scsi/ScsiCommand.h"
#include "coresys/server/scsi/ScsiResult.h"
#include "coresys/server/storsys/StorSysRecords.h"

class StorSys {
  public:
    enum class Locking { Locked, Unlocked };

    static constexpr std::uint32_t kFormatLevelUnknown = 0xFFFFFFFFu;
    static constexpr std::uint32_t kDriveTableSize = 12;
    static constexpr std::uint32_t kLunTableSize = 8;
    static constexpr std::uint32_t kMissingTableSize = 6;
    static constexpr std::uint32_t kRetrySleepMs = 10;
    static constexpr std::uint32_t kMaxTries = 3;
    static constexpr std::uint32_t kSenseTries = 5;

    // Receives the texts of server-software notices (major 13, minor 4).
    using NoticeHandler = void (*)(const char* text);

    // record is not owned and must outlive the object.
    explicit StorSys(const DeviceRecord* record, Locking locking = Locking::Locked);
    StorSys(const StorSys&) = delete;
    StorSys& operator=(const StorSys&) = delete;

    // The process-wide device lock around every single pass-through.
    static std::mutex& DeviceLock();
    static void SetNoticeHandler(NoticeHandler handler);

    const DeviceRecord* Record() const { return record_; }
    // Cached format level: unknown (all ones) until ReadIdentityPage succeeds.
    std::uint32_t FormatLevel() const { return formatLevel_; }
    void SetFormatLevel(std::uint32_t level) { formatLevel_ = level; }
    // Page kind from the last ReadModePage21: 2 for type id 12, 1 for 13, else 0.
    std::uint32_t PageKind() const { return pageKind_; }

    // --- executor ---
    // Runs command, retrying as the controller contract says. result holds
    // the last run, and result.lunSetChanged tells whether any run met the
    // unit attention of a changed logical-unit set.
    int Execute(ScsiCommand& command, ScsiResult& result);
    int RequestSense(std::uint8_t lun, ScsiResult& result);

    // --- controller pages ---
    // Reads the controller log: its 3-byte header, then header + entries.
    // Copies up to size bytes to buffer (may be null) and stores the bytes
    // read in *length (may be null). flag != 0 consumes the entries read.
    int ReadControllerLog(int flag, unsigned char* buffer, std::uint32_t size,
                          std::uint32_t* length, ScsiResult& result);
    int ReadControllerStatus(int ctl, std::uint32_t values[4], ScsiResult& result);
    int ReadCabinetStatus(int ctl, CabinetStatusRecord& record, ScsiResult& result);
    // Reads len bytes of the subsystem state block into buffer.
    int ReadSubsystemState(int ctl, std::uint8_t len, unsigned char* buffer, ScsiResult& result);
    // Decodes a state block of length bytes (any length; missing bytes read 0).
    void DecodeSubsystemState(const unsigned char* block, std::uint32_t length,
                              SubsystemStateRecord& record) const;
    // word[0] state, word[1] further value, word[2..5] the four drive values.
    int ReadPhysicalDriveState(std::uint8_t drive, std::uint32_t word[6], ScsiResult& result);
    // Fills table[0..11]; entries past the list get state 1. *count (may be
    // null) receives the number of entries decoded.
    int ReadPhysicalDriveList(DriveTableEntry table[kDriveTableSize], std::uint32_t* count,
                              ScsiResult& result);
    // The vendor (8 characters, as the drive gives them) of the drive that a
    // drive-list entry names, from the drive's standard INQUIRY through the
    // exchange: the list itself carries none. A drive is asked once; the
    // answer is kept for its slot while the same drive (serial and product)
    // sits there. A failed or uninitialized drive (state 4 or 7) is not
    // asked. Empty when the drive does not tell. Thread-safe.
    std::string DriveVendor(const DriveTableEntry& entry);
    // The two-step list 0x23 with its select byte, raw (length field included).
    int ReadList23(std::uint8_t select, std::vector<unsigned char>& list, ScsiResult& result);
    int ReadLunTable(LunTableEntry table[kLunTableSize], ScsiResult& result);
    int ReadMissingDrives(MissingDriveEntry table[kMissingTableSize], std::uint32_t* count,
                          ScsiResult& result);
    int ReadVirtualCapacity(std::uint32_t& blocks, std::uint32_t& blockSize, ScsiResult& result);
    // Host sequence (0xEE). On success value becomes the controller's number.
    // A refusal (5/0x80/0x28) also stores the number it carried, and fails.
    int ReadSequenceNumber(int flag, std::uint16_t& value, std::uint16_t next, ScsiResult& result);
    static bool IsSequenceRefusal(const ScsiResult& result);
    // The whole raw page (0xEF), length field included.
    int ReadRawPage(std::vector<unsigned char>& page, ScsiResult& result);
    // Alias (0xFC): up to 16 characters and a NUL into text; *length the
    // characters before the first NUL. Below level 3 nothing is sent, length 0.
    int ReadAlias(char text[17], std::uint32_t& length, ScsiResult& result);

    // --- controller actions ---
    int AddPhysicalDrive(std::uint8_t drive, ScsiResult& result);
    int DownPhysicalDrive(std::uint32_t value3, std::uint32_t allowance, std::uint8_t drive,
                          ScsiResult& result);
    int CreateLun(const unsigned char descriptor[6], ScsiResult& result);
    // Builds the 6-byte CreateLun descriptor: LUN, BE32 capacity, 0.
    static void MakeLunDescriptor(std::uint8_t lun, std::uint32_t capacity,
                                  unsigned char descriptor[6]);
    int DeleteLun(std::uint8_t lun, ScsiResult& result);
    int FormatSubsystem(std::uint8_t kind, ScsiResult& result);
    int RenumberLun(std::uint8_t oldLun, std::uint8_t newLun, ScsiResult& result);
    int ResetPhysicalDrive(std::uint8_t drive, ScsiResult& result);
    int SpinUpPhysicalDrive(std::uint8_t drive, ScsiResult& result);  // 0xE7
    int ShutdownSubsystem(ScsiResult& result);
    int SwitchController(ScsiResult& result);
    int RestartController(int mode, ScsiResult& result);
    int StartRebuild(ScsiResult& result);
    int StopRebuild(ScsiResult& result);
    int WriteVolumeSetId(const char id[16], bool useDefault, ScsiResult& result);
    int WriteAlias(const char alias[12], ScsiResult& result);

    // --- standard commands to a LUN ---
    int TestUnitReady(std::uint8_t lun, ScsiResult& result);
    // TEST UNIT READY run once under the device lock, without retries.
    int TestUnitReadyDirect(std::uint8_t lun, ScsiResult& result);
    // REQUEST SENSE through the executor; the sense bytes go to sense (may be null).
    int ReadSense(std::uint8_t lun, unsigned char sense[26], ScsiResult& result);
    int FormatUnit(std::uint8_t lun, ScsiResult& result);
    int ReadIdentityPage(std::uint8_t lun, IdentityPage& page, ScsiResult& result);
    int StandardInquiry(std::uint8_t lun, InquiryData& data, ScsiResult& result);
    int ReadUnitSerialPage(std::uint8_t lun, UnitSerialPage& page, ScsiResult& result);
    int ReadLunMap(std::uint8_t lun, std::uint8_t present[8], ScsiResult& result);
    int StartStopUnit(std::uint8_t lun, bool start, ScsiResult& result);
    int ReadCapacity(std::uint8_t lun, std::uint32_t& lastBlock, std::uint32_t& blockLength,
                     ScsiResult& result);
    // READ(10) / WRITE(10) / WRITE AND VERIFY(10) / VERIFY(10): length bytes
    // to or from buffer (count x 512 as the caller computes it). A length
    // above ScsiCommand::kMaxDataLength is refused (EINVAL) unsent, here and
    // in WriteBuffer.
    int ReadBlocks(std::uint8_t lun, std::uint32_t block, std::uint16_t count,
                   unsigned char* buffer, std::uint32_t length, ScsiResult& result);
    int WriteBlocks(std::uint8_t lun, std::uint32_t block, std::uint16_t count,
                    const unsigned char* buffer, std::uint32_t length, ScsiResult& result);
    int WriteVerifyBlocks(std::uint8_t lun, std::uint32_t block, std::uint16_t count,
                          const unsigned char* buffer, std::uint32_t length, ScsiResult& result);
    int VerifyBlocks(std::uint8_t lun, std::uint32_t block, std::uint16_t count,
                     ScsiResult& result);
    // WRITE BUFFER: offset BE24 at 3..5, length BE24 at 6..8.
    int WriteBuffer(std::uint8_t mode, std::uint32_t offset, const unsigned char* data,
                    std::uint32_t length, ScsiResult& result);
    int WriteCachingPage(std::uint8_t lun, bool wce, bool rcd, ScsiResult& result);
    int WriteModePage22(std::uint8_t lun, const ModePage22Record& record, ScsiResult& result);
    int WriteModePage21(std::uint8_t lun, const ModePage21Record& record, int flag,
                        ScsiResult& result);
    int ReadModePage22(std::uint8_t lun, ModePage22Record& record, ScsiResult& result);
    int ReadCachingPage(std::uint8_t lun, bool& wce, bool& rcd, ScsiResult& result);
    int ReadModePage21(std::uint8_t lun, ModePage21Record& record, ScsiResult& result);

    // --- drive exchange: a CDB for the drive in a slot, then its data phase ---
    // direction: ScsiCommand::kNoData / kDataOut / kDataIn.
    int SendRequestBlock(std::uint8_t lun, std::uint32_t direction, std::uint8_t drive,
                         std::uint32_t dataLength, const unsigned char* driveCdb,
                         std::uint8_t driveCdbLength, ScsiResult& result);
    // Collects the drive's answer (0x29 / 0xF3 / 0xF4). For data in, *moved
    // (may be null) receives the bytes that arrived; a short transfer is no failure.
    // A length above ScsiCommand::kMaxDataLength is refused (EINVAL) unsent.
    int ExchangeReply(std::uint8_t lun, std::uint32_t direction, std::uint32_t length,
                      unsigned char* buffer, std::uint32_t* moved, ScsiResult& result);
    // One drive command: SendRequestBlock, then ExchangeReply when it succeeded.
    // With moved, *moved receives the bytes the data phase moved; without it
    // the data phase must move all length bytes, else the command fails
    // (system error EIO). A length above ScsiCommand::kMaxDataLength is
    // refused (EINVAL) before anything is sent.
    int DriveCommand(std::uint8_t drive, const unsigned char* driveCdb, std::uint8_t cdbLength,
                     std::uint32_t direction, unsigned char* buffer, std::uint32_t length,
                     std::uint32_t* moved, ScsiResult& result);
    int DriveReadCapacity(std::uint8_t drive, std::uint32_t& lastBlock, std::uint32_t& blockLength,
                          ScsiResult& result);
    int DriveModeSense(std::uint8_t drive, bool dbd, std::uint8_t pageControlAndCode,
                       unsigned char* buffer, std::uint8_t allocation, ScsiResult& result);
    int DriveRead(std::uint8_t drive, std::uint32_t block, std::uint16_t count,
                  unsigned char* buffer, ScsiResult& result);
    int DriveWrite(std::uint8_t drive, std::uint32_t block, std::uint16_t count,
                   const unsigned char* buffer, ScsiResult& result);
    int DriveWriteVerify(std::uint8_t drive, std::uint32_t block, std::uint16_t count,
                         const unsigned char* buffer, ScsiResult& result);
    int DriveVerify(std::uint8_t drive, std::uint32_t block, std::uint16_t count,
                    ScsiResult& result);
    int DriveTestUnitReady(std::uint8_t drive, ScsiResult& result);
    int DriveReadDefectData(std::uint8_t drive, bool plist, bool glist, std::uint8_t format,
                            unsigned char* buffer, std::uint16_t allocation, std::uint32_t* moved,
                            ScsiResult& result);
    int DriveInquiry(std::uint8_t drive, unsigned char buffer[36], std::uint32_t* moved,
                     ScsiResult& result);
    int DriveInquiryPage(std::uint8_t drive, std::uint8_t page, unsigned char* buffer,
                         std::uint8_t allocation, std::uint32_t* moved, ScsiResult& result);
    int DriveModeSelect(std::uint8_t drive, std::uint8_t pfOrSp, const unsigned char* data,
                        std::uint8_t length, ScsiResult& result);
    int DriveLogSelect(std::uint8_t drive, std::uint8_t pcrOrSp, std::uint8_t pageControl,
                       const unsigned char* data, std::uint16_t length, ScsiResult& result);
    int DriveLogSense(std::uint8_t drive, std::uint8_t page, unsigned char* buffer,
                      std::uint16_t allocation, std::uint32_t* moved, ScsiResult& result);

    // Data length of a drive block.
    static constexpr std::uint32_t kBlockSize = 512;

  private:
    int RunOnce(ScsiCommand& command, ScsiResult& result);
    // Execute's runs (at most kMaxTries); lunSetChanged is set when any run
    // met the unit attention of a changed LUN set.
    int RunWithRetries(ScsiCommand& command, ScsiResult& result, bool& lunSetChanged);
    int ReadTwoStep(std::uint8_t opcode, std::uint8_t select, std::vector<unsigned char>& bytes,
                    ScsiResult& result);
    void CompleteShortEntry(DriveTableEntry& entry, ScsiResult& result);
    // Keeps the vendor an INQUIRY named for the entry's slot; answers it.
    std::string KeepVendor(const DriveTableEntry& entry, const unsigned char* inquiry,
                           std::uint32_t moved);
    static void Notice(const char* text);

    // A drive's vendor as its INQUIRY gave it, kept per slot.
    struct KnownVendor {
        bool known = false;
        std::string serial;
        std::string product;
        std::string vendor;
    };

    const DeviceRecord* record_;
    Locking locking_;
    std::uint32_t formatLevel_ = kFormatLevelUnknown;
    std::uint32_t pageKind_ = 0;
    std::mutex vendorLock_;
    std::array<KnownVendor, kDriveTableSize> vendors_;
};
