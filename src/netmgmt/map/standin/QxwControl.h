// The stand-in platform's control lines: what a user does on the platform's
// map, injected as one line each on the control FIFO (or in-process by a
// test through qxw::Control).
//
//   open [NAME]            event 3: the map NAME (default: the current map) opens
//   close                  event 4: the map closes (closed once the application
//                          acknowledged it)
//   end                    event 1: the platform ends the application
//   delete ID[:SCOPE] ...  event 15: objects deleted from the map; SCOPE 2 leaves
//                          the database object to its owner, any other scope
//                          (default 0) deletes it with the map's symbols
//   changed ID ...         event 16: the objects' information changed
//   manage ID ...          event 21: the objects are managed again
//   unmanage ID ...        event 22: the objects are no longer managed
//   event N [ARGUMENTS]    the same by event number (1, 3, 4, 15, 16, 21, 22)
//   quit                   the application's loop quits at once
//
// IDs are decimal 1..4294967295. An event whose list is empty carries none.
// Blank lines and lines beginning with "#" are ignored.
#pragma once

#include <string>

#include "netmgmt/map/standin/Qxw.h"

namespace qxw {

// Longest control line; a longer one is refused whole.
inline constexpr std::size_t kMaxControlLine = 4096;

struct ControlCommand {
    enum class Kind { kNone, kEvent, kQuit };
    Kind kind = Kind::kNone;
    int event = 0;
    std::string mapName;  // open: "" for the current map
    bool hasObjects = false;
    QXwObjectList objects;
    bool hasChanges = false;
    QXwChangeList changes;
};

// Parses one line (without its newline): "" and *command, else the reason.
std::string ParseControl(const std::string& line, ControlCommand* command);

}  // namespace qxw
