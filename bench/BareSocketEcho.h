// The floor under the socket device: frames of the pass-through wire over a
// Unix stream socket bound in the file system, to a thread that does nothing
// but read each request frame and answer with a reply of the size a
// controller's would have (the 16-byte head and, for data in, the transfer
// length of data). What any socket transport costs, with nothing behind it.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/scsi/ScsiDevice.h"

namespace benchsupport {

class BareSocketEcho {
  public:
    explicit BareSocketEcho(std::string socketFile) : file_(std::move(socketFile)) {}
    ~BareSocketEcho();
    BareSocketEcho(const BareSocketEcho&) = delete;
    BareSocketEcho& operator=(const BareSocketEcho&) = delete;

    // Listens, starts the echo thread and connects. False on failure.
    bool Start();

    // Sends one whole request frame and reads its whole reply. False on
    // failure.
    bool Exchange(const std::vector<std::uint8_t>& request);

  private:
    std::string file_;
    int listener_ = -1;
    int fd_ = -1;
    std::thread echo_;
    std::vector<std::uint8_t> reply_;
};

// The wire frame of one command (ScsiWire.h), as the socket device sends it.
std::vector<std::uint8_t> RequestFrame(const platform::ScsiRequest& request);

}  // namespace benchsupport
