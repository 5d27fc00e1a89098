// Texts the storage command layer reports through its notice handler.
#pragma once

namespace storsys_text {

inline constexpr const char* kCabinetSlotsExceeded =
    "storsys: GetBufferVal(171) exceeded MAX_CABINET_SLOTS";
inline constexpr const char* kDriveListNoData =
    "Storage System error:  Read physical drive list - no data returned.\n";
inline constexpr const char* kUnknownSerial = "UNKNOWN";

}  // namespace storsys_text
