// The client-library work that must not run on the interface thread: host
// discovery, the scan of one host, connecting to an array (which may wait
// for the service's authorization) and reading an array's capacity.
//
// Each piece of work runs on a thread of its own with a QEN of its own, so
// that it never shares the client library's objects with the interface
// thread or with another worker: a wait that gives up on a worker can leave
// it running without harm. The worker hands its result back through a
// WorkerAnchor, which queues it to the receiver's thread; a result that
// arrives after its receiver is gone is dropped.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "client/ASL_STATUS.h"
#include "client/SESSION_STATUS.h"
#include "gui/DeviceStatus.h"

class DiskArray;
class OruSubsystem;
class QEN;

namespace oru {

// A copy of a subsystem entry (every field but the list links), to be added
// to another list.
std::unique_ptr<OruSubsystem> CopySubsystem(const OruSubsystem& from);

struct ScanResult {
    ASL_STATUS status = ASL_SCAN_FAILED;
    std::vector<std::unique_ptr<OruSubsystem>> subsystems;
};

// Discovery (host empty: every host that answers the broadcast) or the scan
// of one host: the subsystems found, nothing when the scan failed.
ScanResult ScanSubsystems(const std::string& host);

// An open session to one subsystem on a QEN of its own; disconnected when
// destroyed.
class ArrayConnection {
  public:
    ~ArrayConnection();
    ArrayConnection(const ArrayConnection&) = delete;
    ArrayConnection& operator=(const ArrayConnection&) = delete;

    // Connects to (a copy of) the subsystem; status SESS_SUCCESS when the
    // array is there. Blocks for as long as the session set-up takes.
    static std::unique_ptr<ArrayConnection> Open(const OruSubsystem& subsystem);

    SESSION_STATUS Status() const { return status_; }
    DiskArray* Array() const { return array_; }

  private:
    ArrayConnection() = default;

    std::unique_ptr<QEN> qen_;
    DiskArray* array_ = nullptr;
    SESSION_STATUS status_ = SESS_CONNECTION_FAILED;
};

struct CapacityResult {
    SESSION_STATUS connectStatus = SESS_CONNECTION_FAILED;
    // The array's state arrived, was valid, and these are its figures.
    std::optional<ArrayCapacity> capacity;
    std::uint32_t subsystemState = 0;
};

// Connects, asks for the state, computes the capacity figures, disconnects.
CapacityResult ReadArrayCapacity(const OruSubsystem& subsystem);

// Where a worker's result goes: the receiver's thread, while it lives.
class WorkerAnchor {
  public:
    explicit WorkerAnchor(QObject* receiver) : receiver_(receiver) {}
    // Called by the receiver (on its own thread) before it goes away; later
    // results are dropped.
    void Detach();
    // Queues `deliver` to the receiver's thread; dropped after Detach.
    void Post(std::function<void()> deliver);

  private:
    std::mutex mutex_;
    QObject* receiver_;
};

// Runs `work` on a new thread, then `deliver` with its result on the
// anchor's thread.
template <typename Result>
void StartWorker(std::shared_ptr<WorkerAnchor> anchor, std::function<Result()> work,
                 std::function<void(std::shared_ptr<Result>)> deliver);

// Workers started and not yet ended (the program does not wait for them at
// exit).
int RunningWorkers();

namespace detail {
void StartThread(std::function<void()> body);
}

template <typename Result>
void StartWorker(std::shared_ptr<WorkerAnchor> anchor, std::function<Result()> work,
                 std::function<void(std::shared_ptr<Result>)> deliver) {
    detail::StartThread(
        [anchor = std::move(anchor), work = std::move(work), deliver = std::move(deliver)] {
            auto result = std::make_shared<Result>(work());
            anchor->Post([deliver, result] { deliver(result); });
        });
}

}  // namespace oru
