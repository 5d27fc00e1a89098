// The controller's raw page (vendor 0xEF), kept and split into its ten lists.
//
// The page is BE16 L, the answering controller's slot (byte 2), then tagged
// entries: tags 0..9 carry a count and that many one-byte values (widened to
// 32 bits); any other tag carries a length byte and that many bytes, which
// are skipped. The lists feed the controller module lists, the controller
// status and the cabinet hardware of the array state; the slot places a
// controller in its subsystem.
//
// Everything from the page is bounded before use: the walk stays inside both
// the bytes kept and the page's own length, an entry that would run past the
// end ends the walk with the lists read so far, a repeated tag replaces its
// earlier list, and the slot counts only when it is 0 or 1. Not thread-safe;
// one decoder belongs to one state build or one placement.
#pragma once

#include <cstdint>
#include <vector>

#include "coresys/common/Hardware.h"
#include "coresys/common/oruerr.h"
#include "coresys/server/scsi/ScsiResult.h"

class StorSys;

class PageTlvDecoder {
  public:
    static constexpr std::uint32_t kLists = 10;
    // A page is kept with a 16-bit length.
    static constexpr std::uint32_t kMaxPage = 0xFFFF;
    // What a list entry that the page did not carry reads as.
    static constexpr std::uint32_t kMissing = 255;
    // Slot() of a page too short to name one.
    static constexpr int kNoSlot = -1;

    // Tags of the lists.
    static constexpr std::uint32_t kHardwareFirst = 0;
    static constexpr std::uint32_t kHardwareSecond = 1;
    static constexpr std::uint32_t kControllerStatus = 2;
    static constexpr std::uint32_t kReserved = 3;
    static constexpr std::uint32_t kDramX = 4;
    static constexpr std::uint32_t kNvramX = 5;
    static constexpr std::uint32_t kDramY = 6;
    static constexpr std::uint32_t kNvramY = 7;
    static constexpr std::uint32_t kBatteryX = 8;
    static constexpr std::uint32_t kBatteryY = 9;

    // An empty decoder: no page, not usable.
    PageTlvDecoder() = default;
    // Reads the page through controller (two-step read: the length, then
    // L + 2 bytes), keeps it and decodes it. Usable() says whether the read
    // succeeded; Result() and Error() hold its outcome.
    explicit PageTlvDecoder(StorSys& controller);
    PageTlvDecoder(const PageTlvDecoder&) = default;
    PageTlvDecoder& operator=(const PageTlvDecoder&) = default;

    // Keeps a private copy of length bytes (replacing an earlier copy) and
    // decodes it; the decoder is then usable. A page longer than kMaxPage
    // cannot be kept: the decoder is left empty and unusable.
    void SetPage(const unsigned char* page, std::uint32_t length);

    bool Usable() const { return usable_; }
    const ScsiResult& Result() const { return result_; }
    const oruerr& Error() const { return error_; }

    // The answering slot as the page gives it (any byte value), or kNoSlot.
    int Slot() const { return slot_; }
    // True only for slot 0 (X) or 1 (Y): anything else cannot place a controller.
    bool SlotValid() const { return slot_ == 0 || slot_ == 1; }

    // The list of a tag (empty for tags not carried or above 9).
    const std::vector<std::uint32_t>& List(std::uint32_t tag) const;
    std::uint32_t Count(std::uint32_t tag) const {
        return static_cast<std::uint32_t>(List(tag).size());
    }
    // Entry index of a tag's list, or kMissing when the list is shorter.
    std::uint32_t Value(std::uint32_t tag, std::uint32_t index) const;
    // The tag-2 status of controller slot 0 or 1 (kMissing when not carried).
    std::uint32_t ControllerStatus(std::uint32_t slot) const {
        return Value(kControllerStatus, slot);
    }
    // The cabinet hardware: tag 0 as the first list, tag 1 as the second.
    void FillHardware(Hardware& hardware) const;

    // The bytes kept (empty when none).
    const std::vector<unsigned char>& Page() const { return page_; }

  private:
    void Clear();
    void Decode();

    std::vector<unsigned char> page_;
    std::uint32_t position_ = 0;
    int slot_ = kNoSlot;
    std::vector<std::uint32_t> lists_[kLists];
    bool usable_ = false;
    ScsiResult result_;
    oruerr error_;
};
