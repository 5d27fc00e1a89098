// The agent's two catalogs: its own texts (the "orua" libraries: reports of
// the poll thread, set 1) and the service's (the "orus" libraries: the event
// texts its traps carry).
//
// Each is opened in the user's language, else in English, from the suite's
// catalog directory. Texts are at most 255 bytes and come back raw: the
// caller fills them with FormatText. Load and Free run while no other thread
// reads; lookups may come from any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace catalog {
class CatalogFile;
}

namespace oruagent {

enum class CatalogWhich { kAgent, kServer };

class AgentCatalog {
  public:
    // Bytes of a text with its terminator.
    static constexpr std::size_t kTextBytes = 256;
    // The catalog set of the agent's reports.
    static constexpr int kAgentSet = 1;

    AgentCatalog() = default;
    ~AgentCatalog();
    AgentCatalog(const AgentCatalog&) = delete;
    AgentCatalog& operator=(const AgentCatalog&) = delete;

    // Opens the library of `which`; false when neither the user's language
    // nor English has it.
    bool LoadCatalogDll(CatalogWhich which);
    bool Loaded(CatalogWhich which) const;
    void Free();

    // The text (set, number). A text the agent catalog lacks gives
    // "Agent StringCatalog::(<set>,<number>): No such string.", one the
    // service's lacks "ORU StringCatalog::(<set>,<number>): No such
    // string."; a service text that contains "ignore" gives none. *missing
    // (when given) tells whether the text was missing.
    std::optional<std::string> GetCatalogString(CatalogWhich which, int set, int number,
                                                bool* missing = nullptr) const;

    // An agent text of set 1 (never none).
    std::string AgentText(int number) const;

  private:
    std::shared_ptr<catalog::CatalogFile> agent_;
    std::shared_ptr<catalog::CatalogFile> server_;
};

}  // namespace oruagent
