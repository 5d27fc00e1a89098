// Pause: a plain sleep of the console programs and the client library.
#pragma once

// Sleeps about milliseconds milliseconds; signals do not cut it short. Goes
// through the suite's one sleep seam, so the test speed factor applies.
void Pause(unsigned long milliseconds);
