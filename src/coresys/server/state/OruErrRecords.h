// The service's ways of making an error record (oruerr): from the three
// trailing values alone, as a copy of another record with them replaced, and
// from the outcome of a storage command.
//
// A storage command's outcome maps onto the record's leading fields one for
// one: the kind tag becomes the source, the result kind the class, the SCSI
// status (or system error) the detail, the sense length the sense-valid
// word, the sense bytes the text, the reason and the valid word the two OEM
// words. So an error reply carries the array's own sense data.
#pragma once

#include <cstdint>

#include "coresys/common/oruerr.h"
#include "coresys/server/scsi/ScsiResult.h"

// A record with the given error code, qualifier and module id, everything
// else at its defaults (class 3, no text, no extra bytes).
oruerr MakeOruErr(std::uint32_t errorCode, std::uint32_t qualifier, std::uint32_t moduleId);

// A copy of from (text, the six leading words, the extra bytes) with the
// three trailing values replaced.
oruerr MakeOruErr(const oruerr& from, std::uint32_t errorCode, std::uint32_t qualifier,
                  std::uint32_t moduleId);

// Class word of a record whose command met the unit attention of a changed
// logical-unit set (in any of its runs, also when a retry then succeeded):
// the host must rescan its devices.
inline constexpr std::uint32_t kErrorClassLunSetChanged = 7;

// The record of a storage command's outcome; the three trailing values 0.
// The class is the result kind, or kErrorClassLunSetChanged.
oruerr OruErrFromResult(const ScsiResult& result);
