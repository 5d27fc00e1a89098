#include "netmgmt/agent/host/AgentLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace orusnmphost {

namespace {

constexpr const char* kLibraryName = "libOruagent.so";

// The directory of the running program ("" when it cannot be read).
std::string ProgramDirectory() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return std::string();
    }
    std::string whole(path, static_cast<std::size_t>(n));
    const std::size_t slash = whole.rfind('/');
    return slash == std::string::npos ? std::string() : whole.substr(0, slash);
}

}  // namespace

AgentLibrary::~AgentLibrary() {
    if (handle_ != nullptr && !keep_) {
        ::dlclose(handle_);
    }
}

AgentLibrary::LoadResult AgentLibrary::Load(std::string* path, std::string* why) {
    std::vector<std::string> candidates;
    const std::string directory = ProgramDirectory();
    if (!directory.empty()) {
        candidates.push_back(directory + "/../lib/" + kLibraryName);
        candidates.push_back(directory + "/../" ORU_INSTALL_LIBDIR "/" + kLibraryName);
    }
    candidates.push_back(kLibraryName);
    for (const std::string& candidate : candidates) {
        if (candidate.find('/') != std::string::npos && ::access(candidate.c_str(), F_OK) != 0) {
            continue;
        }
        *path = candidate;
        handle_ = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            const char* error = ::dlerror();
            *why = error != nullptr ? error : "";
            return LoadResult::kCannotOpen;
        }
        break;
    }
    struct Entry {
        const char* name;
        void** target;
    };
    const Entry entries[] = {
        {"OruAgentDllMain", reinterpret_cast<void**>(&dllMain)},
        {"SnmpExtensionInit", reinterpret_cast<void**>(&init)},
        {"SnmpExtensionQuery", reinterpret_cast<void**>(&query)},
        {"SnmpExtensionTrap", reinterpret_cast<void**>(&trap)},
        {"OruAgentSetReportEcho", reinterpret_cast<void**>(&setReportEcho)},
    };
    for (const Entry& entry : entries) {
        *entry.target = ::dlsym(handle_, entry.name);
        if (*entry.target == nullptr) {
            *why = entry.name;
            return LoadResult::kMissingEntry;
        }
    }
    return LoadResult::kLoaded;
}

}  // namespace orusnmphost
