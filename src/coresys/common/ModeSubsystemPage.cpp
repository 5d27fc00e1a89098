#include "coresys/common/ModeSubsystemPage.h"

namespace {

// The page's values in wire order.
template <typename Page, typename Visit>
void ForEachValue(Page& page, Visit visit) {
    visit(page.subsystem_state);
    visit(page.hot_spare_desired);
    visit(page.vs_partition);
    visit(page.rebuild_in_progress);
    visit(page.auto_rebuild);
    visit(page.auto_include);
    visit(page.log_full_warn);
    visit(page.balancing);
    visit(page.value9);
    visit(page.optimizing);
    visit(page.rebuild_priority);
    visit(page.parity);
    visit(page.sdtr);
    visit(page.wdtr);
    visit(page.term_power);
    visit(page.unit_attn);
    visit(page.ctrl_b_addr);
    visit(page.ctrl_a_addr);
    visit(page.reserved19);
    visit(page.reserved20);
    visit(page.format_pattern_fill);
    visit(page.disable_remote_reset);
    visit(page.language);
    visit(page.cap_deplete_thresh);
    visit(page.rebuild_progress);
    visit(page.write_work_set_int);
    visit(page.subsys_type_id);
}

}  // namespace

void ModeSubsystemPage::Encode(CodedBuff& buff) {
    ForEachValue(*this, [&buff](std::uint32_t value) { EncodeVal(buff, value); });
}

void ModeSubsystemPage::Decode(CodedBuff& buff) {
    ForEachValue(*this, [&buff](std::uint32_t& value) { DecodeVal(buff, value); });
}
