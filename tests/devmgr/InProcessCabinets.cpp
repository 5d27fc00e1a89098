#include "InProcessCabinets.h"

#include <cstdio>

#include "platform/Clock.h"
#include "platform/scsi/ScsiDevice.h"
#include "sim/DefaultScenario.h"
#include "sim/InProcessDevice.h"

namespace devmgrtest {

namespace {

sim::WorldModel Virtual(sim::WorldModel world) {
    world.timeScale = 0;
    return world;
}

}  // namespace

InProcessCabinets::InProcessCabinets(sim::WorldModel world)
    : sim_(std::make_shared<sim::Simulator>(Virtual(std::move(world)), "")) {
    platform::ClearInProcessDevices();
    sim::InProcessDevice::RegisterAll(sim_);
    BindTestThread();
}

InProcessCabinets::~InProcessCabinets() {
    platform::SetSleepObserver(nullptr);
    platform::ClearInProcessDevices();
}

void InProcessCabinets::FollowSleeps() {
    std::weak_ptr<sim::Simulator> sim = sim_;
    platform::SetSleepObserver([sim](std::uint64_t ms) {
        if (auto alive = sim.lock()) {
            alive->Advance(ms);
        }
    });
}

bool InProcessCabinets::Control(const std::string& line, std::string* answer) {
    std::string text;
    bool ok = sim_->Control(line, &text);
    if (answer != nullptr) {
        *answer = text;
    }
    return ok;
}

sim::WorldModel InProcessCabinets::DefaultWorld() {
    return sim::DefaultScenario::Build();
}

sim::WorldModel InProcessCabinets::NoArrays() {
    sim::WorldModel world = sim::DefaultScenario::Build();
    world.cabinets.clear();
    std::vector<sim::PathModel> paths;
    for (const sim::PathModel& path : world.paths) {
        if (path.cabinet < 0) {
            paths.push_back(path);
        }
    }
    world.paths = paths;
    return world;
}

sim::WorldModel InProcessCabinets::ManyCabinets(int count) {
    sim::WorldModel base = sim::DefaultScenario::Build();
    sim::WorldModel world;
    world.plainDisks = base.plainDisks;
    for (int i = 0; i < count; ++i) {
        sim::CabinetModel cabinet = base.cabinets[0];
        char serial[16];
        std::snprintf(serial, sizeof serial, "QM%010d", i + 1);
        cabinet.serial = serial;
        for (int k = 0; k < 2; ++k) {
            char controller[24];
            std::snprintf(controller, sizeof controller, "CTL%c%012d", k == 0 ? 'X' : 'Y', i + 1);
            cabinet.controllers[k].serial = controller;
        }
        world.cabinets.push_back(cabinet);
        sim::PathModel path;
        path.name = "STROVANE" + std::to_string(i);
        path.cabinet = i;
        path.controller = 0;
        path.target = static_cast<std::uint8_t>(i);
        world.paths.push_back(path);
    }
    return world;
}

void BindTestThread() {
    static OruTask* task = nullptr;
    if (task == nullptr && OruTask::FindCurrentTask() == nullptr) {
        task = new OruTask(OruTask::BindToCurrentThread{}, "devmgr-test");
    }
}

}  // namespace devmgrtest
