#include "support/ServerProcess.h"

#include "platform/Clock.h"
#include "platform/EventLog.h"

namespace testsupport {

bool ServerProcess::Start(const std::vector<std::string>& environment) {
    std::vector<std::string> env = {
        "ORU_DEBUG=ON",          "ORU_ROOT=" + root_.Path(),
        "ORU_EVENTLOG_SYSLOG=0", "LC_ALL",
        "LC_MESSAGES",           "LANG=C",
        "ORU_SCM_SERVICE",
    };
    env.insert(env.end(), environment.begin(), environment.end());
    return process_.Start(binDir_ + "/OruServr", {}, env);
}

bool ServerProcess::WaitUntilRunning(int timeoutMs, const std::string& startedText) {
    std::uint64_t deadline = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    while (platform::MonotonicMs() < deadline) {
        for (const std::string& text : EventLogTexts()) {
            if (text.find(startedText) != std::string::npos) {
                return true;
            }
        }
        if (!process_.Running()) {
            return false;
        }
        platform::SleepMs(20);
    }
    return false;
}

std::vector<std::string> EventLogTexts(const std::string& logName) {
    std::vector<platform::EventRecord> records;
    std::vector<std::string> texts;
    if (!platform::ReadEventLog(logName, &records)) {
        return texts;
    }
    for (const platform::EventRecord& record : records) {
        std::string joined;
        for (std::size_t i = 0; i < record.strings.size(); ++i) {
            joined += (i == 0 ? "" : "|") + record.strings[i];
        }
        texts.push_back(joined);
    }
    return texts;
}

int CountEventLogTexts(const std::string& prefix, const std::string& logName) {
    int count = 0;
    for (const std::string& text : EventLogTexts(logName)) {
        count += text.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

bool WaitForEventLogText(const std::string& text, int timeoutMs, const std::string& logName) {
    std::uint64_t deadline = platform::MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    for (;;) {
        for (const std::string& record : EventLogTexts(logName)) {
            if (record.find(text) != std::string::npos) {
                return true;
            }
        }
        if (platform::MonotonicMs() >= deadline) {
            return false;
        }
        platform::SleepMs(20);
    }
}

}  // namespace testsupport
