// dktrail: prints the array-management service's log from its files.
#include <iostream>
#include <string>
#include <vector>

#include "tools/trail/TrailRun.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return trail::RunTrail(arguments, std::cout, std::cerr);
}
