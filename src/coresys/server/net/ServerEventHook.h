// Events that the connection side itself sends to the clients, each as a
// one-event reply of kind 3 (status 5) without array state, to every
// revision-4 session:
// - a per-connection failure of the listeners (server software, minor 2,
//   argument 1 = 3, argument 2 = the step that failed);
// - a finished rescan (configuration changed, minor 13, arguments 0, 0).
// The event distribution may install a routine of its own for the failures
// (it also writes their report texts); without one they go to the clients
// as above. Thread-safe.
#pragma once

#include <cstdint>

using ServerEventRaiser = void (*)(std::uint32_t value);

// Installs the routine for failures (nullptr: the built-in one).
void SetServerEventRaiser(ServerEventRaiser raiser);

// Records a failure of the connection code with its step value.
void RaiseServerEvent(std::uint32_t value);

// Tells every session that the subsystem configuration changed.
void SendConfigurationChanged();
