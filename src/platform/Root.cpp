#include "platform/Root.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

std::mutex& OverrideMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string& Override() {
    static std::string dir;
    return dir;
}

std::string StripTrailingSlashes(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

}  // namespace

std::string RootDir() {
    {
        std::lock_guard<std::mutex> lock(OverrideMutex());
        if (!Override().empty()) {
            return Override();
        }
    }
    const char* env = std::getenv("ORU_ROOT");
    if (env == nullptr || *env == '\0') {
        return kDefaultRootDir;
    }
    return StripTrailingSlashes(env);
}

void SetRootDir(const std::string& dir) {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    Override() = dir.empty() ? std::string() : StripTrailingSlashes(dir);
}

std::string RootPath(std::string_view relative) {
    std::string root = RootDir();
    while (!relative.empty() && relative.front() == '/') {
        relative.remove_prefix(1);
    }
    if (relative.empty()) {
        return root;
    }
    if (root != "/") {
        root += '/';
    }
    root.append(relative);
    return root;
}

std::string MapDrivePath(std::string_view windowsPath) {
    std::string path(windowsPath);
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    bool drive = path.size() >= 2 && path[1] == ':' &&
                 ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (!drive) {
        return path;
    }
    char letter =
        static_cast<char>(path[0] >= 'A' && path[0] <= 'Z' ? path[0] - 'A' + 'a' : path[0]);
    std::string rest = path.substr(2);
    while (!rest.empty() && rest.front() == '/') {
        rest.erase(0, 1);
    }
    std::string mapped = RootPath(std::string(1, letter));
    if (!rest.empty()) {
        mapped += '/';
        mapped += rest;
    }
    return mapped;
}

int MakeDirs(const std::string& dir) {
    if (dir.empty()) {
        return EINVAL;
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    std::string::size_type slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        int parent = MakeDirs(dir.substr(0, slash));
        if (parent != 0) {
            return parent;
        }
    }
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
        return errno;
    }
    return 0;
}

}  // namespace platform
