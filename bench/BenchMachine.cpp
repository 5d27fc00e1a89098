#include "BenchMachine.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstdlib>

#include "platform/Registry.h"
#include "platform/Root.h"
#include "support/SimProcess.h"

namespace benchsupport {
namespace {

constexpr int kLimitMs = 60000;
constexpr const char* kAdministrationKey =
    "Software\\Verdanix\\Strovane\\OruServer\\Administration";
constexpr const char* kAdministrationPath = "C:\\oru_admin";

}  // namespace

BenchMachine::~BenchMachine() {
    Stop();
}

std::string BenchMachine::Start(
    bool withServer, const std::string& scenario,
    const std::function<void(const testsupport::FreshRoot&)>& beforeServer) {
    root_ = std::make_unique<testsupport::FreshRoot>();
    if (root_->Path().empty()) {
        return "no temporary root";
    }
    // libqen and the in-process managers find the machine root through the
    // environment.
    ::setenv("ORU_ROOT", root_->Path().c_str(), 1);
    ::unsetenv("ORU_TIME_SCALE");
    ::unsetenv("ORUHOST");

    platform::RegistryKey admin;
    if (!platform::RegistryKey::Create(platform::Hive::LOCAL_MACHINE, kAdministrationKey, &admin)
             .ok() ||
        !admin.WriteString("Path Name", kAdministrationPath).ok()) {
        return "registry refused the administration path";
    }
    if (platform::MakeDirs(AdminDir()) != 0) {
        return "cannot create the administration directory";
    }

    std::vector<std::string> serve = {"serve", "--daemon"};
    if (!scenario.empty()) {
        if (!root_->Write("bench-scenario.json", scenario)) {
            return "cannot write the scenario";
        }
        serve.insert(serve.end(), {"--scenario", root_->File("bench-scenario.json")});
    }
    std::string errors;
    simulating_ = true;
    if (testsupport::RunStrovsim(ORU_BIN_DIR, *root_, serve, nullptr, &errors, kLimitMs) != 0) {
        return "strovsim serve failed: " + errors;
    }
    if (!withServer) {
        return "";
    }
    if (beforeServer) {
        beforeServer(*root_);
    }
    server_ = std::make_unique<testsupport::ServerProcess>(*root_, ORU_BIN_DIR);
    if (!server_->Start({"ORU_TIME_SCALE"})) {
        return "OruServr did not start: " + server_->Process().StartError();
    }
    if (!server_->WaitUntilRunning(kLimitMs)) {
        return "OruServr did not run: " + server_->Process().Stderr();
    }
    return "";
}

int BenchMachine::Strovsim(const std::vector<std::string>& arguments, std::string* output) {
    return testsupport::RunStrovsim(ORU_BIN_DIR, *root_, arguments, output, nullptr, kLimitMs);
}

void BenchMachine::Stop() {
    if (server_ && server_->Process().Running()) {
        server_->Process().Signal(SIGTERM);
        server_->Process().WaitExit(kLimitMs);
    }
    server_.reset();
    if (simulating_) {
        Strovsim({"stop"});
        simulating_ = false;
    }
    root_.reset();
    ::unsetenv("ORU_ROOT");
}

bool SendAll(int fd, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        ssize_t sent = ::send(fd, bytes, count, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        bytes += sent;
        count -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool ReceiveAll(int fd, unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        ssize_t got = ::recv(fd, bytes, count, 0);
        if (got <= 0) {
            return false;
        }
        bytes += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace benchsupport
