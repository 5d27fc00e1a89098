// The performance goal a SetResiliencyParameters request asks the array to
// follow (its second value). The service accepts 1 to 3.
#pragma once

#include <cstdint>

enum PERF_GOAL : std::uint32_t {
    PG_HIGH_PERFORMANCE = 1,
    PG_NORMAL = 2,
    PG_SECURE = 3,
};
