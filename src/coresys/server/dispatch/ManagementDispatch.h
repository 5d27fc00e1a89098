// Plugs the request dispatch into the subsystem tasks: from then on every
// management message a subsystem task takes (requests, continuations,
// set-alias) runs through ManagementMsg or AliasMsg and is answered as its
// handler decides, and a cancelled one is finished through
// ManagementMsg::FinishCancelled. The service start calls it once, before any subsystem
// task runs; calling it again changes nothing.
#pragma once

#include <cstdint>

class OruLite;
class OruLiteTask;
struct ClientMessage;
struct TaskRequest;

void InstallManagementDispatch();

// Runs one management message of monitor's task and replies; returns true
// when the request was kept for a re-post (never: continuations travel as
// new requests).
bool RunManagementMessage(OruLiteTask& task, OruLite& monitor, TaskRequest& request,
                          ClientMessage& message);

// Finishes a management message or continuation that a cancel caught:
// ManagementMsg::FinishCancelled with the cancel error. False for the
// message kinds with classes of their own.
bool FinishCancelledMessage(OruLiteTask& task, OruLite& monitor, TaskRequest& request,
                            ClientMessage& message, std::uint32_t cancelError);
