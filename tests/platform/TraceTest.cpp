#include "platform/Trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    return text;
}

TEST(Trace, SilentUntilSwitchedOn) {
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    platform::SetTraceStream(sink);
    platform::SetTraceEnabled(false);
    platform::Trace("invisible %d\n", 1);
    EXPECT_EQ(Contents(sink), "");
    platform::SetTraceEnabled(true);
    EXPECT_TRUE(platform::TraceEnabled());
    platform::Trace("Beginning of function %s.\n", "service_main");
    EXPECT_EQ(Contents(sink), "Beginning of function service_main.\n");
    platform::SetTraceEnabled(false);
    platform::SetTraceStream(nullptr);
    std::fclose(sink);
}

TEST(Trace, ALineTooLongIsCutButKeepsItsEnd) {
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    platform::SetTraceStream(sink);
    platform::SetTraceEnabled(true);
    const std::string longer(5000, 'x');
    platform::Trace("%s\n", longer.c_str());
    platform::Trace("next\n");
    // Without its line end the cut text would run on into the next line.
    platform::Trace("%s", longer.c_str());
    platform::Trace("|\n");
    platform::SetTraceEnabled(false);
    platform::SetTraceStream(nullptr);
    const std::string text = Contents(sink);
    std::fclose(sink);
    EXPECT_EQ(text, std::string(4094, 'x') + "\nnext\n" + std::string(4095, 'x') + "|\n");
}

TEST(Trace, LinesOfSeveralThreadsStayWhole) {
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    platform::SetTraceStream(sink);
    platform::SetTraceEnabled(true);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            std::string text(200, static_cast<char>('a' + t));
            for (int i = 0; i < 200; ++i) {
                platform::Trace("%s\n", text.c_str());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    platform::SetTraceEnabled(false);
    platform::SetTraceStream(nullptr);
    std::string text = Contents(sink);
    std::fclose(sink);
    size_t lines = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        ASSERT_NE(end, std::string::npos);
        std::string line = text.substr(pos, end - pos);
        ASSERT_EQ(line.size(), 200u);
        EXPECT_EQ(line, std::string(200, line[0]));
        ++lines;
        pos = end + 1;
    }
    EXPECT_EQ(lines, 800u);
}

}  // namespace
