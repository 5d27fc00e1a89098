#include "cli/common/CliConfig.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/common/CliTexts.h"
#include "cli/common/ExitCodes.h"

namespace {

constexpr const char* kUdpServiceName = "oruUDP";
constexpr const char* kTcpServiceName = "oruTCP";
constexpr std::uint16_t kDefaultPort = 34604;
constexpr const char* kCatalogDirectory = "./";
constexpr const char* kCatalogFile = "vxraidcl.cat";

// Deliberately a plain owning pointer in one slot: the record lives until
// exit, and the console programs end with exit() from deep inside calls.
std::unique_ptr<CliConfig>& Slot() {
    static auto* slot = new std::unique_ptr<CliConfig>;
    return *slot;
}

}  // namespace

CliConfig* InitCliConfig(int /*argc*/, char** /*argv*/) {
    auto config = std::make_unique<CliConfig>();
    config->udpServiceName = kUdpServiceName;
    config->tcpServiceName = kTcpServiceName;
    config->defaultPort = kDefaultPort;
    config->catalogDirectory = kCatalogDirectory;
    config->catalogPath = config->catalogDirectory + kCatalogFile;
    config->catalog = std::make_unique<StringCatalog>(config->catalogPath.c_str());
    Slot() = std::move(config);
    return Slot().get();
}

CliConfig* GetCliConfig() {
    return Slot().get();
}

StringCatalog& GetCliCatalog() {
    CliConfig* config = Slot().get();
    if (config == nullptr || config->catalog == nullptr) {
        std::fputs(cli::CliTexts::kClosedCatalog, stderr);
        std::fflush(stderr);
        std::exit(CLI_EXIT_FAILED);
    }
    return *config->catalog;
}

void ReleaseCliConfig() {
    Slot().reset();
}

void PrintHelpItems(int set, std::span<const int> items, std::string_view lead) {
    for (int item : items) {
        std::cout << lead << CliText(set, item) << '\n';
    }
    std::cout.flush();
}

void PrintHelpItems(int set, int first, int last, std::string_view lead) {
    for (int item = first; item <= last; ++item) {
        std::cout << lead << CliText(set, item) << '\n';
    }
    std::cout.flush();
}
