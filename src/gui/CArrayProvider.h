// The device provider of the Strovane arrays: the known hosts (kept in the
// profile), one DeviceEntry per array found on them, the workers that
// discover hosts, scan hosts and read capacities, the gross-status rounds
// that keep each array's status current, and the opening of an array's
// Device Properties.
//
// It shares the program's QEN with nobody but the interface thread: the
// QEN's subsystem list gathers every subsystem any scan found (the workers
// scan with QENs of their own and their results are merged in on the
// interface thread) and carries the gross-status datagrams. Interface thread
// only.
#pragma once

#include <QObject>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "gui/CDeviceProvider.h"
#include "gui/ClientWorkers.h"
#include "gui/DeviceStatus.h"

class OruSubsystem;
class PollMsg;
class QEN;

namespace platform {
class PrivateProfile;
}

namespace oru {

class ModelHost;

// One array as the list shows it.
struct DeviceEntry {
    std::string serialNumber;
    std::string alias;  // the serial number when the array has none
    std::string model;
    std::string statusText;
    std::string totalSpace;
    std::string unallocatedSpace;
    std::string hostName;    // the server name up to its first "."
    std::string hostDomain;  // the rest after that "."
    std::string hostOperatingSystem;
    std::string serverName;
    bool capacityRead = false;
    int statusValue = DS_NO_DATA;
    bool statusChanged = false;
};

// Whether a subsystem whose server name is `server` belongs to host `host`:
// the names are equal, or one is the other cut at its first "." (case is
// not looked at).
bool BelongsToHost(const std::string& server, const std::string& host);

class CArrayProvider : public QObject, public CDeviceProvider {
    Q_OBJECT

  public:
    // Gross-status rounds start this often (the suite's clock).
    static constexpr std::uint64_t kRoundMs = 30000;
    // An array that answered neither of the last two rounds shows "Unknown".
    static constexpr int kRoundsUntilUnknown = 2;
    // Replies taken in one poll at most, so a flood cannot hold the window.
    static constexpr int kRepliesPerPoll = 256;

    // Loads the known hosts from the profile.
    CArrayProvider(QEN& qen, platform::PrivateProfile& profile, ModelHost& host);
    ~CArrayProvider() override;

    int HostCount() const override { return static_cast<int>(hosts_.size()); }
    std::string HostName(int index) const override;
    void StartDiscovery(const std::string& host, bool clear) override;
    bool DiscoveryDone() override;
    void StartScan(const std::string& host) override;
    bool ScanDone() override;
    void ForgetAllDevices() override;
    int DeviceCount() const override { return static_cast<int>(entries_.size()); }
    int ColumnText(int device, const std::string& column, std::string* out) override;
    int StatusValue(int device) const override;
    bool StatusChanged(int device) override;
    bool CapacityWorkerIdle() const override { return capacityIdle_; }
    void Poll() override;
    int OpenProperties(const std::vector<int>& devices) override;
    void AbandonWaits() override;

    const DeviceEntry* Entry(int device) const;
    // Gross-status rounds sent so far.
    int RoundCount() const { return roundCount_; }

  signals:
    // A status changed: the changed devices have their flag set. Connect it
    // queued, so the window refreshes off the poll.
    void statusChanged();

  private:
    struct Slot {
        std::uint64_t id = 0;  // names the entry to workers that outlive it
        DeviceEntry entry;
        int missedRounds = 0;
        bool awaitingReply = false;
    };

    Slot* FindSlot(const std::string& server, const std::string& serial);
    Slot* FindSlot(std::uint64_t id);
    OruSubsystem* FindSubsystem(const DeviceEntry& entry) const;
    void FillEntry(DeviceEntry& entry, const OruSubsystem& subsystem) const;
    // Adds (or reuses) an entry for every listed subsystem of the host.
    void AddEntriesOfHost(const std::string& host);
    bool ListHoldsHost(const std::string& host) const;
    // Whether a subsystem of server name `server` is one of the host named
    // `host`: by BelongsToHost, or because a scan of that name found it (a
    // host named by an address or by another of its names: the service
    // reports itself by a name of its own).
    bool OfHost(const std::string& server, const std::string& host) const;
    // Replaces the list's subsystems of the host (all of them when host is
    // empty) by the ones a worker found.
    void MergeScan(const std::string& host, ScanResult& result);
    void SetStatus(Slot& slot, const StatusEvaluation& status);
    bool ApplyReply(const PollMsg& reply);
    void SendRound();
    void AddKnownHost(const std::string& host);

    void OnDiscoveryFinished(std::uint64_t generation, const std::string& host,
                             std::shared_ptr<ScanResult> result);
    void OnScanFinished(std::uint64_t generation, std::shared_ptr<ScanResult> result);
    void OnCapacityFinished(std::uint64_t generation, std::uint64_t slotId,
                            std::shared_ptr<CapacityResult> result);

    QEN& qen_;
    platform::PrivateProfile& profile_;
    ModelHost& host_;
    std::shared_ptr<WorkerAnchor> anchor_;

    std::vector<std::string> hosts_;
    std::vector<std::unique_ptr<Slot>> entries_;
    std::uint64_t nextSlotId_ = 1;

    std::optional<std::uint64_t> lastRoundMs_;
    int roundCount_ = 0;

    std::uint64_t discoveryGeneration_ = 0;
    bool discoveryDone_ = true;
    bool discoveryFailed_ = false;
    bool discoveryReported_ = true;

    std::uint64_t scanGeneration_ = 0;
    bool scanDone_ = true;
    bool scanFailed_ = false;
    std::string scanHost_;
    // The server names the last scan of a host found, by the name the host
    // was scanned by (as given).
    std::map<std::string, std::set<std::string>> scannedServers_;

    std::uint64_t capacityGeneration_ = 0;
    bool capacityIdle_ = true;
    std::uint64_t capacitySlot_ = 0;
};

}  // namespace oru
