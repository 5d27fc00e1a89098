// download: writes microcode into an array's controllers or drives, copies
// it between the controllers, formats a drive, lists the arrays.
#include "tools/firmware/DownloadFlows.h"
#include "tools/firmware/DownloadSignals.h"

int main(int argc, char** argv) {
    const int result = download::DownloadMain(argc, argv);
    // A signal that came while the array was worked on ends the program now
    // that the array is up again, as the signal would have.
    download::RaiseCaughtSignal();
    return result;
}
