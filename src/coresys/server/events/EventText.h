// One event text under composition: pieces taken from the service's catalog
// by set and number, joined by single spaces, never longer than the 1023
// characters of an event text buffer.
//
// Pieces come from the catalog the service frame opened (oruseng and its
// translations). A piece the catalog cannot give is written as
// "<set>.<number>" so the entry still says which text was meant. Not
// thread-safe; one object per text.
#pragma once

#include <cstdio>
#include <shared_mutex>
#include <string>
#include <string_view>

#include "coresys/server/winnt/Service/ServerText.h"

class EventText {
  public:
    static constexpr std::size_t kBufferSize = 1024;

    // Appends the catalog text (set, number) filled with args.
    template <class... Args>
    EventText& Add(int set, int number, Args... args) {
        char buffer[kBufferSize];
        buffer[0] = '\0';
        bool found = false;
        {
            std::shared_lock<std::shared_mutex> hold(ServerCatalogLock());
            StringCatalog* catalog = ServerCatalogUnlocked();
            if (catalog != nullptr && catalog->OpenResult() == 0) {
                catalog->GetStringPrivateBufN(set, number, buffer, sizeof buffer, args...);
                found = catalog->CatGetStringErrno() == 0;
            }
        }
        if (!found) {
            std::snprintf(buffer, sizeof buffer, "%d.%d", set, number);
        }
        Append(buffer);
        return *this;
    }

    bool Empty() const { return text_.empty(); }
    const std::string& Text() const { return text_; }

  private:
    void Append(std::string_view piece);

    std::string text_;
};
