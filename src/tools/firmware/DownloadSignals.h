// The signals that end download from outside (interrupt, terminate, and the
// hang-up of a closed terminal) while a flow works on an array. A flow that
// has shut the array down must not end half way: while a SignalCatcher
// lives, such a signal only sets a flag, and the flow looks at it where it
// can stop (restarting the array first) or, while firmware is written and a
// restart would harm it, holds it until the writing is done. The program
// then ends by the signal it was sent (RaiseCaughtSignal).
#pragma once

#include <csignal>
#include <cstdint>

namespace download {

class SignalCatcher {
  public:
    // Catches the three signals, except one that this process ignores (as
    // under nohup), which stays ignored.
    SignalCatcher();
    // The actions they had before come back.
    ~SignalCatcher();
    SignalCatcher(const SignalCatcher&) = delete;
    SignalCatcher& operator=(const SignalCatcher&) = delete;

  private:
    static constexpr int kCount = 3;
    struct sigaction previous_[kCount] = {};
    bool caught_[kCount] = {};
};

// The first signal caught since the program began, or 0.
int CaughtSignal();

// Sleeps like platform::SleepMs; a signal caught during the sleep (when none
// was caught before) ends it early. The milliseconds left unslept; 0 when it
// slept whole.
std::uint64_t SleepUnlessSignalled(std::uint64_t ms);

// Ends the program by the caught signal, with that signal's usual action
// (a caught one only; nothing when none was caught).
void RaiseCaughtSignal();

}  // namespace download
