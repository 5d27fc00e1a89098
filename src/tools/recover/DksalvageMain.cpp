// dksalvage: recovers a Strovane array that lost its configuration, starts
// its parity scan, follows the work, and dumps or clears its controller log,
// talking to the array directly.
#include <iostream>

#include "tools/recover/SalvageRun.h"

int main(int argc, char** argv) {
    return salvage::RunSalvage(argc, argv, salvage::Console{std::cin, std::cout, std::cerr});
}
