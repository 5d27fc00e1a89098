// Tells a repeated event from a single one: an entry's flag is raised by its
// second note within 237305 time units of the first (and by every note after
// that); a second note later than that starts the count afresh from itself.
#pragma once

#include <cstdint>

class RepeatTracker {
  public:
    static constexpr int kEntries = 3;
    static constexpr std::uint32_t kWindow = 237305;

    struct Entry {
        std::uint32_t count = 0;
        std::uint32_t firstTime = 0;
        std::uint32_t secondTime = 0;
        bool raised = false;
    };

    // An entry outside 0..2 is ignored.
    void Note(int entry, std::uint32_t timeStamp);
    void Clear(int entry);
    void ClearAll();
    bool Raised(int entry) const { return Valid(entry) && entries_[entry].raised; }
    const Entry& At(int entry) const { return entries_[Valid(entry) ? entry : 0]; }

  private:
    static bool Valid(int entry) { return entry >= 0 && entry < kEntries; }
    Entry entries_[kEntries];
};
