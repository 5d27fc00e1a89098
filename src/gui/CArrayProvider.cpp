#include "gui/CArrayProvider.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <set>

#include "client/DiskArray.h"
#include "client/OruSubsystem.h"
#include "client/QEN.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/PollMsg.h"
#include "gui/GuiText.h"
#include "gui/ModelHost.h"
#include "gui/ProfileKeys.h"
#include "gui/TextCompare.h"
#include "platform/Clock.h"
#include "platform/PrivateProfile.h"

namespace oru {
namespace {

// Fields of a DeviceEntry by column, in the order of keys::kColumnNames.
enum Field {
    kSerial,
    kAlias,
    kModel,
    kStatus,
    kTotal,
    kUnallocated,
    kHostName,
    kHostDomain,
    kHostOs,
    kFieldCount
};

int FieldOf(const std::string& column) {
    for (int field = 0; field < kFieldCount; ++field) {
        if (column == keys::kColumnNames[field]) {
            return field;
        }
    }
    return -1;
}

const std::string& FieldText(const DeviceEntry& entry, int field) {
    switch (field) {
        case kSerial:
            return entry.serialNumber;
        case kAlias:
            return entry.alias;
        case kModel:
            return entry.model;
        case kStatus:
            return entry.statusText;
        case kTotal:
            return entry.totalSpace;
        case kUnallocated:
            return entry.unallocatedSpace;
        case kHostName:
            return entry.hostName;
        case kHostDomain:
            return entry.hostDomain;
        default:
            return entry.hostOperatingSystem;
    }
}

std::string UpToFirstDot(const std::string& name) {
    return name.substr(0, name.find('.'));
}

// Subsystem types with a model name of their own.
constexpr std::uint32_t kTypeModel12 = 12;
constexpr std::uint32_t kTypeModel13 = 13;
constexpr std::uint32_t kErrorNoState = 3;  // gross status asked of an array without a state
constexpr std::uint32_t kLoopbackNet = 127;

}  // namespace

bool BelongsToHost(const std::string& server, const std::string& host) {
    return SameIgnoringCase(server, host) || SameIgnoringCase(UpToFirstDot(server), host) ||
           SameIgnoringCase(server, UpToFirstDot(host));
}

CArrayProvider::CArrayProvider(QEN& qen, platform::PrivateProfile& profile, ModelHost& host)
    : qen_(qen), profile_(profile), host_(host), anchor_(std::make_shared<WorkerAnchor>(this)) {
    if (std::optional<std::vector<std::string>> known = profile_.SectionKeys(keys::kHostList)) {
        hosts_ = std::move(*known);
    }
}

CArrayProvider::~CArrayProvider() {
    anchor_->Detach();
}

std::string CArrayProvider::HostName(int index) const {
    return index >= 0 && index < HostCount() ? hosts_[static_cast<std::size_t>(index)]
                                             : std::string();
}

// ---------------------------------------------------------------------------
// Discovery and host scans

void CArrayProvider::StartDiscovery(const std::string& host, bool clear) {
    if (clear) {
        profile_.DeleteSection(keys::kHostList);
        hosts_.clear();
    }
    discoveryDone_ = false;
    discoveryFailed_ = false;
    discoveryReported_ = false;
    const std::uint64_t generation = ++discoveryGeneration_;
    StartWorker<ScanResult>(
        anchor_, [host] { return ScanSubsystems(host); },
        [this, generation, host](std::shared_ptr<ScanResult> result) {
            OnDiscoveryFinished(generation, host, std::move(result));
        });
}

void CArrayProvider::OnDiscoveryFinished(std::uint64_t generation, const std::string& host,
                                         std::shared_ptr<ScanResult> result) {
    if (generation != discoveryGeneration_) {
        return;  // a wait gave up on this one
    }
    if (result->status == ASL_GOOD) {
        MergeScan(host, *result);
    } else {
        discoveryFailed_ = true;
    }
    discoveryDone_ = true;
    host_.Wake();
}

bool CArrayProvider::DiscoveryDone() {
    if (!discoveryDone_) {
        return false;
    }
    if (discoveryReported_) {
        return true;
    }
    discoveryReported_ = true;
    if (discoveryFailed_) {
        host_.ShowMessage(GuiText(txt::kDiscoveryFailed), ModelHost::Icon::kWarning);
        return true;
    }
    for (int i = 0; i < qen_.NameArraySize(); ++i) {
        AddKnownHost(qen_[i]->ServerName());
    }
    return true;
}

void CArrayProvider::AddKnownHost(const std::string& host) {
    for (const std::string& known : hosts_) {
        if (known == host) {
            return;
        }
    }
    hosts_.push_back(host);
    // A name the profile cannot hold as a key stays known for this run only.
    profile_.WriteString(keys::kHostList, host, host);
}

void CArrayProvider::StartScan(const std::string& host) {
    scanDone_ = false;
    scanFailed_ = false;
    scanHost_.clear();
    if (ListHoldsHost(host)) {
        AddEntriesOfHost(host);
        scanDone_ = true;
        return;
    }
    scanHost_ = host;
    const std::uint64_t generation = ++scanGeneration_;
    StartWorker<ScanResult>(
        anchor_, [host] { return ScanSubsystems(host); },
        [this, generation](std::shared_ptr<ScanResult> result) {
            OnScanFinished(generation, std::move(result));
        });
}

void CArrayProvider::OnScanFinished(std::uint64_t generation, std::shared_ptr<ScanResult> result) {
    if (generation != scanGeneration_) {
        return;
    }
    if (result->status == ASL_GOOD) {
        MergeScan(scanHost_, *result);
    } else {
        scanFailed_ = true;
    }
    scanDone_ = true;
    host_.Wake();
}

bool CArrayProvider::ScanDone() {
    if (!scanDone_) {
        return false;
    }
    if (!scanFailed_ && !scanHost_.empty()) {
        AddEntriesOfHost(scanHost_);
    }
    scanHost_.clear();
    return true;
}

bool CArrayProvider::ListHoldsHost(const std::string& host) const {
    for (int i = 0; i < qen_.NameArraySize(); ++i) {
        if (OfHost(qen_[i]->ServerName(), host)) {
            return true;
        }
    }
    return false;
}

bool CArrayProvider::OfHost(const std::string& server, const std::string& host) const {
    if (BelongsToHost(server, host)) {
        return true;
    }
    for (const auto& [scanned, servers] : scannedServers_) {
        if (SameIgnoringCase(scanned, host) &&
            std::any_of(servers.begin(), servers.end(),
                        [&server](const std::string& found) { return found == server; })) {
            return true;
        }
    }
    return false;
}

void CArrayProvider::MergeScan(const std::string& host, ScanResult& result) {
    OruSubsystemList& list = qen_.SubsystemList();
    // The host's own answer is the truth about it: its earlier entries go.
    std::set<std::string> servers;
    for (int i = 0; i < list.Size(); ++i) {
        if (host.empty() || OfHost(list[i]->ServerName(), host)) {
            servers.insert(list[i]->ServerName());
        }
    }
    std::set<std::string> found;
    for (std::unique_ptr<OruSubsystem>& subsystem : result.subsystems) {
        servers.insert(subsystem->ServerName());
        found.insert(subsystem->ServerName());
    }
    if (!host.empty()) {
        // What answered to this name is this host, by whatever name it
        // calls itself.
        for (auto it = scannedServers_.begin(); it != scannedServers_.end();) {
            it = SameIgnoringCase(it->first, host) ? scannedServers_.erase(it) : std::next(it);
        }
        scannedServers_[host] = std::move(found);
    }
    for (const std::string& server : servers) {
        list.ResetMap(server.c_str());
    }
    for (std::unique_ptr<OruSubsystem>& found : result.subsystems) {
        // Datagrams sent to any loopback address are answered from
        // 127.0.0.1, and the list takes a reply only from the address it
        // knows the subsystem by: a host whose name is 127.0.1.1 (as Debian
        // names it) is known by 127.0.0.1.
        in_addr& address = found->serverAddress.sin_addr;
        if ((ntohl(address.s_addr) >> 24) == kLoopbackNet) {
            address.s_addr = htonl(INADDR_LOOPBACK);
        }
        if (list.AddSubsystem(found.get()) == 0) {
            found.release();  // the list owns it now
        }
    }
    result.subsystems.clear();
}

// ---------------------------------------------------------------------------
// Entries

CArrayProvider::Slot* CArrayProvider::FindSlot(const std::string& server,
                                               const std::string& serial) {
    for (const std::unique_ptr<Slot>& slot : entries_) {
        if (slot->entry.serverName == server && slot->entry.serialNumber == serial) {
            return slot.get();
        }
    }
    return nullptr;
}

CArrayProvider::Slot* CArrayProvider::FindSlot(std::uint64_t id) {
    for (const std::unique_ptr<Slot>& slot : entries_) {
        if (slot->id == id) {
            return slot.get();
        }
    }
    return nullptr;
}

OruSubsystem* CArrayProvider::FindSubsystem(const DeviceEntry& entry) const {
    return qen_.SubsystemList().FindSubsystem(entry.serverName.c_str(), entry.serialNumber.c_str());
}

void CArrayProvider::FillEntry(DeviceEntry& entry, const OruSubsystem& subsystem) const {
    entry.serialNumber = subsystem.SerialNumber();
    entry.alias = subsystem.Alias()[0] != '\0' ? subsystem.Alias() : subsystem.SerialNumber();
    const std::uint32_t type = static_cast<std::uint32_t>(subsystem.SubsystemType());
    entry.model = GuiText(type == kTypeModel12   ? txt::kModelType12
                          : type == kTypeModel13 ? txt::kModelType13
                                                 : txt::kUnknown);
    entry.statusText = GuiText(txt::kUnknown);
    entry.statusValue = DS_NO_DATA;
    entry.totalSpace.clear();
    entry.unallocatedSpace.clear();
    entry.serverName = subsystem.ServerName();
    const std::size_t dot = entry.serverName.find('.');
    entry.hostName = entry.serverName.substr(0, dot);
    entry.hostDomain = dot == std::string::npos ? "" : entry.serverName.substr(dot + 1);
    entry.hostOperatingSystem.clear();
    entry.capacityRead = false;
}

void CArrayProvider::AddEntriesOfHost(const std::string& host) {
    for (int i = 0; i < qen_.NameArraySize(); ++i) {
        const OruSubsystem& subsystem = *qen_[i];
        if (!OfHost(subsystem.ServerName(), host) ||
            FindSlot(subsystem.ServerName(), subsystem.SerialNumber()) != nullptr) {
            continue;
        }
        auto slot = std::make_unique<Slot>();
        slot->id = nextSlotId_++;
        FillEntry(slot->entry, subsystem);
        entries_.push_back(std::move(slot));
    }
}

void CArrayProvider::ForgetAllDevices() {
    entries_.clear();
    lastRoundMs_.reset();
    // A capacity read under way belongs to an entry that is gone.
    ++capacityGeneration_;
    capacityIdle_ = true;
}

const DeviceEntry* CArrayProvider::Entry(int device) const {
    return device >= 0 && device < DeviceCount()
               ? &entries_[static_cast<std::size_t>(device)]->entry
               : nullptr;
}

int CArrayProvider::ColumnText(int device, const std::string& column, std::string* out) {
    out->clear();
    const int field = FieldOf(column);
    if (device < 0 || device >= DeviceCount() || field < 0) {
        return kNoSuchColumn;
    }
    Slot& slot = *entries_[static_cast<std::size_t>(device)];
    if ((field == kTotal || field == kUnallocated) && !slot.entry.capacityRead) {
        if (capacityIdle_) {
            OruSubsystem* subsystem = FindSubsystem(slot.entry);
            if (subsystem == nullptr) {
                slot.entry.totalSpace = slot.entry.unallocatedSpace =
                    GuiText(txt::kConnectionError);
                slot.entry.capacityRead = true;
                *out = FieldText(slot.entry, field);
                return kTextReady;
            }
            capacityIdle_ = false;
            capacitySlot_ = slot.id;
            const std::uint64_t generation = ++capacityGeneration_;
            std::shared_ptr<OruSubsystem> copy(CopySubsystem(*subsystem));
            StartWorker<CapacityResult>(
                anchor_, [copy] { return ReadArrayCapacity(*copy); },
                [this, generation, id = slot.id](std::shared_ptr<CapacityResult> result) {
                    OnCapacityFinished(generation, id, std::move(result));
                });
        }
        return kTextPending;
    }
    *out = FieldText(slot.entry, field);
    return kTextReady;
}

void CArrayProvider::OnCapacityFinished(std::uint64_t generation, std::uint64_t slotId,
                                        std::shared_ptr<CapacityResult> result) {
    if (generation != capacityGeneration_) {
        return;
    }
    capacityIdle_ = true;
    if (Slot* slot = FindSlot(slotId)) {
        DeviceEntry& entry = slot->entry;
        if (result->connectStatus != SESS_SUCCESS) {
            const bool noRights = result->connectStatus == SESS_USER_LACKS_SECURITY ||
                                  result->connectStatus == SESS_AUTHENTIFICATION_FAILED;
            entry.totalSpace = entry.unallocatedSpace =
                GuiText(noRights ? txt::kNoRights : txt::kConnectionError);
        } else if (!result->capacity.has_value()) {
            entry.totalSpace = entry.unallocatedSpace = GuiText(txt::kConnectionError);
        } else if (result->subsystemState < 2) {
            entry.totalSpace = GigabyteText(result->capacity->total);
            entry.unallocatedSpace = GigabyteText(result->capacity->unallocated);
        } else {
            entry.totalSpace = entry.unallocatedSpace = GuiText(txt::kUnavailable);
        }
        entry.capacityRead = true;
    }
    host_.Wake();
}

void CArrayProvider::AbandonWaits() {
    if (!scanDone_) {
        ++scanGeneration_;
        scanDone_ = true;
        scanFailed_ = true;
    }
    if (!discoveryDone_) {
        ++discoveryGeneration_;
        discoveryDone_ = true;
        discoveryFailed_ = true;
    }
    if (!capacityIdle_) {
        ++capacityGeneration_;
        capacityIdle_ = true;
        if (Slot* slot = FindSlot(capacitySlot_)) {
            slot->entry.totalSpace = slot->entry.unallocatedSpace = GuiText(txt::kConnectionError);
            slot->entry.capacityRead = true;
        }
    }
}

int CArrayProvider::StatusValue(int device) const {
    const DeviceEntry* entry = Entry(device);
    return entry != nullptr ? entry->statusValue : DS_NO_DATA;
}

bool CArrayProvider::StatusChanged(int device) {
    if (device < 0 || device >= DeviceCount()) {
        return false;
    }
    DeviceEntry& entry = entries_[static_cast<std::size_t>(device)]->entry;
    const bool changed = entry.statusChanged;
    entry.statusChanged = false;
    return changed;
}

// ---------------------------------------------------------------------------
// Gross-status rounds

void CArrayProvider::Poll() {
    int replies = 0;
    bool changed = false;
    while (replies < kRepliesPerPoll) {
        const PollMsg* reply = qen_.PollQEN();
        if (reply == nullptr) {
            break;
        }
        ++replies;
        changed = ApplyReply(*reply) || changed;
    }
    const std::uint64_t now = platform::MonotonicMs();
    if (replies == 0 && (!lastRoundMs_ || now - *lastRoundMs_ >= platform::ScaledMs(kRoundMs))) {
        lastRoundMs_ = now;
        SendRound();
        changed = true;  // SendRound may have marked silent arrays Unknown
    }
    if (changed) {
        bool any = false;
        for (const std::unique_ptr<Slot>& slot : entries_) {
            any = any || slot->entry.statusChanged;
        }
        if (any) {
            emit statusChanged();
        }
    }
}

void CArrayProvider::SetStatus(Slot& slot, const StatusEvaluation& status) {
    DeviceEntry& entry = slot.entry;
    if (entry.statusText != status.text || entry.statusValue != status.value) {
        entry.statusText = status.text;
        entry.statusValue = status.value;
        entry.statusChanged = true;
    }
}

bool CArrayProvider::ApplyReply(const PollMsg& reply) {
    const OruSubsystem* from = nullptr;
    StatusEvaluation status;
    if (reply.kind == RMT_GROSSSTATUS_MSG) {
        const auto& gross = static_cast<const GrossStatusPollMsg&>(reply);
        from = gross.subsystem;
        status = gross.grossStatus != nullptr
                     ? EvaluateGrossStatus(*gross.grossStatus)
                     : StatusEvaluation{DS_NO_DATA, GuiText(txt::kUnknown)};
    } else if (reply.kind == RMT_ORUERRORSTATUS_MSG) {
        const auto& error = static_cast<const ErrorPollMsg&>(reply);
        from = error.subsystem;
        if (error.error.errorCode == kErrorNoState) {
            status = StatusEvaluation{DS_NO_DATA, GuiText(txt::kUnknown)};
        } else {
            status = StatusEvaluation{
                DS_CRITICAL_ERROR,
                GuiText(txt::kUnknownError, static_cast<unsigned long>(error.error.errorCode))};
        }
    } else {
        return false;
    }
    if (from == nullptr) {
        return false;
    }
    Slot* slot = FindSlot(from->ServerName(), from->SerialNumber());
    if (slot == nullptr) {
        return false;  // an array this list does not show
    }
    slot->awaitingReply = false;
    slot->missedRounds = 0;
    SetStatus(*slot, status);
    return slot->entry.statusChanged;
}

void CArrayProvider::SendRound() {
    ++roundCount_;
    for (const std::unique_ptr<Slot>& slot : entries_) {
        // Silence is no news: an array that stopped answering is not shown
        // with the last status it had.
        if (slot->awaitingReply && ++slot->missedRounds >= kRoundsUntilUnknown) {
            SetStatus(*slot, StatusEvaluation{DS_NO_DATA, GuiText(txt::kUnknown)});
        }
        if (OruSubsystem* subsystem = FindSubsystem(slot->entry)) {
            qen_.RequestGrossStatus(*subsystem);
            slot->awaitingReply = true;
        }
    }
}

// ---------------------------------------------------------------------------
// Device Properties

int CArrayProvider::OpenProperties(const std::vector<int>& devices) {
    if (devices.size() > 1) {
        host_.ShowMessage(GuiText(txt::kMultipleDevices), ModelHost::Icon::kInformation);
        return 0;
    }
    if (devices.empty() || Entry(devices.front()) == nullptr) {
        return 0;
    }
    const std::uint64_t slotId = entries_[static_cast<std::size_t>(devices.front())]->id;
    const DeviceEntry entry = entries_[static_cast<std::size_t>(devices.front())]->entry;
    OruSubsystem* subsystem = FindSubsystem(entry);
    if (subsystem == nullptr) {
        host_.ShowMessage(GuiText(txt::kConnectFailed), ModelHost::Icon::kStop);
        return -1;
    }

    // Every wait from here to the sheet's end is for this array.
    struct Subject {
        Subject(ModelHost& host, const std::string& text) : busy(host.Busy()) {
            if (busy != nullptr) {
                busy->SetSubject(text);
            }
        }
        ~Subject() {
            if (busy != nullptr) {
                busy->SetSubject(std::string());
            }
        }
        BusyState* busy;
    } subject(host_, GuiText(txt::kWaitingForArray, entry.alias.c_str(), entry.hostName.c_str()));

    // Connecting and the first state read are one operation: a Cancel during
    // either ends the opening (the sheet's own waits are operations of their
    // own).
    std::optional<WaitOperation> opening(std::in_place, host_);
    // Connecting may wait for the service's authorization: on a worker.
    struct Pending {
        bool done = false;
        std::unique_ptr<ArrayConnection> connection;
    };
    auto pending = std::make_shared<Pending>();
    std::shared_ptr<OruSubsystem> copy(CopySubsystem(*subsystem));
    host_.SetWaitCursor(true);
    StartWorker<std::unique_ptr<ArrayConnection>>(
        anchor_, [copy] { return ArrayConnection::Open(*copy); },
        [this, pending](std::shared_ptr<std::unique_ptr<ArrayConnection>> connection) {
            pending->connection = std::move(*connection);
            pending->done = true;
            host_.Wake();
        });
    // A wait on this array alone: the other arrays' status stays current.
    const bool connected = host_.WaitUntil([pending] { return pending->done; }, kWorkerBudgetMs,
                                           BusyState::Kind::kArray);
    // A connection that comes after the wait gave up is closed when the
    // worker's result is dropped with `pending`.
    std::unique_ptr<ArrayConnection> connection =
        connected ? std::move(pending->connection) : nullptr;
    const SESSION_STATUS status =
        connection != nullptr ? connection->Status() : SESS_CONNECTION_FAILED;
    if (connection == nullptr || connection->Array() == nullptr || status != SESS_SUCCESS) {
        host_.SetWaitCursor(false);
        TextId message = txt::kConnectFailed;
        switch (status) {
            case SESS_USER_LACKS_SECURITY:
                message = txt::kConnectNoRights;
                break;
            case SESS_ALREADY_CONNECTED:
                message = txt::kConnectAlreadyConnected;
                break;
            case SESS_CONNECTION_NOT_AVAILABLE:
                message = txt::kConnectNotAvailable;
                break;
            case SESS_AUTHENTIFICATION_FAILED:
                message = txt::kConnectAuthenticationFailed;
                break;
            default:
                break;
        }
        host_.ShowMessage(GuiText(message), ModelHost::Icon::kStop);
        return -1;
    }

    DiskArray& array = *connection->Array();
    WaitForCommand(array.GetState(), array, host_);
    if (array.GetStatePtr()->ValidStateData() == 0) {
        host_.SetWaitCursor(false);
        host_.ShowMessage(GuiText(txt::kNoState), ModelHost::Icon::kStop);
        return -1;
    }
    host_.SetWaitCursor(false);
    opening.reset();
    host_.RunDeviceProperties(
        array, GuiText(txt::kDevicePropertiesTitle, entry.hostName.c_str(), entry.alias.c_str()));

    // The sheet may have renamed the array: the list learns the new alias.
    const std::string alias(array.GetStatePtr()->AliasName());
    connection.reset();
    subsystem = FindSubsystem(entry);
    if (subsystem != nullptr) {
        std::strncpy(subsystem->aliasName, alias.c_str(), sizeof subsystem->aliasName - 1);
        subsystem->aliasName[sizeof subsystem->aliasName - 1] = '\0';
        if (Slot* slot = FindSlot(slotId)) {
            FillEntry(slot->entry, *subsystem);
            slot->awaitingReply = false;
            slot->missedRounds = 0;
        }
        qen_.RequestGrossStatus(*subsystem);
    }
    return 0;
}

}  // namespace oru
