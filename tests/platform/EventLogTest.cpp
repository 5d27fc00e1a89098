#include "platform/EventLog.h"

#include "PlatformTestRoot.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

using namespace platform;

TEST(EventLog, AReportBecomesOneRecordOfTheApplicationLog) {
    platformtest::TestRoot root;
    EventSourceHandle source = RegisterEventSource("OruServer");
    ASSERT_NE(source, nullptr);
    ASSERT_TRUE(ReportEvent(source, EVENTLOG_WARNING_TYPE, 3, 42, {"first\ttab", "second\nline"}));
    ASSERT_TRUE(ReportEvent(source, EVENTLOG_ERROR_TYPE, 0, 1, {}));
    ASSERT_TRUE(DeregisterEventSource(source));

    std::vector<EventRecord> records;
    int bad = -1;
    ASSERT_TRUE(ReadEventLog("Application", &records, &bad));
    EXPECT_EQ(bad, 0);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].source, "OruServer");
    EXPECT_EQ(records[0].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(records[0].category, 3);
    EXPECT_EQ(records[0].eventId, 42u);
    EXPECT_EQ(records[0].processId, static_cast<std::uint32_t>(::getpid()));
    EXPECT_EQ(records[0].strings, (std::vector<std::string>{"first\ttab", "second\nline"}));
    EXPECT_EQ(records[0].time.size(), 24u);  // 2024-05-01T12:00:00.123Z
    EXPECT_EQ(records[1].type, EVENTLOG_ERROR_TYPE);
    EXPECT_TRUE(records[1].strings.empty());

    // The file holds one line per record, fields separated by tabs.
    std::string text = root.Read("eventlog/Application.log");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_NE(text.find("\tOruServer\tWARNING\t3\t42\t"), std::string::npos);
    EXPECT_NE(text.find("first\\ttab\tsecond\\nline\n"), std::string::npos);
}

// A record that would pass the process's file-size limit is refused whole
// (EFBIG, as a full disk refuses it), never written in part.
TEST(EventLog, ARecordPastTheFileSizeLimitIsRefusedWhole) {
    platformtest::TestRoot root;
    EventSourceHandle source = RegisterEventSource("OruServer");
    ASSERT_NE(source, nullptr);
    ASSERT_TRUE(ReportEvent(source, EVENTLOG_WARNING_TYPE, 0, 1, {"first"}));
    const std::string before = root.Read("eventlog/Application.log");
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = before.size() + 40;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    errno = 0;
    bool written = ReportEvent(source, EVENTLOG_WARNING_TYPE, 0, 1, {std::string(100, 'x')});
    int error = errno;
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(root.Read("eventlog/Application.log"), before);
    EXPECT_TRUE(ReportEvent(source, EVENTLOG_WARNING_TYPE, 0, 1, {"after"}));
    DeregisterEventSource(source);
}

TEST(EventLog, BadArgumentsFail) {
    platformtest::TestRoot root;
    EXPECT_EQ(RegisterEventSource(""), nullptr);
    EXPECT_FALSE(ReportEvent(nullptr, EVENTLOG_ERROR_TYPE, 0, 0, {}));
    EventSourceHandle source = RegisterEventSource("x");
    EXPECT_FALSE(ReportEvent(source, 0x7777, 0, 0, {}));
    DeregisterEventSource(source);
}

TEST(EventLog, ASourceAddedToAnotherLogWritesThere) {
    platformtest::TestRoot root;
    std::string message;
    ASSERT_TRUE(AddEventSource("Strovane", "OruServer Service", &message)) << message;
    EventSourceHandle source = RegisterEventSource("OruServer Service");
    ASSERT_TRUE(ReportEvent(source, EVENTLOG_INFORMATION_TYPE, 0, 0, {"hello"}));
    DeregisterEventSource(source);
    std::vector<EventRecord> records;
    ASSERT_TRUE(ReadEventLog("Strovane", &records));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].strings[0], "hello");
    ASSERT_TRUE(ReadEventLog("Application", &records));
    EXPECT_TRUE(records.empty());
    ASSERT_TRUE(RemoveEventSource("Strovane", "OruServer Service", &message));
}

TEST(EventLog, RecordsOfSeveralProcessesNeverInterleave) {
    platformtest::TestRoot root;
    constexpr int kProcesses = 6;
    constexpr int kRecords = 150;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            EventSourceHandle source = RegisterEventSource("Writer" + std::to_string(p));
            std::string big(3000, static_cast<char>('a' + p));
            for (int i = 0; i < kRecords; ++i) {
                if (!ReportEvent(source, EVENTLOG_INFORMATION_TYPE, 0,
                                 static_cast<std::uint32_t>(i), {big, std::to_string(i)})) {
                    ::_exit(1);
                }
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<EventRecord> records;
    int bad = -1;
    ASSERT_TRUE(ReadEventLog("Application", &records, &bad));
    EXPECT_EQ(bad, 0);
    ASSERT_EQ(records.size(), static_cast<size_t>(kProcesses * kRecords));
    for (const EventRecord& record : records) {
        ASSERT_EQ(record.strings.size(), 2u);
        char letter = static_cast<char>('a' + (record.source.back() - '0'));
        EXPECT_EQ(record.strings[0], std::string(3000, letter));
        EXPECT_EQ(record.strings[1], std::to_string(record.eventId));
    }
}

}  // namespace
