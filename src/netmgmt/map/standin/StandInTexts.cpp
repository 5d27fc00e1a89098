#include "netmgmt/map/standin/StandInTexts.h"

namespace qxw {

namespace {

struct Entry {
    StandInText id;
    const char* text;
};

constexpr Entry kTexts[] = {
    {StandInText::kNoLoop, "qxw: no application loop to deliver the map's events to\n"},
    // path, reason
    {StandInText::kDatabaseUnreadable, "qxw: cannot read the map database %s: %s\n"},
    {StandInText::kDatabaseDamaged, "qxw: the map database %s is damaged: %s\n"},
    {StandInText::kControlUnusable, "qxw: cannot use the control FIFO %s: %s\n"},
    // line, reason
    {StandInText::kControlRefused, "qxw: control line \"%s\" refused: %s\n"},
    {StandInText::kControlTooLong, "qxw: a control line longer than %d bytes was refused\n"},
    {StandInText::kDumpFailed, "qxw: cannot write the map dump %s: %s\n"},
    // port, reason
    {StandInText::kTrapPortUnusable, "qxsnmp: cannot receive traps on UDP port %s: %s\n"},
    {StandInText::kErrorNone, "no error"},
    {StandInText::kErrorNotInitialised, "not connected to the map platform"},
    {StandInText::kErrorNoMap, "no open map"},
    {StandInText::kErrorNoSuchObject, "no such object"},
    {StandInText::kErrorNoSuchSubmap, "no such submap"},
    {StandInText::kErrorNoSuchSymbol, "no such symbol"},
    {StandInText::kErrorNoSuchField, "no such field"},
    {StandInText::kErrorBadArgument, "bad argument"},
    {StandInText::kErrorSubmapExists, "the object opens into a submap already"},
    {StandInText::kErrorObjectExists, "an object with that selection name exists"},
    {StandInText::kErrorUnknown, "unknown error"},
};

}  // namespace

const char* Text(StandInText id) {
    for (const Entry& e : kTexts) {
        if (e.id == id) {
            return e.text;
        }
    }
    return "";
}

}  // namespace qxw
