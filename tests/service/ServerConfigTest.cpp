// The configuration record from the registry of a fresh machine.
#include <gtest/gtest.h>

#include "coresys/server/winnt/Service/ServerConfig.h"
#include "platform/Registry.h"
#include "support/FreshRoot.h"

namespace {

using platform::Hive;
using platform::RegistryKey;

TEST(ServerConfig, AnEmptyRegistryGivesTheDefaults) {
    testsupport::FreshRoot root;
    ServerConfig config;
    ServerConfigResult result = BuildServerConfig(&config);
    EXPECT_TRUE(result.ok) << result.message;
    EXPECT_EQ(config.logSizeLimit, 0xFFFFFFFFu);
    EXPECT_EQ(config.logFileSize, 40960u);
    EXPECT_EQ(config.logDirectory, "C:\\oru_log");
    EXPECT_FALSE(config.administrationPath.has_value());
    EXPECT_FALSE(config.shareName.has_value());
    EXPECT_EQ(config.udpServiceName, "oruUDP");
    EXPECT_EQ(config.tcpServiceName, "oruTCP");
    EXPECT_EQ(config.port, 34604);
    EXPECT_EQ(config.catalogPath, ".\\OruServr.cat");
}

TEST(ServerConfig, RegistryValuesAreTaken) {
    testsupport::FreshRoot root;
    RegistryKey server;
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, kServerRegistryKey, &server).ok());
    ASSERT_TRUE(server.WriteString("Log directory", "D:\\logs\\oru").ok());
    RegistryKey admin;
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, kAdministrationRegistryKey, &admin).ok());
    ASSERT_TRUE(admin.WriteString("Path Name", "C:\\oru_admin").ok());
    ASSERT_TRUE(admin.WriteString("Share Name", "\\\\host\\oru_admin").ok());

    ServerConfig config;
    ASSERT_TRUE(BuildServerConfig(&config).ok);
    EXPECT_EQ(config.logDirectory, "D:\\logs\\oru");
    ASSERT_TRUE(config.administrationPath.has_value());
    EXPECT_EQ(*config.administrationPath, "C:\\oru_admin");
    ASSERT_TRUE(config.shareName.has_value());
    EXPECT_EQ(*config.shareName, "\\\\host\\oru_admin");
    EXPECT_EQ(GetLogDirectory(), "D:\\logs\\oru");
}

TEST(ServerConfig, AMissingValueLeavesOnlyThatFieldEmpty) {
    testsupport::FreshRoot root;
    RegistryKey admin;
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, kAdministrationRegistryKey, &admin).ok());
    ASSERT_TRUE(admin.WriteString("Share Name", "oru_admin").ok());
    ServerConfig config;
    ASSERT_TRUE(BuildServerConfig(&config).ok);
    EXPECT_FALSE(config.administrationPath.has_value());
    ASSERT_TRUE(config.shareName.has_value());
    EXPECT_EQ(config.logDirectory, "C:\\oru_log");
}

TEST(ServerConfig, ValuesAreCutToTheirBufferOf261Bytes) {
    testsupport::FreshRoot root;
    RegistryKey admin;
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, kAdministrationRegistryKey, &admin).ok());
    ASSERT_TRUE(admin.WriteString("Path Name", std::string(300, 'p')).ok());
    ServerConfig config;
    ASSERT_TRUE(BuildServerConfig(&config).ok);
    ASSERT_TRUE(config.administrationPath.has_value());
    EXPECT_EQ(config.administrationPath->size(), 260u);
}

TEST(ServerConfig, ADamagedRegistryIsReportedAndLeftAsItIs) {
    testsupport::FreshRoot root;
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Verdanix\\Strovane\\OruServer]\n"
        "this line is no value\n";
    ASSERT_TRUE(root.Write("registry/HKEY_LOCAL_MACHINE.reg", damaged));
    ServerConfig config;
    ServerConfigResult result = BuildServerConfig(&config);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("HKEY_LOCAL_MACHINE"), std::string::npos) << result.message;
    EXPECT_EQ(root.Read("registry/HKEY_LOCAL_MACHINE.reg"), damaged);
}

}  // namespace
