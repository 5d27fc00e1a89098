// Every text strovsim prints, in one table.
#pragma once

namespace sim {

enum class StrovsimText {
    kUsage,
    kUnknownCommand,
    kNotRunning,
    kAlreadyRunning,
    kBadOption,
    kMissingArgument,
    kStateUnreadable,
    kScenarioBad,
    kStartFailed,
    kStopTimeout,
    kStopped,
    kLoaded,
    kLoadedOffline,
    kWriteFailed,
    kRefused,
    kNoReply,
    kServing,
};

// The text; formats take the arguments named in the table's comments.
const char* Text(StrovsimText id);

}  // namespace sim
