#include "gui/CDeviceModel.h"

#include <algorithm>

namespace oru {

void CDeviceModel::AddProvider(std::unique_ptr<CDeviceProvider> provider) {
    providers_.push_back(std::move(provider));
    collected_.push_back(0);
}

std::vector<std::string> CDeviceModel::HostNames() const {
    std::vector<std::string> names;
    for (const auto& provider : providers_) {
        for (int i = 0; i < provider->HostCount(); ++i) {
            std::string name = provider->HostName(i);
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                names.push_back(std::move(name));
            }
        }
    }
    return names;
}

void CDeviceModel::StartDiscovery(const std::string& host, bool clear) {
    for (const auto& provider : providers_) {
        provider->StartDiscovery(host, clear);
    }
}

bool CDeviceModel::DiscoveryDone() {
    bool done = true;
    for (const auto& provider : providers_) {
        done = provider->DiscoveryDone() && done;
    }
    return done;
}

void CDeviceModel::StartScan(const std::string& host) {
    for (const auto& provider : providers_) {
        provider->StartScan(host);
    }
}

bool CDeviceModel::ScanDone() {
    bool done = true;
    for (const auto& provider : providers_) {
        done = provider->ScanDone() && done;
    }
    return done;
}

void CDeviceModel::AbandonWaits() {
    for (const auto& provider : providers_) {
        provider->AbandonWaits();
    }
}

void CDeviceModel::ForgetAllDevices() {
    for (const auto& provider : providers_) {
        provider->ForgetAllDevices();
    }
    std::fill(collected_.begin(), collected_.end(), 0);
    devices_.clear();
}

void CDeviceModel::CollectDevices() {
    for (std::size_t p = 0; p < providers_.size(); ++p) {
        // Device numbers are 16 bits wide in an index.
        const int count = std::min(providers_[p]->DeviceCount(), 0x10000);
        for (int d = collected_[p]; d < count; ++d) {
            devices_.push_back(Index(static_cast<int>(p), d));
        }
        collected_[p] = std::max(collected_[p], count);
    }
}

CDeviceProvider* CDeviceModel::ProviderOfIndex(std::uint32_t index) const {
    const auto p = static_cast<std::size_t>(ProviderOf(index));
    return p < providers_.size() ? providers_[p].get() : nullptr;
}

int CDeviceModel::ColumnText(std::uint32_t index, const std::string& column, std::string* out) {
    CDeviceProvider* provider = ProviderOfIndex(index);
    if (provider == nullptr) {
        out->clear();
        return CDeviceProvider::kNoSuchColumn;
    }
    return provider->ColumnText(DeviceOf(index), column, out);
}

int CDeviceModel::StatusValue(std::uint32_t index) const {
    CDeviceProvider* provider = ProviderOfIndex(index);
    return provider != nullptr ? provider->StatusValue(DeviceOf(index)) : 10;
}

bool CDeviceModel::StatusChanged(std::uint32_t index) {
    CDeviceProvider* provider = ProviderOfIndex(index);
    return provider != nullptr && provider->StatusChanged(DeviceOf(index));
}

bool CDeviceModel::CapacityWorkerIdle() const {
    return std::all_of(providers_.begin(), providers_.end(),
                       [](const auto& provider) { return provider->CapacityWorkerIdle(); });
}

void CDeviceModel::Poll() {
    for (const auto& provider : providers_) {
        provider->Poll();
    }
}

int CDeviceModel::OpenProperties(const std::vector<std::uint32_t>& indices) {
    if (indices.empty()) {
        return 0;
    }
    CDeviceProvider* provider = ProviderOfIndex(indices.front());
    if (provider == nullptr) {
        return -1;
    }
    std::vector<int> devices;
    for (std::uint32_t index : indices) {
        devices.push_back(DeviceOf(index));
    }
    return provider->OpenProperties(devices);
}

}  // namespace oru
