// A fresh machine root for one test: a new directory with dev/ made, set as
// this process's ORU_ROOT, removed with everything in it afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Root.h"
#include "platform/scsi/ScsiDevice.h"

class TempRoot {
  public:
    TempRoot() {
        std::string pattern = (std::filesystem::temp_directory_path() / "oruscsi.XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        path_ = made != nullptr ? made : std::string();
        std::filesystem::create_directories(path_ + "/dev");
        platform::SetRootDir(path_);
        platform::ClearInProcessDevices();
    }
    ~TempRoot() {
        platform::ClearInProcessDevices();
        platform::SetRootDir(std::string());
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& Path() const { return path_; }

    void WriteFile(const std::string& relative, const std::string& text) const {
        std::ofstream(path_ + "/" + relative) << text;
    }

  private:
    std::string path_;
};
