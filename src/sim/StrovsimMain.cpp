// strovsim: serves the simulated Strovane cabinets (see StrovsimCli).
#include "sim/StrovsimCli.h"

int main(int argc, char** argv) {
    return sim::StrovsimCli::Run(argc, argv);
}
