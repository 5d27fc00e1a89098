// The service's configuration record, built once at start from the
// registry and freed at stop; every part of the service reads it through
// GetServerConfig().
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ServerConfig {
    // No limit on the total size of the log files.
    std::uint32_t logSizeLimit = 0xFFFFFFFFu;
    // Size at which the log task starts a new log file (ten 4096-byte blocks).
    std::uint32_t logFileSize = 40960;
    // As the registry holds it ("C:\oru_log"); map it with
    // platform::MapDrivePath before use.
    std::string logDirectory;
    // Where clients place their secure files; none when not configured.
    std::optional<std::string> administrationPath;
    // The network share of that directory, sent to clients as the secure path.
    std::optional<std::string> shareName;
    std::string udpServiceName = "oruUDP";
    std::string tcpServiceName = "oruTCP";
    // Used when the services database has no entry.
    std::uint16_t port = 34604;
    // Handed to the message catalog.
    std::string catalogPath = ".\\OruServr.cat";
};

// Outcome of reading the configuration.
struct ServerConfigResult {
    bool ok = true;
    // Why the registry could not be read (empty when ok).
    std::string message;
};

// Reads the registry of this machine into *config. Missing keys and values
// leave the defaults; a registry that cannot be read at all (a damaged or
// unreadable hive) fails with its message.
ServerConfigResult BuildServerConfig(ServerConfig* config);

// HKLM "Software\Verdanix\Strovane\OruServer" "Log directory", else
// "C:\oru_log". *message (may be null) gets why the registry could not be
// read, if it could not.
std::string GetLogDirectory(std::string* message = nullptr);

// The configuration of the running service (nullptr before start and
// after stop). SetServerConfig hands one in; the caller keeps ownership.
const ServerConfig* GetServerConfig();
void SetServerConfig(const ServerConfig* config);

// Registry keys of the service.
inline constexpr const char* kServerRegistryKey = "Software\\Verdanix\\Strovane\\OruServer";
inline constexpr const char* kAdministrationRegistryKey =
    "Software\\Verdanix\\Strovane\\OruServer\\Administration";
