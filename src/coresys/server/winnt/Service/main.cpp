// OruServr: the array-management service.
#include "coresys/server/winnt/Service/ServiceProgram.h"

int main(int argc, char** argv) {
    return OruServrMain(argc, argv);
}
