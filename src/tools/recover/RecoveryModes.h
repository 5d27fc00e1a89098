// The three things dksalvage does with an opened array: recover a volume
// set or start a parity scan (interactive, by id, the default set, parity
// scan only), report the recovery status, and dump the controller log.
// Each returns nonzero on success; refusals and failures end the run
// through the run's exits.
#pragma once

#include "tools/recover/RecoveryArray.h"
#include "tools/recover/SalvageRun.h"

namespace salvage {

int Recover(SalvageRun& run, RecoveryArray& array);
int RecoveryStatus(SalvageRun& run, RecoveryArray& array);
int DumpLogs(SalvageRun& run, RecoveryArray& array);

}  // namespace salvage
