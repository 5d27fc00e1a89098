#include "platform/ServiceRecord.h"

#include "platform/FileUtil.h"
#include "platform/Root.h"

#include <dirent.h>
#include <signal.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace platform::scm {
namespace {

std::uint64_t Number(const std::string& text) {
    return std::strtoull(text.c_str(), nullptr, 10);
}

}  // namespace

std::string DatabaseDir() {
    return RootPath("scm");
}

bool ValidServiceName(const std::string& name) {
    if (name.empty() || name.size() > 256 || name[0] == '.') {
        return false;
    }
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) {
            return false;
        }
    }
    return true;
}

bool ValidRecordText(const std::string& text) {
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\0') {
            return false;
        }
    }
    return true;
}

std::string LowerCase(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

bool FindRecordDir(const std::string& name, std::string* dir) {
    if (!ValidServiceName(name)) {
        return false;
    }
    std::string base = DatabaseDir();
    std::string exact = base + "/" + name;
    std::string content;
    if (ReadWholeFile(exact + "/config", &content) == 0) {
        *dir = exact;
        return true;
    }
    DIR* listing = ::opendir(base.c_str());
    if (listing == nullptr) {
        return false;
    }
    std::string wanted = LowerCase(name);
    bool found = false;
    while (dirent* entry = ::readdir(listing)) {
        std::string candidate = entry->d_name;
        if (candidate[0] != '.' && LowerCase(candidate) == wanted &&
            ReadWholeFile(base + "/" + candidate + "/config", &content) == 0) {
            *dir = base + "/" + candidate;
            found = true;
            break;
        }
    }
    ::closedir(listing);
    return found;
}

void ReadStatusFile(const std::string& dir, StatusFile* file) {
    *file = StatusFile{};
    std::string text;
    if (ReadWholeFile(dir + "/status", &text) != 0) {
        return;
    }
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::string::size_type eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        ServiceStatus& s = file->status;
        if (key == "type") {
            s.serviceType = static_cast<std::uint32_t>(Number(value));
        } else if (key == "state") {
            s.currentState = static_cast<std::uint32_t>(Number(value));
        } else if (key == "accepted") {
            s.controlsAccepted = static_cast<std::uint32_t>(Number(value));
        } else if (key == "win32exit") {
            s.win32ExitCode = static_cast<std::uint32_t>(Number(value));
        } else if (key == "specificexit") {
            s.serviceSpecificExitCode = static_cast<std::uint32_t>(Number(value));
        } else if (key == "checkpoint") {
            s.checkPoint = static_cast<std::uint32_t>(Number(value));
        } else if (key == "waithint") {
            s.waitHint = static_cast<std::uint32_t>(Number(value));
        } else if (key == "pid") {
            file->pid = static_cast<std::uint32_t>(Number(value));
        } else if (key == "pidstart") {
            file->pidStart = Number(value);
        } else if (key == "dispatcher") {
            file->dispatcher = value == "1";
        } else if (key == "control") {
            file->control = value;
        } else if (key == "lastpid") {
            file->lastPid = static_cast<std::uint32_t>(Number(value));
        }
    }
    if (file->status.currentState < SERVICE_STOPPED || file->status.currentState > SERVICE_PAUSED) {
        file->status.currentState = SERVICE_STOPPED;
    }
}

int WriteStatusFile(const std::string& dir, const StatusFile& file) {
    const ServiceStatus& s = file.status;
    std::ostringstream text;
    text << "state=" << s.currentState << "\naccepted=" << s.controlsAccepted
         << "\nwin32exit=" << s.win32ExitCode << "\nspecificexit=" << s.serviceSpecificExitCode
         << "\ncheckpoint=" << s.checkPoint << "\nwaithint=" << s.waitHint
         << "\ntype=" << s.serviceType << "\npid=" << file.pid << "\npidstart=" << file.pidStart
         << "\ndispatcher=" << (file.dispatcher ? 1 : 0) << "\ncontrol=" << file.control
         << "\nlastpid=" << file.lastPid << "\n";
    return WriteFileAtomic(dir + "/status", text.str());
}

std::string FormatConfig(const ServiceConfig& config) {
    std::ostringstream text;
    text << "name=" << config.serviceName << "\ndisplay=" << config.displayName
         << "\nbinary=" << config.binaryPath << "\ntype=" << config.serviceType
         << "\nstart=" << config.startType << "\nerror=" << config.errorControl << "\n";
    for (const std::string& argument : config.arguments) {
        text << "arg=" << argument << "\n";
    }
    for (const std::string& dependency : config.dependencies) {
        text << "dependency=" << dependency << "\n";
    }
    return text.str();
}

bool ParseConfig(const std::string& text, ServiceConfig* config) {
    *config = ServiceConfig{};
    std::istringstream lines(text);
    std::string line;
    bool named = false;
    while (std::getline(lines, line)) {
        std::string::size_type eq = line.find('=');
        if (eq == std::string::npos) {
            if (line.empty()) {
                continue;
            }
            return false;
        }
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (key == "name") {
            config->serviceName = value;
            named = true;
        } else if (key == "display") {
            config->displayName = value;
        } else if (key == "binary") {
            config->binaryPath = value;
        } else if (key == "type") {
            config->serviceType = static_cast<std::uint32_t>(Number(value));
        } else if (key == "start") {
            config->startType = static_cast<std::uint32_t>(Number(value));
        } else if (key == "error") {
            config->errorControl = static_cast<std::uint32_t>(Number(value));
        } else if (key == "arg") {
            config->arguments.push_back(value);
        } else if (key == "dependency") {
            config->dependencies.push_back(value);
        }
    }
    return named && ValidServiceName(config->serviceName);
}

bool ReadConfigFile(const std::string& dir, ServiceConfig* config) {
    std::string text;
    return ReadWholeFile(dir + "/config", &text) == 0 && ParseConfig(text, config);
}

bool ReadExitFile(const std::string& dir, std::uint32_t* pid, std::int32_t* code) {
    std::string text;
    if (ReadWholeFile(dir + "/exit", &text) != 0) {
        return false;
    }
    std::istringstream lines(text);
    std::string line;
    bool havePid = false;
    bool haveCode = false;
    while (std::getline(lines, line)) {
        if (line.rfind("pid=", 0) == 0) {
            *pid = static_cast<std::uint32_t>(Number(line.substr(4)));
            havePid = true;
        } else if (line.rfind("code=", 0) == 0) {
            *code = static_cast<std::int32_t>(std::strtol(line.c_str() + 5, nullptr, 10));
            haveCode = true;
        }
    }
    return havePid && haveCode;
}

std::uint64_t ProcessStartTime(pid_t pid) {
    std::string text;
    if (pid <= 0 || ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", &text) != 0) {
        return 0;
    }
    // Fields after the command name (which may hold spaces and parentheses).
    std::string::size_type close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    // Field 3 is the state; field 22 the start time.
    std::string state;
    fields >> state;
    if (state == "Z" || state == "X" || state == "x") {
        return 0;
    }
    for (int index = 4; index <= 22; ++index) {
        if (!(fields >> field)) {
            return 0;
        }
    }
    std::uint64_t start = Number(field);
    return start == 0 ? 1 : start;
}

bool ProcessAlive(std::uint32_t pid, std::uint64_t start) {
    if (pid == 0) {
        return false;
    }
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) {
        return false;
    }
    std::uint64_t now = ProcessStartTime(static_cast<pid_t>(pid));
    if (now == 0) {
        return false;  // gone, or a zombie
    }
    return start == 0 || now == start;
}

std::string LockPath(const std::string& dir) {
    return dir + "/lock";
}
std::string StartLockPath(const std::string& dir) {
    return dir + "/start.lock";
}

}  // namespace platform::scm
