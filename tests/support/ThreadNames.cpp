#include "support/ThreadNames.h"

#include <dirent.h>

#include <fstream>

namespace testsupport {

std::map<std::string, int> ThreadNames() {
    std::map<std::string, int> names;
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) {
        return names;
    }
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        ++names[name];
    }
    closedir(dir);
    return names;
}

}  // namespace testsupport
