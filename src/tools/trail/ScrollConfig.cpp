#include "tools/trail/ScrollConfig.h"

#include <cstdio>
#include <cstring>

namespace trail {

namespace {

constexpr const char* kUdpServiceName = "oruUDP";
constexpr const char* kTcpServiceName = "oruTCP";
constexpr std::uint16_t kDefaultPort = 34604;
constexpr const char* kCatalogDirectory = ".\\";
constexpr const char* kCatalogFile = "vxraidcl.cat";

}  // namespace

ScrollConfig* InitScrollConfig(int /*argc*/, char** /*argv*/) {
    auto* config = new ScrollConfig;
    config->udpServiceName = kUdpServiceName;
    config->tcpServiceName = kTcpServiceName;
    config->defaultPort = kDefaultPort;
    std::snprintf(config->catalogPath, sizeof config->catalogPath, "%s%s", kCatalogDirectory,
                  kCatalogFile);
    std::strncpy(config->catalogPathCopy, config->catalogPath, sizeof config->catalogPathCopy - 1);
    config->catalog = std::make_unique<StringCatalog>(config->catalogPath);
    return config;
}

void FreeScrollConfig(ScrollConfig* config) {
    delete config;
}

}  // namespace trail
