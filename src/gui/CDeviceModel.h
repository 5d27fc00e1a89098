// The graphical manager's model of the world: its device providers and the
// table of global device indices that the list shows.
//
// A global index is the provider's number in bits 16-31 and the device's
// number inside its provider in bits 0-15; indices enter the table in the
// order the scans produced the devices, and stay until ForgetAllDevices.
// Knows nothing of widgets. Interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/CDeviceProvider.h"

namespace oru {

class CDeviceModel {
  public:
    static constexpr std::uint32_t Index(int provider, int device) {
        return (static_cast<std::uint32_t>(provider) << 16) |
               (static_cast<std::uint32_t>(device) & 0xFFFFu);
    }
    static constexpr int ProviderOf(std::uint32_t index) { return static_cast<int>(index >> 16); }
    static constexpr int DeviceOf(std::uint32_t index) { return static_cast<int>(index & 0xFFFFu); }

    void AddProvider(std::unique_ptr<CDeviceProvider> provider);
    int ProviderCount() const { return static_cast<int>(providers_.size()); }
    CDeviceProvider& Provider(int n) { return *providers_[static_cast<std::size_t>(n)]; }

    // Every host name of every provider, each once (the first kept).
    std::vector<std::string> HostNames() const;

    void StartDiscovery(const std::string& host, bool clear);
    bool DiscoveryDone();
    void StartScan(const std::string& host);
    bool ScanDone();
    void AbandonWaits();
    void ForgetAllDevices();

    // Appends the indices of the devices the providers found since the
    // last call.
    void CollectDevices();
    const std::vector<std::uint32_t>& Devices() const { return devices_; }

    int ColumnText(std::uint32_t index, const std::string& column, std::string* out);
    int StatusValue(std::uint32_t index) const;
    bool StatusChanged(std::uint32_t index);
    bool CapacityWorkerIdle() const;
    void Poll();
    // Every index must name the same provider; several devices are refused
    // by the provider.
    int OpenProperties(const std::vector<std::uint32_t>& indices);

  private:
    CDeviceProvider* ProviderOfIndex(std::uint32_t index) const;

    std::vector<std::unique_ptr<CDeviceProvider>> providers_;
    std::vector<int> collected_;  // devices of each provider already in the table
    std::vector<std::uint32_t> devices_;
};

}  // namespace oru
