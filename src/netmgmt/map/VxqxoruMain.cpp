// vxqxoru: the map application. It takes no arguments; its platform, ports
// and files come from the environment (see standin/Qxw.h, standin/QxSnmp.h).
#include "netmgmt/map/MapApplication.h"
#include "netmgmt/map/standin/AppLoop.h"

int main() {
    qxapp::ScaledClock clock;
    qxapp::AppLoop loop(clock);
    loop.CloseOnSignals();
    // The application object goes when main returns, before the process's
    // static objects (the platform libraries' state) are destroyed.
    vxqxoru::MapApplication app;
    return loop.Run(app);
}
