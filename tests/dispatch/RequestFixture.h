// What the end-to-end request tests share: libqen in this process, OruServr
// in the console and strovsim serving the simulated cabinets, all in a fresh
// machine root, with the service's status poll and preventive check off.
// The service's fixed waits and the simulator's long operations both run a
// hundred times faster.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "NetServerFixture.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/PollMsg.h"
#include "coresys/common/oruerr.h"

namespace netsrvtest {

// What came back for one request.
struct Outcome {
    std::vector<std::uint32_t> statuses;  // every reply, in order
    std::uint32_t kind = 0;               // of the final reply
    std::uint32_t errorCode = 0, qualifier = 0, moduleId = 0;
    oruerr error;                      // the whole record of an error reply
    std::vector<unsigned char> bytes;  // the data of a buffer reply
    bool finished = false;
};

// One event as a client received it.
struct EventWords {
    std::uint32_t major = 0, minor = 0, data1 = 0, data2 = 0;
};

using HandleKey = std::pair<std::uint32_t, std::uint32_t>;

HandleKey Key(const CommandHandle& h);

// A connection that can send any request code: the library's own request
// path with the code and values chosen by the test.
class RawArray : public DiskArray {
  public:
    using DiskArray::DiskArray;
    CommandHandle Send(std::uint32_t code, std::uint32_t v1 = 0, std::uint32_t v2 = 0,
                       std::uint32_t v3 = 0) {
        return SendHeaderandValueMsg(code, kRequestVersion, v1, v2, v3);
    }
};

class DispatchEndToEndTest : public NetServerTest {
  protected:
    // Starts the simulator (a hundred times faster), runs BeforeServer,
    // starts the service and scans for its subsystems.
    void SetUp() override;
    void TearDown() override;
    // What a test fixture asks of the simulator before the service starts.
    virtual void BeforeServer() {}

    // The lines `strovsim show` prints for cabinet n (its first line first).
    std::vector<std::string> Cabinet(int n);
    bool WaitForCabinet(int n, const std::string& part);

    OruSubsystem* Subsystem(const char* serial);
    DiskArray* Connect(const char* serial = "QX0000000001");

    // Polls the array until every handle has its final reply (status 1) or
    // the time limit passed; events and replies to others are set aside.
    std::map<HandleKey, Outcome> Await(DiskArray& array, const std::vector<CommandHandle>& handles,
                                       int limitMs = kLimitMs);
    Outcome Run(DiskArray& array, CommandHandle handle, int limitMs = kLimitMs);
    // Polls the array until an event for which match is true is among the
    // events received (those received before count too: clear events_ to
    // wait for a new one), or the time limit passed; replies are set aside.
    bool WaitForEvent(DiskArray& array, const std::function<bool(const EventWords&)>& match,
                      int limitMs = kLimitMs);

    // Every event that Await and WaitForEvent received, in order.
    std::vector<EventWords> events_;

    std::unique_ptr<QEN> qen_;

  private:
    // Keeps the events of a poll result.
    void Keep(PollMsg* result);
};

// One connected client of the first array (QX0000000001) with its copy of
// the state, which the events of every change keep up.
class ArrayRequestTest : public DispatchEndToEndTest {
  protected:
    void SetUp() override;
    // Runs one request of array_ to its final reply.
    Outcome Do(CommandHandle handle) { return Run(*array_, handle); }

    DiskArray* array_ = nullptr;
};

void ExpectDone(const Outcome& o);
void ExpectRefused(const Outcome& o, std::uint32_t errorCode, std::uint32_t qualifier,
                   std::uint32_t moduleId);

}  // namespace netsrvtest
