// Diagnostic state of one drive slot of a subsystem (index 0..11): the drive
// test that may run on it and what the controller log reported about it.
#pragma once

#include "coresys/server/diag/DriveTestRecord.h"

using DriveSlotRecord = DriveTestRecord;
