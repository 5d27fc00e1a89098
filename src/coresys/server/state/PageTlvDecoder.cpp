#include "coresys/server/state/PageTlvDecoder.h"

#include "coresys/server/state/OruErrRecords.h"
#include "coresys/server/storsys/StorSys.h"

namespace {

const std::vector<std::uint32_t> kEmptyList;

}  // namespace

PageTlvDecoder::PageTlvDecoder(StorSys& controller) {
    std::vector<unsigned char> page;
    // The storage layer reads the length first and fails a page whose L + 2
    // would not fit the 16-bit allocation, so a wrapped read never happens.
    if (controller.ReadRawPage(page, result_) == 0) {
        error_ = OruErrFromResult(result_);
        return;
    }
    SetPage(page.data(), static_cast<std::uint32_t>(page.size()));
}

void PageTlvDecoder::Clear() {
    page_.clear();
    position_ = 0;
    slot_ = kNoSlot;
    for (std::vector<std::uint32_t>& list : lists_) {
        list.clear();
    }
    usable_ = false;
}

void PageTlvDecoder::SetPage(const unsigned char* page, std::uint32_t length) {
    Clear();
    if (length > kMaxPage || (page == nullptr && length != 0)) {
        return;
    }
    page_.assign(page, page + length);
    usable_ = true;
    Decode();
}

void PageTlvDecoder::Decode() {
    const std::uint32_t kept = static_cast<std::uint32_t>(page_.size());
    if (kept < 3) {
        return;
    }
    // The page's own length may be shorter than what arrived (a second read
    // that answered less); bytes past it are not part of the page.
    std::uint32_t end = ((static_cast<std::uint32_t>(page_[0]) << 8) | page_[1]) + 2;
    if (end > kept) {
        end = kept;
    }
    if (end < 3) {
        return;
    }
    slot_ = page_[2];
    position_ = 3;
    while (position_ < end) {
        const std::uint32_t tag = page_[position_];
        if (position_ + 1 >= end) {
            break;  // a tag without its count or length byte
        }
        const std::uint32_t n = page_[position_ + 1];
        const std::uint32_t first = position_ + 2;
        if (first + n > end) {
            break;  // the entry would run past the page: keep what was read
        }
        if (tag < kLists) {
            // A repeated tag replaces the earlier list.
            lists_[tag].assign(page_.begin() + first, page_.begin() + first + n);
        }
        position_ = first + n;
    }
}

const std::vector<std::uint32_t>& PageTlvDecoder::List(std::uint32_t tag) const {
    return tag < kLists ? lists_[tag] : kEmptyList;
}

std::uint32_t PageTlvDecoder::Value(std::uint32_t tag, std::uint32_t index) const {
    const std::vector<std::uint32_t>& list = List(tag);
    return index < list.size() ? list[index] : kMissing;
}

void PageTlvDecoder::FillHardware(Hardware& hardware) const {
    hardware.values1 = List(kHardwareFirst);
    hardware.values2 = List(kHardwareSecond);
}
