// The map object of vxqxoru: one entry per host whose SNMP agent answered,
// one row per disk-array subsystem of the agent's table, and the platform
// map they are shown on (a submap per host, a symbol per subsystem whose
// status is the agent's subsystem status).
//
// Entries are ordered by host name, rows by serial number (both byte-wise,
// so capitals come first). All work runs on the application loop's thread,
// from the platform's events, the SNMP callbacks and idle time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netmgmt/map/standin/Qxw.h"

namespace vxqxoru {

class SnmpPoller;

struct SubsystemRow {
    std::int32_t status = 1;  // the agent's subsystem status, handed over unchanged
    bool managed = true;      // shown on the map (events 21 and 22)
    std::string serialNumber;
    QXwId objectId = 0;  // the subsystem's database object
    bool stale = false;  // the last table read of the host did not list it
};

struct ArrayEntry {
    std::string hostName;
    // The host object's information: objectId (0 until known) and
    // childSubmapId (the submap of the subsystem symbols) are read.
    QXwObjectInfo objectInfo;
    std::vector<SubsystemRow> rows;
};

// Host names longer than this are not taken.
inline constexpr std::size_t kMaxHostName = 511;

class ArrayMap {
  public:
    // Registers for the platform's events and opens the trap session.
    ArrayMap();
    // Removes the symbols and objects of every entry, closes the poller.
    ~ArrayMap();
    ArrayMap(const ArrayMap&) = delete;
    ArrayMap& operator=(const ArrayMap&) = delete;

    SnmpPoller& Poller() { return *poller_; }
    // The map every platform call is given (nullptr when none is open).
    const QXwMapInfo* MapInfo() const { return map_; }
    const std::vector<ArrayEntry>& Entries() const { return entries_; }

    // Operations on all entries (sync: inside a map sync bracket).
    void SyncSymbols();                                        // sync
    void ReleaseSymbols();                                     // sync
    void ReleaseEntries();                                     // sync
    void RemoveListedObjects(const QXwObjectList& objects);    // sync
    void SetManaged(const QXwObjectList& objects, bool flag);  // sync
    void ApplyTrapStatus(const std::string& hostName, const std::string& serialNumber,
                         std::int32_t status);
    void MergeEntry(const ArrayEntry& fresh);

    // A later read of a host: its rows not listed go stale, the listed ones
    // are current again and take the status the table shows.
    static void MergeRows(ArrayEntry& entry, const std::vector<SubsystemRow>& rows);
    // A new serial number is added in order; a known one is current again
    // and, with takeStatus, takes the row's status (within one read the
    // first row of a serial number keeps its own).
    static void MergeRow(std::vector<SubsystemRow>& rows, const SubsystemRow& row,
                         bool takeStatus = false);

  private:
    static void OnPlatformEvent(void* self, const QXwEvent& event);
    void OnMapOpen(const QXwMapInfo* map);
    void OnMapClose(const QXwEvent& event);

    void RefreshObjectInfo(ArrayEntry& entry);
    void CreateArraySymbol(ArrayEntry& entry);
    void RemoveArraySymbol(ArrayEntry& entry);
    void SetSymbolStatus(const ArrayEntry& entry);
    void DeleteRowObjects(ArrayEntry& entry);
    QXwId FindSymbol(QXwId object, QXwId submap);
    std::size_t CountSymbols(QXwId submap);

    std::vector<ArrayEntry> entries_;
    QXwMapInfo* map_ = nullptr;
    std::unique_ptr<SnmpPoller> poller_;
};

}  // namespace vxqxoru
