// The characters that name a controller (X, Y), a drive slot (A1, B1, A2,
// ... up to B8) or a unit (1..4) in the service's texts. A label object
// holds its limit and its text; an index at or beyond the limit gives "?"
// ("??" for a slot). The returned text lives as long as the object.
#pragma once

#include <cstdint>

class Label {
  public:
    static Label Controller() { return Label(2); }
    static Label Slot() { return Label(16); }
    static Label Unit() { return Label(4); }

    const char* ControllerLabel(std::uint32_t index);
    const char* SlotLabel(std::uint32_t index);
    const char* UnitLabel(std::uint32_t index);

  private:
    explicit Label(std::uint32_t limit) : limit_(limit) {}
    const char* One(std::uint32_t index, const char* table);

    std::uint32_t limit_;
    char text_[3] = {};
};
