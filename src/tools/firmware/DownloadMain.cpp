// download: writes microcode into an array's controllers or drives, copies
// it between the controllers, formats a drive, lists the arrays.
#include "tools/firmware/DownloadFlows.h"

int main(int argc, char** argv) {
    return download::DownloadMain(argc, argv);
}
