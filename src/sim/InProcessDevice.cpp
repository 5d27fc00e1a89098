#include "sim/InProcessDevice.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Clock.h"
#include "sim/DefaultScenario.h"

namespace sim {

SimCommand ToSimCommand(const platform::ScsiRequest& request) {
    SimCommand c;
    c.cdb.assign(
        request.cdb.begin(),
        request.cdb.begin() + std::min<std::size_t>(request.cdbLength, request.cdb.size()));
    c.transferLength = request.transferLength;
    c.timeoutSeconds = request.timeoutSeconds;
    switch (request.direction) {
        case platform::ScsiDirection::In:
            c.direction = SimDirection::kIn;
            break;
        case platform::ScsiDirection::Out:
            c.direction = SimDirection::kOut;
            if (request.data)
                c.dataOut.assign(request.data, request.data + request.transferLength);
            break;
        default:
            c.direction = SimDirection::kNone;
            break;
    }
    return c;
}

void FromSimReply(const SimReply& reply, platform::ScsiOutcome& outcome) {
    outcome = platform::ScsiOutcome{};
    if (reply.systemError != 0) {
        outcome.systemError = reply.systemError;
        return;
    }
    outcome.scsiStatus = reply.status;
    const std::size_t n = std::min<std::size_t>(reply.sense.size(), platform::kScsiMaxSense);
    std::copy(reply.sense.begin(), reply.sense.begin() + long(n), outcome.sense.begin());
    outcome.senseLength = static_cast<std::uint8_t>(n);
    outcome.bytesMoved =
        reply.dataIn.empty() ? reply.bytesMoved : static_cast<std::uint32_t>(reply.dataIn.size());
}

int InProcessDevice::GetAddress(platform::ScsiAddress& address) {
    PathAddress a;
    if (!sim_->Address(path_, &a))
        return ENODEV;
    address = platform::ScsiAddress{};
    address.portNumber = a.port;
    address.pathId = a.pathId;
    address.targetId = a.target;
    address.lun = a.lun;
    return 0;
}

int InProcessDevice::GetCapabilities(platform::ScsiCapabilities& capabilities) {
    if (!sim_->PathOpen(path_))
        return ENODEV;
    capabilities = platform::ScsiCapabilities{};
    return 0;
}

void InProcessDevice::PassThrough(const platform::ScsiRequest& request,
                                  platform::ScsiOutcome& outcome) {
    if (request.cdbLength == 0 || request.cdbLength > platform::kScsiMaxCdb ||
        request.transferLength > platform::kScsiMaxTransfer ||
        (request.direction != platform::ScsiDirection::None && request.transferLength > 0 &&
         request.data == nullptr)) {
        outcome = platform::ScsiOutcome{};
        outcome.systemError = EINVAL;
        return;
    }
    std::uint64_t delay = 0;
    SimReply reply = sim_->Execute(path_, session_, ToSimCommand(request), &delay);
    if (delay > 0)
        platform::SleepMs(delay);
    FromSimReply(reply, outcome);
    if (reply.systemError == 0 && request.direction == platform::ScsiDirection::In &&
        request.data && !reply.dataIn.empty()) {
        std::memcpy(request.data, reply.dataIn.data(),
                    std::min<std::size_t>(reply.dataIn.size(), request.transferLength));
    }
}

void InProcessDevice::RegisterAll(const std::shared_ptr<Simulator>& sim) {
    for (const auto& name : sim->PathNames(true)) {
        std::weak_ptr<Simulator> weak = sim;
        platform::RegisterInProcessDevice(name,
                                          [weak, name]() -> std::unique_ptr<platform::ScsiDevice> {
                                              auto s = weak.lock();
                                              if (!s || !s->PathOpen(name))
                                                  return nullptr;
                                              return std::make_unique<InProcessDevice>(s, name);
                                          });
    }
}

std::shared_ptr<Simulator> InProcessDevice::ServeWorld(WorldModel world) {
    if (world.cabinets.empty() && world.plainDisks.empty())
        world = DefaultScenario::Build();
    auto sim = std::make_shared<Simulator>(std::move(world), "");
    RegisterAll(sim);
    return sim;
}

}  // namespace sim
