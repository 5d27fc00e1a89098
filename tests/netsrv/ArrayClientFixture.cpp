#include "ArrayClientFixture.h"

#include <cstdlib>
#include <cstring>

#include "coresys/common/PollMsg.h"
#include "platform/Clock.h"

namespace netsrvtest {

void ArrayClientTest::StartAndConnect(const char* serial,
                                      const std::vector<std::string>& environment) {
    ::setenv("ORU_ROOT", root_.Path().c_str(), 1);
    ASSERT_TRUE(sim_.Start());
    admin_ = ConfigureAdministration();
    StartServer(environment);
    qen_ = std::make_unique<QEN>(0);
    ASSERT_EQ(qen_->ScanforSubsystems("127.0.0.1", 0, 0), ASL_GOOD);
    for (int i = 0; i < qen_->NameArraySize(); ++i) {
        if (std::strcmp((*qen_)[i]->SerialNumber(), serial) == 0) {
            array_ = qen_->Connect((*qen_)[i]);
        }
    }
    ASSERT_NE(array_, nullptr);
}

void ArrayClientTest::TearDown() {
    qen_.reset();
    NetServerTest::TearDown();
    sim_.Stop();
    ::unsetenv("ORU_ROOT");
}

bool ArrayClientTest::FetchState() {
    CommandHandle handle = array_->GetState();
    const std::uint64_t end = platform::MonotonicMs() + kLimitMs;
    while (platform::MonotonicMs() < end) {
        PollMsg* result = array_->PollQEN();
        if (result == nullptr) {
            platform::SleepMs(2);
            continue;
        }
        if (result->kind == RMT_INVALID) {
            return false;
        }
        if (DiskArray::Answers(result, handle) && result->status == 1) {
            return result->kind == RMT_STATE_MSG;
        }
    }
    return false;
}

}  // namespace netsrvtest
