// The agent library as the host loads it: libOruagent.so opened with
// dlopen and its entry points looked up by name, as an SNMP service loads an
// extension agent.
#pragma once

#include <string>

#include "netmgmt/agent/SnmpTypes.h"

namespace orusnmphost {

class AgentLibrary {
  public:
    AgentLibrary() = default;
    ~AgentLibrary();
    AgentLibrary(const AgentLibrary&) = delete;
    AgentLibrary& operator=(const AgentLibrary&) = delete;

    enum class LoadResult { kLoaded, kCannotOpen, kMissingEntry };

    // Opens the library (beside the program: ../lib, ../<install libdir>,
    // else by the loader's search) and finds every entry point. *path: the
    // library tried; *why: the loader's reason, or the missing entry's name.
    LoadResult Load(std::string* path, std::string* why);
    // Leaves the library mapped for good: a thread of the agent may still
    // run in it.
    void Keep() { keep_ = true; }

    OruAgentDllMainFn dllMain = nullptr;
    SnmpExtensionInitFn init = nullptr;
    SnmpExtensionQueryFn query = nullptr;
    SnmpExtensionTrapFn trap = nullptr;
    OruAgentSetReportEchoFn setReportEcho = nullptr;

  private:
    void* handle_ = nullptr;
    bool keep_ = false;
};

}  // namespace orusnmphost
