#include "RequestFixture.h"

#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>

#include "coresys/common/PollMsg.h"
#include "platform/Clock.h"

namespace netsrvtest {

HandleKey Key(const CommandHandle& h) {
    return {h.sequence, h.sessionID};
}

void DispatchEndToEndTest::SetUp() {
    ::setenv("ORU_ROOT", root_.Path().c_str(), 1);
    // The simulator's clock is virtual: the tests move it on themselves.
    ASSERT_TRUE(StartSimulator());
    BeforeServer();
    ConfigureAdministration();
    StartServer({"ORU_SMON_INTERVAL=0", "ORU_PLOG_INTERVAL=0"});
    qen_ = std::make_unique<QEN>(0);
    ASSERT_EQ(qen_->ScanforSubsystems("127.0.0.1", 0, 0), ASL_GOOD);
}

void DispatchEndToEndTest::TearDown() {
    qen_.reset();
    NetServerTest::TearDown();
    ::unsetenv("ORU_ROOT");
}

std::vector<std::string> DispatchEndToEndTest::Cabinet(int n) {
    std::string all;
    Strovsim({"show"}, &all);
    std::vector<std::string> lines;
    std::istringstream in(all);
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("cabinet ", 0) == 0 || line.rfind("path ", 0) == 0) {
            inside = line.rfind("cabinet " + std::to_string(n) + " ", 0) == 0;
        }
        if (inside) {
            lines.push_back(line);
        }
    }
    return lines;
}

bool DispatchEndToEndTest::WaitForCabinet(int n, const std::string& part) {
    const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    while (platform::MonotonicMs() < end) {
        std::vector<std::string> lines = Cabinet(n);
        if (!lines.empty() && lines[0].find(part) != std::string::npos) {
            return true;
        }
        platform::SleepMs(20);
    }
    return false;
}

OruSubsystem* DispatchEndToEndTest::Subsystem(const char* serial) {
    for (int i = 0; i < qen_->NameArraySize(); ++i) {
        if (std::strcmp((*qen_)[i]->SerialNumber(), serial) == 0) {
            return (*qen_)[i];
        }
    }
    return nullptr;
}

DiskArray* DispatchEndToEndTest::Connect(const char* serial) {
    OruSubsystem* subsystem = Subsystem(serial);
    EXPECT_NE(subsystem, nullptr);
    return subsystem != nullptr ? qen_->Connect(subsystem) : nullptr;
}

std::map<HandleKey, Outcome> DispatchEndToEndTest::Await(DiskArray& array,
                                                         const std::vector<CommandHandle>& handles,
                                                         int limitMs) {
    std::map<HandleKey, Outcome> outcomes;
    std::set<HandleKey> open;
    for (const CommandHandle& h : handles) {
        open.insert(Key(h));
        outcomes[Key(h)];
    }
    const std::uint64_t end = platform::MonotonicMs() + static_cast<std::uint64_t>(limitMs);
    while (!open.empty() && platform::MonotonicMs() < end) {
        PollMsg* result = array.PollQEN();
        if (result == nullptr) {
            platform::SleepMs(2);
            continue;
        }
        if (result->kind == RMT_INVALID) {
            break;  // the connection is gone
        }
        Keep(result);
        auto it = outcomes.find(Key(result->handle));
        if (it == outcomes.end() || result->kind == RMT_EVENT_MSG) {
            continue;
        }
        Outcome& outcome = it->second;
        outcome.statuses.push_back(result->status);
        if (result->status == 1) {
            outcome.finished = true;
            outcome.kind = result->kind;
            if (auto* error = dynamic_cast<ErrorPollMsg*>(result)) {
                outcome.error = error->error;
                outcome.errorCode = error->error.errorCode;
                outcome.qualifier = error->error.qualifier;
                outcome.moduleId = error->error.moduleId;
            }
            if (auto* buffer = dynamic_cast<BufferPollMsg*>(result)) {
                outcome.bytes = buffer->bytes;
            }
            open.erase(it->first);
        }
    }
    return outcomes;
}

Outcome DispatchEndToEndTest::Run(DiskArray& array, CommandHandle handle, int limitMs) {
    return Await(array, {handle}, limitMs)[Key(handle)];
}

void DispatchEndToEndTest::Keep(PollMsg* result) {
    auto* events = dynamic_cast<EventPollMsg*>(result);
    if (events == nullptr) {
        return;
    }
    for (std::uint32_t i = 0; i < events->EventCount(); ++i) {
        const Event* e = (*events)[static_cast<unsigned short>(i)];
        if (e != nullptr) {
            events_.push_back({e->majorType, e->minorType, e->data1, e->data2});
        }
    }
}

bool DispatchEndToEndTest::WaitForEvent(DiskArray& array,
                                        const std::function<bool(const EventWords&)>& match,
                                        int limitMs) {
    std::size_t seen = 0;
    const std::uint64_t end = platform::MonotonicMs() + static_cast<std::uint64_t>(limitMs);
    while (platform::MonotonicMs() < end) {
        for (; seen < events_.size(); ++seen) {
            if (match(events_[seen])) {
                return true;
            }
        }
        PollMsg* result = array.PollQEN();
        if (result == nullptr) {
            platform::SleepMs(2);
            continue;
        }
        if (result->kind == RMT_INVALID) {
            return false;
        }
        Keep(result);
    }
    return false;
}

void ArrayRequestTest::SetUp() {
    DispatchEndToEndTest::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    array_ = Connect();
    ASSERT_NE(array_, nullptr);
    ASSERT_EQ(Do(array_->GetState()).kind, RMT_STATE_MSG);
}

void ExpectDone(const Outcome& o) {
    EXPECT_TRUE(o.finished);
    EXPECT_EQ(o.kind, RMT_OKSTATUS_MSG);
    EXPECT_EQ(o.errorCode, 0u);
}

void ExpectRefused(const Outcome& o, std::uint32_t errorCode, std::uint32_t qualifier,
                   std::uint32_t moduleId) {
    EXPECT_TRUE(o.finished);
    EXPECT_EQ(o.kind, RMT_ORUERRORSTATUS_MSG);
    EXPECT_EQ(o.errorCode, errorCode);
    EXPECT_EQ(o.qualifier, qualifier);
    EXPECT_EQ(o.moduleId, moduleId);
}

}  // namespace netsrvtest
