#include "coresys/server/dispatch/DispatchText.h"

namespace {

constexpr const char* kTexts[DISPATCH_TEXT_COUNT] = {
    "Shutdown Subsystem Successful\n",
    "Restart Subsystem Failed\n",
    "Restart Subsystem Successful.\n",
    "Restart Subsystem, Controller State Unknown\n",
    "ManagementMsg - request %u of %u bytes does not decode\n",
    "Performance request %u for %s: %s\n",
};

}  // namespace

const char* DispatchText(int id) {
    return id >= 0 && id < DISPATCH_TEXT_COUNT ? kTexts[id] : "";
}
