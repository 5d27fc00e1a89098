#include "catalog/Pause.h"

#include "platform/Clock.h"

void Pause(unsigned long milliseconds) {
    platform::SleepMs(milliseconds);
}
