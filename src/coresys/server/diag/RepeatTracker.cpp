#include "coresys/server/diag/RepeatTracker.h"

void RepeatTracker::Note(int entry, std::uint32_t timeStamp) {
    if (!Valid(entry)) {
        return;
    }
    Entry& e = entries_[entry];
    ++e.count;
    if (e.count == 1) {
        e.firstTime = timeStamp;
        return;
    }
    if (e.count == 2) {
        e.secondTime = timeStamp;
        if (e.secondTime - e.firstTime > kWindow) {
            e.count = 1;
            e.firstTime = e.secondTime;
            return;
        }
    }
    e.raised = true;
}

void RepeatTracker::Clear(int entry) {
    if (Valid(entry)) {
        entries_[entry].count = 0;
        entries_[entry].raised = false;
    }
}

void RepeatTracker::ClearAll() {
    for (int entry = 0; entry < kEntries; ++entry) {
        Clear(entry);
    }
}
