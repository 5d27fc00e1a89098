#include "gui/ClientWorkers.h"

#include <QMetaObject>

#include <atomic>
#include <cstring>
#include <thread>

#include "client/DiskArray.h"
#include "client/OruSubsystem.h"
#include "client/QEN.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/PollMsg.h"
#include "gui/CommandWait.h"

namespace oru {
namespace {

std::atomic<int> running{0};

}  // namespace

std::unique_ptr<OruSubsystem> CopySubsystem(const OruSubsystem& from) {
    auto copy = std::make_unique<OruSubsystem>();
    copy->subsystemType = from.subsystemType;
    std::memcpy(copy->serverName, from.serverName, sizeof copy->serverName);
    std::memcpy(copy->serialNumber, from.serialNumber, sizeof copy->serialNumber);
    std::memcpy(copy->aliasName, from.aliasName, sizeof copy->aliasName);
    copy->secure = from.secure;
    copy->secureMethod = from.secureMethod;
    std::memcpy(copy->securePath, from.securePath, sizeof copy->securePath);
    copy->deviceAddr[0] = from.deviceAddr[0];
    copy->deviceAddr[1] = from.deviceAddr[1];
    copy->serverAddress = from.serverAddress;
    return copy;
}

ScanResult ScanSubsystems(const std::string& host) {
    ScanResult result;
    QEN qen(0);
    // Discovery of every host starts from an empty list (reset); one host is
    // asked for its list only.
    result.status = host.empty() ? qen.ScanforSubsystems(nullptr, 0, 1)
                                 : qen.ScanforSubsystems(host.c_str(), 0, 0);
    if (result.status != ASL_GOOD) {
        return result;
    }
    for (int i = 0; i < qen.NameArraySize(); ++i) {
        result.subsystems.push_back(CopySubsystem(*qen[i]));
    }
    return result;
}

ArrayConnection::~ArrayConnection() {
    if (qen_ != nullptr && array_ != nullptr) {
        qen_->DisConnect(array_);
    }
}

std::unique_ptr<ArrayConnection> ArrayConnection::Open(const OruSubsystem& subsystem) {
    std::unique_ptr<ArrayConnection> connection(new ArrayConnection());
    connection->qen_ = std::make_unique<QEN>(0);
    std::unique_ptr<OruSubsystem> copy = CopySubsystem(subsystem);
    OruSubsystem* entry = copy.get();
    if (connection->qen_->SubsystemList().AddSubsystem(copy.get()) != 0) {
        return connection;  // cannot happen in an empty list
    }
    copy.release();  // the list owns it now
    connection->array_ = connection->qen_->Connect(entry);
    connection->status_ = connection->qen_->LastStatus();
    return connection;
}

CapacityResult ReadArrayCapacity(const OruSubsystem& subsystem) {
    CapacityResult result;
    std::unique_ptr<ArrayConnection> connection = ArrayConnection::Open(subsystem);
    result.connectStatus = connection->Status();
    DiskArray* array = connection->Array();
    if (array == nullptr) {
        return result;
    }
    WorkerWaitHost host;
    const CommandHandle handle = array->GetState();
    if (WaitForCommand(handle, *array, host).kind != RMT_STATE_MSG) {
        return result;
    }
    const DiskArrayState& state = *array->GetStatePtr();
    result.capacity = ComputeArrayCapacity(state);
    if (!state.subsystemState.has_value()) {
        result.capacity.reset();
    } else {
        result.subsystemState = state.subsystemState->SubsystemState();
    }
    return result;
}

void WorkerAnchor::Detach() {
    std::lock_guard<std::mutex> hold(mutex_);
    receiver_ = nullptr;
}

void WorkerAnchor::Post(std::function<void()> deliver) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (receiver_ != nullptr) {
        // The receiver cannot go away while the lock is held; once queued,
        // Qt drops the call if the receiver dies before it runs.
        QMetaObject::invokeMethod(receiver_, std::move(deliver), Qt::QueuedConnection);
    }
}

int RunningWorkers() {
    return running.load();
}

namespace detail {

void StartThread(std::function<void()> body) {
    ++running;
    std::thread([body = std::move(body)] {
        body();
        --running;
    }).detach();
}

}  // namespace detail
}  // namespace oru
