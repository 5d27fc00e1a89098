// A source of devices for the device model: the hosts it knows, the
// devices it found on them with the texts the list shows, their status,
// and the workers behind discovery, host scans and capacity reads.
//
// The base does nothing: its queries answer 0 (or an empty text), except
// DiscoveryDone, ScanDone and CapacityWorkerIdle, which answer true, and
// StatusValue, which answers 10 (no data). Devices are numbered 0.. inside
// their provider, in the order the scans produced them; numbers stay valid
// until ForgetAllDevices.
#pragma once

#include <string>
#include <vector>

namespace oru {

class CDeviceProvider {
  public:
    // ColumnText: the text is known and was written; the column is not one
    // of the provider's; the text is being read by the capacity worker (ask
    // again once CapacityWorkerIdle).
    static constexpr int kTextReady = 0;
    static constexpr int kNoSuchColumn = -1;
    static constexpr int kTextPending = 1;

    virtual ~CDeviceProvider() = default;

    virtual int HostCount() const { return 0; }
    virtual std::string HostName(int /*index*/) const { return {}; }
    // host empty: discover every host that answers a broadcast. clear: the
    // known hosts are forgotten first.
    virtual void StartDiscovery(const std::string& /*host*/, bool /*clear*/) {}
    virtual bool DiscoveryDone() { return true; }
    virtual void StartScan(const std::string& /*host*/) {}
    virtual bool ScanDone() { return true; }
    virtual void ForgetAllDevices() {}
    virtual int DeviceCount() const { return 0; }
    // column: a column's profile name ("Array Serial #", ...).
    virtual int ColumnText(int /*device*/, const std::string& /*column*/, std::string* out) {
        out->clear();
        return kTextReady;
    }
    virtual int StatusValue(int /*device*/) const { return 10; }
    // Reading the flag clears it.
    virtual bool StatusChanged(int /*device*/) { return false; }
    virtual bool CapacityWorkerIdle() const { return true; }
    // Called on every idle pass of the interface.
    virtual void Poll() {}
    // Opens the Device Properties of the devices: 0 done or refused with a
    // message, -1 failed (with a message).
    virtual int OpenProperties(const std::vector<int>& /*devices*/) { return 0; }
    // A wait for a worker of this provider gave up: the scan counts as
    // failed, the discovery as failed, the capacity as unreadable. Results
    // that still come are dropped.
    virtual void AbandonWaits() {}
};

}  // namespace oru
