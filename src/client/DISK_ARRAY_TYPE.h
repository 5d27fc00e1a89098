// The subsystem type word of a subsystem-list record. The library carries the
// value exactly as the service sent it and gives it no meaning of its own.
#pragma once

#include <cstdint>

enum DISK_ARRAY_TYPE : std::uint32_t {};
