// What the stand-in map offers beyond the platform's calls: the control
// lines in-process, the dump text, and a journal of the changes the
// application made, in their order (tests).
#pragma once

#include <string>
#include <vector>

namespace qxw {

// One control line (QxwControl.h), as if it came on the FIFO: "" when it
// was taken (its event is delivered from the loop), else why not.
std::string Control(const std::string& line);

// The JSON a dump would write now ("" before _QXwInit).
std::string DumpText();

// Every change of the map since _QXwInit or ClearJournal, one line each:
// "CreateObject ID SELECTION", "DeleteObject ID", "CreateSubmap ID PARENT",
// "DeleteSubmap ID", "CreateSymbol ID SUBMAP OBJECT", "SetBehavior SYMBOL",
// "DeleteSymbol ID", "SetStatus OBJECT STATUS", "AckMapClose TOKEN".
const std::vector<std::string>& Journal();
void ClearJournal();

}  // namespace qxw
