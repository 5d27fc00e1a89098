// Numbers and fixed-width texts of the array state turned into the words
// and forms the displays print.
//
// Every member writes its text into the object's 256-byte buffer and returns
// it, so a result is valid until the next call on the same object. Texts
// longer than the buffer are cut. Fixed-width text fields are read up to
// their terminator or their width, never further.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

class ValueText {
  public:
    static constexpr std::size_t kBufferSize = 256;

    // Yes/no words of three kinds (set 9 items 38/39, 40/41, 188/189).
    const char* FirstYesNo(std::int32_t flag);
    const char* SecondYesNo(std::int32_t flag);
    const char* ThirdYesNo(std::int32_t flag);

    // A trimmed identity text; "0" reads as the catalog's word for none.
    const char* IdentityText(std::string_view field);
    template <std::size_t N>
    const char* IdentityText(const char (&field)[N]) {
        return IdentityText(Field(field));
    }

    // The subsystem state in words.
    const char* StateWord(std::uint32_t state);
    // "F1", "F2", ... for fan index 0, 1, ...
    const char* FanName(std::uint32_t index);
    // "PS1", "PS2", ...
    const char* PowerSupplyName(std::uint32_t index);
    // A1, B1, A2, B2, ... A6, B6 for slots 0..11 (and on past 11).
    const char* DriveSlotName(std::uint32_t slot);
    // "X" for 0, "Y" for 1, "?" for any other.
    const char* ControllerName(std::uint32_t index);
    // The state of a hardware component of type 0..9; empty for a type
    // above 9 and for state 999.
    const char* ComponentState(std::uint32_t type, std::uint32_t state);
    // Whether the state is one the component type knows (a type above 9
    // always is).
    static bool ComponentStateInRange(std::uint32_t type, std::uint32_t state);
    const char* LevelWord(std::uint32_t level);
    // A drive state in words.
    const char* ModeWord(std::uint32_t mode);
    const char* FiveWayWord(std::uint32_t value);

    // Leading blanks dropped; a leading run of bytes with the top bit set
    // shows as one '.'.
    const char* LeftTrim(std::string_view field);
    // Trailing blanks and bytes with the top bit set dropped.
    const char* RightTrim(std::string_view field);
    // RightTrim, then LeftTrim.
    const char* Trim(std::string_view field);
    template <std::size_t N>
    const char* Trim(const char (&field)[N]) {
        return Trim(Field(field));
    }
    // Blanks before the text up to width; a longer text as it stands.
    const char* RightAlign(std::string_view text, std::size_t width);
    // Decimal digits in groups of three joined by ",".
    const char* GroupedNumber(std::uint64_t value);

    // The text of a fixed-width field: up to its first zero byte or its width.
    template <std::size_t N>
    static std::string_view Field(const char (&field)[N]) {
        std::size_t n = 0;
        while (n < N && field[n] != '\0') {
            ++n;
        }
        return std::string_view(field, n);
    }

  private:
    const char* Put(std::string_view text);
    const char* Item(int item);
    const char* ItemWithValue(int item, std::uint32_t value);

    char buffer[kBufferSize] = {};
};
