// A fresh machine root for one test: a new temporary directory as ORU_ROOT
// (and syslog copies of event records switched off), removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace platformtest {

class TestRoot {
  public:
    TestRoot() {
        char pattern[] = "/tmp/oru-platform-XXXXXX";
        char* made = ::mkdtemp(pattern);
        dir_ = made != nullptr ? made : "";
        const char* old = ::getenv("ORU_ROOT");
        hadOld_ = old != nullptr;
        old_ = old != nullptr ? old : "";
        ::setenv("ORU_ROOT", dir_.c_str(), 1);
        ::setenv("ORU_EVENTLOG_SYSLOG", "0", 1);
    }
    ~TestRoot() {
        if (hadOld_) {
            ::setenv("ORU_ROOT", old_.c_str(), 1);
        } else {
            ::unsetenv("ORU_ROOT");
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    TestRoot(const TestRoot&) = delete;
    TestRoot& operator=(const TestRoot&) = delete;

    const std::string& Dir() const { return dir_; }
    std::string Path(const std::string& relative) const { return dir_ + "/" + relative; }

    // Writes a file under the root, creating its directories.
    void Write(const std::string& relative, const std::string& content) const {
        std::filesystem::path path = Path(relative);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }

    std::string Read(const std::string& relative) const {
        std::ifstream in(Path(relative), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    std::string dir_;
    std::string old_;
    bool hadOld_ = false;
};

}  // namespace platformtest
