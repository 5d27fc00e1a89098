#include "ServedSimulator.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "platform/Root.h"
#include "sim/DefaultScenario.h"

namespace benchsupport {

ServedSimulator::ServedSimulator(const char* program) {
    char dir[] = "/tmp/oru-bench-XXXXXX";
    if (::mkdtemp(dir) == nullptr)
        return;
    root = dir;
    platform::SetRootDir(root);
    simulator = std::make_shared<sim::Simulator>(sim::DefaultScenario::Build(), "");
    server_ = std::make_unique<sim::SimServer>(simulator);
    std::string error;
    if (server_->Start(&error) != 0) {
        std::fprintf(stderr, "%s: cannot serve: %s\n", program, error.c_str());
        return;
    }
    thread_ = std::thread([this] { server_->Run(); });
    ok_ = true;
}

ServedSimulator::~ServedSimulator() {
    if (server_)
        server_->Stop();
    if (thread_.joinable())
        thread_.join();
    server_.reset();
    if (!root.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
}

}  // namespace benchsupport
