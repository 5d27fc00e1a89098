// The state of the simulated cabinets: what a real controller pair keeps
// and what survives a restart of strovsim (ModelJson writes it to a file).
// Plain data; ControllerEngine and Simulator change it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/BlockStore.h"
#include "sim/FirmwareState.h"

namespace sim {

inline constexpr int kDriveSlots = 12;
inline constexpr int kMaxLuns = 8;
inline constexpr int kMaxMissingDrives = 6;
inline constexpr std::uint32_t kBlockSize = 512;

// Drive states as the controller reports them.
enum DriveState : std::uint8_t {
    kDriveMember = 0,
    kDriveEmpty = 1,
    kDriveNew = 2,  // not a member
    kDriveDowned = 3,
    kDriveFailed = 4,
    kDriveForeign = 5,
    kDriveInitFailed = 7,
    kDriveSpare = 8,
    kDriveRebuilding = 9,
};

// Subsystem state values (byte 1 of the state block).
enum SubsystemState : std::uint8_t {
    kSubsysReady = 0,
    kSubsysConditions = 1,  // ready with conditions (not redundant, rebuilding, ...)
    kSubsysNotEnoughDrives = 2,
    kSubsysNeedsRecovery = 4,  // a volume set is to be chosen (0xFA)
    kSubsysShuttingDown = 5,
    kSubsysShutDown = 6,
    kSubsysStarting = 7,  // not yet ready after a restart
    kSubsysFormatting = 14,
};

// LUN status values of the LUN table.
enum LunStatus : std::uint8_t {
    kLunReady = 1,
    kLunDegraded = 2,
    kLunRebuilding = 3,
    kLunFormatting = 4,
    kLunFailed = 5,
};

// Controller status by slot in the raw page (tag 2), a component state:
// whether a controller works, not which role it has (page 0x80 tells that).
enum ControllerStatus : std::uint8_t {
    kCtlGood = 1,  // active or passive
    kCtlFailed = 2,
    kCtlAbsent = 3,
    kCtlOffline = 5,
};

struct DefectEntry {
    std::uint32_t cylinder = 0;  // 24 bits
    std::uint8_t head = 0;
    std::uint32_t sector = 0;
};

using BlockMap = BlockStore::Map;

// Blocks of a drive's media that an operator made bad: reads and verifies
// of them fail, writes to them fail, or reads return other data than was
// written (the drive does not notice).
enum class MediaErrorKind : std::uint8_t { kRead, kWrite, kCorrupt };

struct MediaError {
    std::uint32_t first = 0;
    std::uint32_t count = 1;
    MediaErrorKind kind = MediaErrorKind::kRead;
};

struct DriveModel {
    bool present = false;
    std::uint8_t state = kDriveEmpty;
    std::uint8_t further = 0;  // further state value
    std::string vendor;        // 8
    std::string product;       // 16
    std::string revision;      // 4
    std::string serial;        // 12
    std::string volumeSetId;   // 16
    std::string driveId;       // 16, the drive id of the drive list
    bool predictiveFailure = false;
    std::vector<std::uint32_t> badBlocks;  // blocks that give medium errors
    std::vector<MediaError> mediaErrors;   // injected by the operator
    // Medium errors the drive could not correct: writes, reads, verifies
    // (log pages 2, 3 and 5).
    std::array<std::uint32_t, 3> uncorrectedErrors{};
    std::uint32_t blocks = 0;  // capacity in 512-byte blocks
    std::vector<DefectEntry> defects;
    std::array<std::uint32_t, 7> errorCounters{};  // log pages 2, 3, 5, parameters 0..6
    std::uint32_t nonMediumErrors = 0;             // log page 6
    std::vector<std::uint8_t> modeSelectData;      // last MODE SELECT(6) parameter list
    std::map<std::uint8_t, std::vector<std::uint8_t>> modePages;  // saved pages, from the code on
    bool unitAttention = false;  // the next command (but INQUIRY, REQUEST SENSE) is told
    bool initFailNext = false;   // fails its initialization at the next restart
    std::vector<std::uint8_t> firmwareAssembly;  // microcode arriving (not saved)
    BlockStore data;                             // its blocks (a block file beside the state file)
};

struct LunModel {
    bool present = false;
    std::uint8_t raidLevel = 5;
    std::uint8_t state = kLunReady;
    bool deleting = false;
    std::uint32_t blocks = 0;  // 512-byte blocks
    std::uint32_t units = 0;   // capacity as created, in units of 2^19 bytes
    // Members lost that held their part of the unit and were not rebuilt:
    // a RAID 5 unit survives one; from two on its data are gone (failed).
    std::uint8_t lostMembers = 0;
    BlockStore data;  // its blocks (a block file beside the state file)
};

struct MissingDrive {
    std::uint8_t slot = 0;
    std::string vendor;       // 8
    std::string product;      // 16
    std::string driveId;      // 16
    std::string serial;       // 12
    std::string volumeSetId;  // 16
    std::uint32_t blocks = 0;
};

struct ControllerModel {
    bool present = true;
    bool failed = false;  // answers nothing: every path gets a system error
    std::string serial;   // 16
    std::uint8_t formatLevel = 3;
    std::string vendor = "STROVANE";
    std::string productId = "QRVZX ARRAY";
    std::string revision = "0301";
    std::string firmwareRevision = "F301.00.00";  // 10
    std::uint8_t targetId = 0;
    std::uint8_t statusValue = 0;  // raw page tag 2 override; 0: derived (good, offline, absent)
    std::vector<int> silentPages;  // INQUIRY/mode pages or opcodes (0x100 + op) it refuses
    std::vector<std::uint8_t> dram, nvram, battery;  // raw page module lists
    bool noCode = false;  // its flash holds no valid image: it answers as a boot loader
};

enum class OperationKind {
    kFormat,
    kRebuild,
    kRestart,
    kDeleteLun,
    kShutdown,
    kRecovery,    // a volume set is being recovered (0xFA in state 4)
    kParityScan,  // the parity of the volume set is being scanned (0xFA otherwise)
};

struct LongOperation {
    OperationKind kind = OperationKind::kFormat;
    int target = 0;             // LUN or drive slot
    std::uint64_t totalMs = 0;  // simulated milliseconds
    std::uint64_t remainingMs = 0;
};

struct CabinetModel {
    std::string serial;  // 12, the backplane id of both controllers
    std::array<ControllerModel, 2> controllers;
    int activeSlot = 0;  // 0 = X, 1 = Y
    std::uint8_t state = kSubsysReady;
    std::uint8_t stateBefore = kSubsysReady;     // the state a restart returns to
    std::array<std::uint8_t, 3> stateFlags{};    // state block bytes 3..5
    std::array<std::uint8_t, 32> stateValues{};  // scenario-set state block bytes 8..30
    std::uint16_t hostSequence = 0;              // the 0xEE number, one per cabinet
    std::uint32_t refuseCount = 0;               // scripted host-sequence refusals left
    std::uint16_t refuseNumber = 0;              // number returned with each refusal
    bool shortDriveList = false;                 // answer 0x22 with 33-byte entries
    bool attention = false;                      // cabinet status changed since last read
    bool rebuildNeeded = false;
    bool rebuildStopped = false;
    std::array<DriveModel, kDriveSlots> drives;
    std::array<LunModel, kMaxLuns> luns;
    std::vector<MissingDrive> missing;
    std::vector<std::uint8_t> page08, page21, page22;  // mode pages from the page code on
    std::vector<std::uint32_t> cabinetWords;           // 42 words; word 1 is derived
    std::vector<std::uint32_t> cabinetExtra;           // 15 words (format level 3)
    std::vector<std::uint8_t> hardware1, hardware2;    // raw page tags 0 and 1
    std::vector<std::vector<std::uint8_t>> controllerLog;
    std::array<std::uint32_t, 4> usage{};
    std::string alias;  // at most 16
    std::string volumeSetId = std::string(16, 'F');
    std::vector<LongOperation> operations;
    FirmwareRuntime firmware;  // not saved
};

// An ordinary disk on a PHYSICALDRIVE path: answers INQUIRY but is no array.
struct PlainDiskModel {
    DriveModel drive;
};

// One device path. kind "STROVANE" or "PHYSICALDRIVE"; number dense per kind.
struct PathModel {
    std::string name;      // e.g. "STROVANE0"
    int cabinet = -1;      // index, or -1 for a plain disk
    int controller = 0;    // 0 = X, 1 = Y
    int plainDisk = -1;    // index into plainDisks
    bool removed = false;  // the path vanished (socket closed, opens fail)
    std::uint8_t port = 0, pathId = 0, target = 0, lun = 0;
};

struct WorldModel {
    std::vector<CabinetModel> cabinets;
    std::vector<PlainDiskModel> plainDisks;
    std::vector<PathModel> paths;
    double timeScale = 1.0;  // simulated ms per real ms for long operations
};

// Slot name: A1, B1, A2, B2, ... A6, B6.
std::string SlotName(int slot);

// Bytes of the controller's page 0x80 order fields, the subsystem state etc.
// are built in ControllerEngine; the defaults of new pages come from here.
std::vector<std::uint8_t> DefaultPage08();
std::vector<std::uint8_t> DefaultPage21(std::uint8_t targetX, std::uint8_t targetY);
std::vector<std::uint8_t> DefaultPage22();

// The drive the scenarios and the insert request put into a slot: a present
// QDISK QD-9100 of revision 0102.
DriveModel StockDrive(std::uint8_t state, const std::string& serial, const std::string& volumeSetId,
                      std::uint32_t blocks);
// A controller of a scenario whose DRAM module, two NVRAM modules and
// battery all read good.
ControllerModel StockController(std::uint8_t targetId, const std::string& serial);

}  // namespace sim
