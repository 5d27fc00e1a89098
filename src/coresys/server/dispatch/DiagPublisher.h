// What a subsystem's clients learn of its drive tests: the commands in
// progress and the command results of the subsystem (both travel with every
// full state) and the events that keep the clients' copies current: a
// command-progress event (CPRG) whenever a test's percent changes, a
// command-result event (CRES) when a test starts and when it ends.
//
// A finished test never stays listed as in progress: progress is clamped to
// 100, and the entry goes as soon as the test reaches an ending state,
// however it got there (its last chunk, its fifth error, a failed write, a
// cancel, the drive joining the array).
//
// Used on the subsystem's task under the subsystem-in-use lock.
#pragma once

#include <cstdint>

#include "coresys/common/CommandHandle.h"
#include "coresys/common/MESSAGE_CODE.h"

class OruLite;

class DiagPublisher {
  public:
    // aux1 of a drive test's in-progress entry (aux2 carries the percent).
    static constexpr std::uint32_t kProgressAux1 = 255;

    explicit DiagPublisher(OruLite& subsystem) : subsystem_(subsystem) {}

    // Forgets what the lists say of a slot: its commands in progress and
    // every drive-test result of it.
    void ClearBookkeeping(std::uint32_t slot);
    // After a step (or the start, when started is set): the slot's entry in
    // progress at the test's percent, and the events when it changed.
    void PublishProgress(const CommandHandle& handle, MESSAGE_CODE code, std::uint32_t slot,
                         bool started);
    // The slot's result of code as its record holds it; when the test is in
    // an ending state its record forgets the test, its entry in progress
    // goes and the clients get the outcome.
    void PublishResult(MESSAGE_CODE code, std::uint32_t slot);

  private:
    OruLite& subsystem_;
};
