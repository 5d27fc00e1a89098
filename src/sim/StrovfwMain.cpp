// strovfw: firmware image files for the simulated controllers and drives.
#include "sim/FirmwareTool.h"

int main(int argc, char** argv) {
    return sim::RunFirmwareTool(argc, argv);
}
