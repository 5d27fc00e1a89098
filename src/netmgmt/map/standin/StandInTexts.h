// Every text the stand-in platform (qxw, qxsnmp) prints, in one table.
#pragma once

namespace qxw {

enum class StandInText {
    kNoLoop,
    kDatabaseUnreadable,
    kDatabaseDamaged,
    kControlUnusable,
    kControlRefused,
    kControlTooLong,
    kDumpFailed,
    kTrapPortUnusable,
    // QXwErrorMsg, by error number.
    kErrorNone,
    kErrorNotInitialised,
    kErrorNoMap,
    kErrorNoSuchObject,
    kErrorNoSuchSubmap,
    kErrorNoSuchSymbol,
    kErrorNoSuchField,
    kErrorBadArgument,
    kErrorSubmapExists,
    kErrorObjectExists,
    kErrorUnknown,
};

// The text; formats take the arguments named in the table.
const char* Text(StandInText id);

}  // namespace qxw
