// The subsystem mode page: 27 values, in wire order.
#pragma once

#include <cstdint>

#include "coresys/common/OruXdr.h"

class ModeSubsystemPage : public OruXdr {
  public:
    static constexpr std::uint32_t kValues = 27;
    static constexpr std::uint32_t kWireSize = 4 * kValues;

    std::uint32_t subsystem_state = 0;
    std::uint32_t hot_spare_desired = 0;
    std::uint32_t vs_partition = 0;
    std::uint32_t rebuild_in_progress = 0;
    std::uint32_t auto_rebuild = 0;
    std::uint32_t auto_include = 0;
    std::uint32_t log_full_warn = 0;
    std::uint32_t balancing = 0;
    std::uint32_t value9 = 0;  // filled by the service
    std::uint32_t optimizing = 0;
    std::uint32_t rebuild_priority = 0;
    std::uint32_t parity = 0;
    std::uint32_t sdtr = 0;
    std::uint32_t wdtr = 0;
    std::uint32_t term_power = 0;
    std::uint32_t unit_attn = 0;
    std::uint32_t ctrl_b_addr = 0;
    std::uint32_t ctrl_a_addr = 0;
    std::uint32_t reserved19 = 0;  // carried and kept, no meaning to clients
    std::uint32_t reserved20 = 0;
    std::uint32_t format_pattern_fill = 0;
    std::uint32_t disable_remote_reset = 0;
    std::uint32_t language = 0;
    std::uint32_t cap_deplete_thresh = 0;
    std::uint32_t rebuild_progress = 0;
    std::uint32_t write_work_set_int = 0;
    std::uint32_t subsys_type_id = 0;

    // Wire: the 27 values in the order above.
    void Encode(CodedBuff& buff) override;
    void Decode(CodedBuff& buff) override;
};
