// The machine a benchmark runs against, made by the program itself: a fresh
// ORU_ROOT with free ports in etc/services (this process pointed at it), the
// "Administration" "Path Name" C:\oru_admin with its directory, "strovsim
// serve" giving the service its subsystems and, when asked, OruServr in the
// console, every wait of the suite at its real length. Stop (and the
// destructor) end both and remove the root again.
//
// The benchmark targets compile this file themselves: ORU_BIN_DIR names the
// directory of OruServr and strovsim.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/FreshRoot.h"
#include "support/ServerProcess.h"

namespace benchsupport {

class BenchMachine {
  public:
    BenchMachine() = default;
    ~BenchMachine();
    BenchMachine(const BenchMachine&) = delete;
    BenchMachine& operator=(const BenchMachine&) = delete;

    // Empty on success, else what went wrong. scenario: the simulator's
    // world as JSON text ("" for its default two cabinets). beforeServer
    // runs in the new root before the service starts (a benchmark seeds
    // the service's log there).
    std::string Start(bool withServer, const std::string& scenario = "",
                      const std::function<void(const testsupport::FreshRoot&)>& beforeServer = {});
    // Runs one strovsim subcommand in the root; its exit code (0 done) and
    // its standard output in *output.
    int Strovsim(const std::vector<std::string>& arguments, std::string* output = nullptr);
    void Stop();

    // Where the service listens for sessions, and the administration
    // directory on this machine (valid while started).
    std::uint16_t TcpPort() const { return root_->TcpPort(); }
    std::string AdminDir() const { return root_->File("c/oru_admin"); }
    const testsupport::FreshRoot& Root() const { return *root_; }

  private:
    std::unique_ptr<testsupport::FreshRoot> root_;
    std::unique_ptr<testsupport::ServerProcess> server_;
    bool simulating_ = false;
};

// Sends or receives exactly count bytes on a blocking socket; false when the
// peer closed or the call failed.
bool SendAll(int fd, const unsigned char* bytes, std::size_t count);
bool ReceiveAll(int fd, unsigned char* bytes, std::size_t count);

}  // namespace benchsupport
