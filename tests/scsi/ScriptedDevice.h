// A test twin of one controller path, served in-process under a device name.
//
// It answers from literal bytes only: a set of standing pages (answered every
// time a request with that CDB arrives, e.g. the scan's inquiries) and a
// queue of scripted steps, each checking the next request's CDB, direction,
// transfer length, time-out and data-out before giving its literal answer.
// Every request is traced, so a test can assert what went to the device.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/scsi/ScsiDevice.h"

namespace scsitest {

using Bytes = std::vector<std::uint8_t>;

struct Answer {
    std::uint8_t status = 0;
    Bytes sense;
    Bytes dataIn;
    std::optional<std::uint32_t> bytesMoved;  // default: dataIn.size() (or the transfer for out)
    int systemError = 0;
};

struct Step {
    Bytes cdb;  // exact CDB, its length is the CDB length
    platform::ScsiDirection direction = platform::ScsiDirection::None;
    std::uint32_t transferLength = 0;
    std::optional<std::uint32_t> timeout;
    std::optional<Bytes> dataOut;
    Answer answer;
};

struct Traced {
    Bytes cdb;
    platform::ScsiDirection direction;
    std::uint32_t transferLength;
    std::uint32_t timeout;
    Bytes dataOut;
};

// State shared by every open of one name.
struct Script {
    std::mutex mutex;
    platform::ScsiAddress address;
    std::map<Bytes, Answer> standing;
    std::deque<Step> steps;
    std::vector<Traced> trace;

    void Expect(Step step) {
        std::lock_guard<std::mutex> lock(mutex);
        steps.push_back(std::move(step));
    }
    bool Done() {
        std::lock_guard<std::mutex> lock(mutex);
        return steps.empty();
    }
    std::vector<Bytes> Opcodes() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<Bytes> out;
        for (const Traced& t : trace) {
            out.push_back(t.cdb);
        }
        return out;
    }
};

class ScriptedDevice : public platform::ScsiDevice {
  public:
    explicit ScriptedDevice(std::shared_ptr<Script> script) : script_(std::move(script)) {}

    int GetAddress(platform::ScsiAddress& address) override {
        std::lock_guard<std::mutex> lock(script_->mutex);
        address = script_->address;
        return 0;
    }
    int GetCapabilities(platform::ScsiCapabilities& capabilities) override {
        capabilities = platform::ScsiCapabilities{};
        return 0;
    }

    void PassThrough(const platform::ScsiRequest& request,
                     platform::ScsiOutcome& outcome) override {
        std::lock_guard<std::mutex> lock(script_->mutex);
        Bytes cdb(request.cdb.begin(), request.cdb.begin() + request.cdbLength);
        Traced traced{cdb, request.direction, request.transferLength, request.timeoutSeconds, {}};
        if (request.direction == platform::ScsiDirection::Out && request.data != nullptr) {
            traced.dataOut.assign(request.data, request.data + request.transferLength);
        }
        script_->trace.push_back(traced);

        Answer answer;
        auto standing = script_->standing.find(cdb);
        if (standing != script_->standing.end()) {
            answer = standing->second;
        } else if (script_->steps.empty()) {
            ADD_FAILURE() << "unexpected command, opcode 0x" << std::hex << int(cdb[0]);
            answer.status = 0x02;
            answer.sense = {0x70, 0, 5, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0};
        } else {
            Step step = script_->steps.front();
            script_->steps.pop_front();
            EXPECT_EQ(cdb, step.cdb);
            EXPECT_EQ(request.direction, step.direction);
            EXPECT_EQ(request.transferLength, step.transferLength);
            if (step.timeout) {
                EXPECT_EQ(request.timeoutSeconds, *step.timeout);
            }
            if (step.dataOut) {
                EXPECT_EQ(traced.dataOut, *step.dataOut);
            }
            answer = step.answer;
        }

        outcome = platform::ScsiOutcome{};
        if (answer.systemError != 0) {
            outcome.systemError = answer.systemError;
            return;
        }
        outcome.scsiStatus = answer.status;
        outcome.senseLength = static_cast<std::uint8_t>(answer.sense.size());
        if (!answer.sense.empty()) {
            std::memcpy(outcome.sense.data(), answer.sense.data(), answer.sense.size());
        }
        if (request.direction == platform::ScsiDirection::In) {
            std::size_t n = answer.dataIn.size();
            if (n > request.transferLength) {
                n = request.transferLength;
            }
            if (n != 0) {
                std::memcpy(request.data, answer.dataIn.data(), n);
            }
            outcome.bytesMoved = static_cast<std::uint32_t>(n);
        } else if (request.direction == platform::ScsiDirection::Out) {
            outcome.bytesMoved = request.transferLength;
        }
        if (answer.bytesMoved) {
            outcome.bytesMoved = *answer.bytesMoved;
        }
    }

  private:
    std::shared_ptr<Script> script_;
};

// Serves name from script; returns the script.
inline std::shared_ptr<Script> Serve(const std::string& name,
                                     std::shared_ptr<Script> script = nullptr) {
    if (!script) {
        script = std::make_shared<Script>();
    }
    platform::RegisterInProcessDevice(
        name, [script] { return std::make_unique<ScriptedDevice>(script); });
    return script;
}

// Literal pages a controller answers at the scan: identity page 0xE0 (68
// bytes) with the given code and unit serial page 0x80 (48 bytes).
inline Bytes IdentityPage68(const char code[10], const char firmware[10]) {
    Bytes page(68, 0);
    page[1] = 0xE0;
    page[3] = 64;
    std::memcpy(page.data() + 8, code, 10);
    std::memcpy(page.data() + 18, firmware, 10);
    return page;
}

inline Bytes SerialPage48(bool active, const char serial[16], const char partner[16],
                          const char backplane[12]) {
    Bytes page(48, 0);
    page[1] = 0x80;
    page[2] = active ? 1 : 0;
    page[3] = 44;
    std::memcpy(page.data() + 4, serial, 16);
    std::memcpy(page.data() + 20, partner, 16);
    std::memcpy(page.data() + 36, backplane, 12);
    return page;
}

inline const Bytes kScanIdentityCdb = {0x12, 0x01, 0xE0, 0x00, 0x44, 0x00};
inline const Bytes kScanSerialCdb = {0x12, 0x01, 0x80, 0x00, 0x30, 0x00};

// A path to a controller with the given unit serial.
inline std::shared_ptr<Script> ServeController(const std::string& name, const char serial[16],
                                               const char backplane[12] = "CAB000000001") {
    auto script = Serve(name);
    script->standing[kScanIdentityCdb].dataIn = IdentityPage68("QRVZX-4003", "0407.12   ");
    script->standing[kScanSerialCdb].dataIn =
        SerialPage48(true, serial, "                ", backplane);
    return script;
}

}  // namespace scsitest
