// How download reports the outcome of a command, on standard error.
#pragma once

#include "coresys/server/scsi/ScsiResult.h"

namespace download {

// The text, then what became of the command: good, the SCSI error in full,
// a system error, or one of the other result kinds.
void PrintCommandState(const ScsiResult& result, const char* text);

// The status by name; for CHECK CONDITION the sense key (the low four bits
// of sense byte 2) and what its ASC and ASCQ say (taken from sense bytes 23
// and 24 when byte 12 is 0x80: the controller reporting a drive's sense);
// then the raw sense bytes, eight to a line.
void PrintScsiError(const ScsiResult& result);

}  // namespace download
