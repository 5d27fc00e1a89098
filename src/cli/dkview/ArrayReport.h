// dkview's displays of one array's state, readable (labelled lines) or raw
// (one ':'-joined record per line for scripts).
//
// Records: D summary, L logical units, S settings, H hardware, V block
// geometry, C controllers, PD and MD drives and missing drives, A the
// service's requests for the array. Every text field is read within its
// width; a controller, unit or slot the state lacks is shown as absent,
// never read past the lists; capacities are computed in 64 bits.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "coresys/common/DiskArrayState.h"
#include "coresys/common/OruServerState.h"

namespace dkview {

class ArrayReport {
  public:
    // Megabytes of a block count c and size s: (c + 1) x s / 2^20.
    static std::uint64_t Megabytes(std::uint32_t blocks, std::uint32_t blockSize);
    // Bytes (c + 1) x s, and bytes rounded to megabytes (adding 2^19 first).
    static std::uint64_t Bytes(std::uint32_t blocks, std::uint32_t blockSize);
    static std::uint64_t RoundedMegabytes(std::uint64_t bytes);

    // The figures of the summary record.
    struct Summary {
        std::uint32_t present = 0;  // slots holding a drive
        std::uint32_t members = 0;  // drives in state 0 (member) or 9 (rebuilding)
        std::uint32_t others = 0;   // present drives neither members nor spares
        std::uint32_t spares = 0;   // drives in state 8 (hot spare)
        std::uint32_t luns = 0;     // existing logical units
        std::uint32_t missing = 0;  // missing-drive entries in use
        std::uint64_t totalMb = 0;  // members
        std::uint64_t lunMb = 0;    // existing logical units
        std::uint64_t otherMb = 0;  // the other drives
        std::uint64_t spareMb = 0;  // hot-spare reserve
        std::uint64_t freeMb = 0;   // the room for units (DiskArrayState::UnallocatedBytes)
    };
    static Summary Summarize(const DiskArrayState& state);

    // server may be nullptr (no server record in the reply).
    ArrayReport(const DiskArrayState& state, const OruServerState* server, bool raw, bool verbose,
                std::ostream& out);

    // The readable head of a display (nothing in raw form).
    void Head();
    void SummaryRecord();
    // unit < 0: every unit the state has, and the total.
    void LogicalUnits(std::int32_t unit);
    void Settings();
    void HardwareRecord();
    void Geometry();
    void Controllers();
    void Drives();
    void MissingDrives();
    void ServerStatus();

    // The raw head of a record: its letters, the report controller's
    // vendor and product (trimmed; empty without a controller).
    std::string RawHead(const char* letters) const;

  private:
    std::string Text(int item) const;
    std::string Text(int item, const char* value) const;
    std::string Text(int item, std::uint32_t value) const;
    std::string Text(int item, std::int32_t value) const;
    void Heading(const std::string& text);
    void Value(const std::string& text);
    std::uint32_t ControllerStatus(std::uint32_t index) const;
    std::string SubsystemSerial() const;
    std::string Alias() const;

    const DiskArrayState& state;
    const OruServerState* server;
    bool raw;
    bool verbose;
    std::ostream& out;
    const ControllerInfo* reportController = nullptr;  // nullptr: none in the state
};

}  // namespace dkview
