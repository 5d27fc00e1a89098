#include "coresys/server/winnt/Service/ServerConfig.h"

#include <atomic>

#include "platform/Registry.h"

namespace {

// The registry buffers of the service hold 261 bytes with the terminator.
constexpr std::size_t kValueMax = 260;

std::atomic<const ServerConfig*> g_config{nullptr};

// Reads one text value. A missing key or value is not an error; anything
// else (a damaged hive, an I/O error) is, and is said in *message.
bool ReadText(const char* keyPath, const char* name, std::optional<std::string>* value,
              std::string* message) {
    platform::RegistryKey key;
    platform::RegResult result =
        platform::RegistryKey::Open(platform::Hive::LOCAL_MACHINE, keyPath, &key);
    if (result.status == platform::RegStatus::REG_NOT_FOUND) {
        return true;
    }
    if (!result.ok()) {
        *message = result.message;
        return false;
    }
    std::string text;
    result = key.ReadString(name, &text);
    if (result.status == platform::RegStatus::REG_NOT_FOUND ||
        result.status == platform::RegStatus::REG_WRONG_TYPE) {
        return true;
    }
    if (!result.ok()) {
        *message = result.message;
        return false;
    }
    if (text.size() > kValueMax) {
        text.resize(kValueMax);
    }
    *value = text;
    return true;
}

}  // namespace

std::string GetLogDirectory(std::string* message) {
    std::optional<std::string> value;
    std::string why;
    bool ok = ReadText(kServerRegistryKey, "Log directory", &value, &why);
    if (!ok && message != nullptr) {
        *message = why;
    }
    if (!value || value->empty()) {
        return "C:\\oru_log";
    }
    return *value;
}

ServerConfigResult BuildServerConfig(ServerConfig* config) {
    ServerConfigResult result;
    *config = ServerConfig{};
    std::string why;
    if (!ReadText(kAdministrationRegistryKey, "Path Name", &config->administrationPath, &why) ||
        !ReadText(kAdministrationRegistryKey, "Share Name", &config->shareName, &why)) {
        result.ok = false;
        result.message = why;
    }
    config->logDirectory = GetLogDirectory(&why);
    if (result.ok && !why.empty()) {
        result.ok = false;
        result.message = why;
    }
    return result;
}

const ServerConfig* GetServerConfig() {
    return g_config.load();
}

void SetServerConfig(const ServerConfig* config) {
    g_config.store(config);
}
