#include "platform/Registry.h"

#include "PlatformTestRoot.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace {

using platform::Hive;
using platform::RegistryKey;
using platform::RegResult;
using platform::RegStatus;
using platform::RegType;
using platform::RegValue;

constexpr const char* kServerKey = "Software\\Verdanix\\Strovane\\OruServer";

std::string HiveFile(const platformtest::TestRoot& root) {
    return root.Read("registry/HKEY_LOCAL_MACHINE.reg");
}

TEST(Registry, ValuesRoundTripAndTheFileReadsLikeAnExport) {
    platformtest::TestRoot root;
    RegistryKey key;
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, kServerKey, &key).ok());
    ASSERT_TRUE(key.WriteString("Log directory", "C:\\oru_log").ok());
    ASSERT_TRUE(key.WriteDword("Count", 30).ok());
    ASSERT_TRUE(key.WriteString("Quote", "say \"hi\"").ok());
    ASSERT_TRUE(key.WriteBinary("Blob", {0x01, 0x02, 0xff}).ok());

    EXPECT_EQ(HiveFile(root),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Verdanix]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Verdanix\\Strovane]\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Verdanix\\Strovane\\OruServer]\n"
              "\"Log directory\"=\"C:\\\\oru_log\"\n"
              "\"Count\"=dword:0000001e\n"
              "\"Quote\"=\"say \\\"hi\\\"\"\n"
              "\"Blob\"=hex:01,02,ff\n"
              "\n");

    RegistryKey again;
    ASSERT_TRUE(
        RegistryKey::Open(Hive::LOCAL_MACHINE, "software\\VERDANIX\\strovane\\oruserver", &again)
            .ok());
    std::string text;
    ASSERT_TRUE(again.ReadString("LOG DIRECTORY", &text).ok());
    EXPECT_EQ(text, "C:\\oru_log");
    std::uint32_t number = 0;
    ASSERT_TRUE(again.ReadDword("count", &number).ok());
    EXPECT_EQ(number, 30u);
    ASSERT_TRUE(again.ReadString("Quote", &text).ok());
    EXPECT_EQ(text, "say \"hi\"");
    RegValue blob;
    ASSERT_TRUE(again.ReadValue("Blob", &blob).ok());
    EXPECT_EQ(blob.type, RegType::REG_BINARY);
    EXPECT_EQ(blob.bytes, (std::vector<std::uint8_t>{0x01, 0x02, 0xff}));
}

TEST(Registry, OverwriteKeepsTheNameAsCreatedAndTheOrder) {
    platformtest::TestRoot root;
    RegistryKey key;
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, "A", &key).ok());
    ASSERT_TRUE(key.WriteString("First", "1").ok());
    ASSERT_TRUE(key.WriteString("Second", "2").ok());
    ASSERT_TRUE(key.WriteDword("FIRST", 7).ok());
    std::vector<RegValue> values;
    ASSERT_TRUE(key.EnumValues(&values).ok());
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].name, "First");
    EXPECT_EQ(values[0].type, RegType::REG_DWORD);
    EXPECT_EQ(values[0].dword, 7u);
    EXPECT_EQ(values[1].name, "Second");
}

TEST(Registry, MissingKeysValuesAndWrongTypesAreStatuses) {
    platformtest::TestRoot root;
    RegistryKey key;
    RegResult result = RegistryKey::Open(Hive::LOCAL_MACHINE, kServerKey, &key);
    EXPECT_EQ(result.status, RegStatus::REG_NOT_FOUND);
    EXPECT_FALSE(result.message.empty());
    EXPECT_FALSE(key.IsOpen());

    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, kServerKey, &key).ok());
    std::string text;
    EXPECT_EQ(key.ReadString("Log directory", &text).status, RegStatus::REG_NOT_FOUND);
    ASSERT_TRUE(key.WriteDword("Number", 1).ok());
    EXPECT_EQ(key.ReadString("Number", &text).status, RegStatus::REG_WRONG_TYPE);
    std::uint32_t number;
    ASSERT_TRUE(key.WriteString("Text", "x").ok());
    EXPECT_EQ(key.ReadDword("Text", &number).status, RegStatus::REG_WRONG_TYPE);
    EXPECT_EQ(key.WriteString("Bad", "two\nlines").status, RegStatus::REG_INVALID_ARGUMENT);
    EXPECT_EQ(RegistryKey::Create(Hive::LOCAL_MACHINE, "A\\\\B", &key).status,
              RegStatus::REG_INVALID_ARGUMENT);
}

TEST(Registry, EnumerateAndDelete) {
    platformtest::TestRoot root;
    RegistryKey parent;
    RegistryKey child;
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, "Top\\Beta", &child).ok());
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, "Top\\alpha\\Deep", &child).ok());
    ASSERT_TRUE(RegistryKey::Open(Hive::LOCAL_MACHINE, "Top", &parent).ok());
    std::vector<std::string> names;
    ASSERT_TRUE(parent.EnumSubKeys(&names).ok());
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Beta"}));

    ASSERT_TRUE(parent.WriteString("Gone", "soon").ok());
    ASSERT_TRUE(parent.DeleteValue("gone").ok());
    std::string text;
    EXPECT_EQ(parent.ReadString("Gone", &text).status, RegStatus::REG_NOT_FOUND);
    EXPECT_EQ(parent.DeleteValue("Gone").status, RegStatus::REG_NOT_FOUND);

    EXPECT_EQ(RegistryKey::DeleteKey(Hive::LOCAL_MACHINE, "Top\\Alpha").status,
              RegStatus::REG_HAS_SUBKEYS);
    ASSERT_TRUE(RegistryKey::DeleteKey(Hive::LOCAL_MACHINE, "Top\\Alpha", true).ok());
    ASSERT_TRUE(parent.EnumSubKeys(&names).ok());
    EXPECT_EQ(names, (std::vector<std::string>{"Beta"}));
    ASSERT_TRUE(RegistryKey::DeleteKey(Hive::LOCAL_MACHINE, "Top", true).ok());
    EXPECT_EQ(parent.WriteString("x", "y").status, RegStatus::REG_NOT_FOUND);
}

TEST(Registry, ReadsAHandWrittenExport) {
    platformtest::TestRoot root;
    root.Write("registry/HKEY_LOCAL_MACHINE.reg",
               "Windows Registry Editor Version 5.00\r\n"
               "; written by hand\r\n"
               "\r\n"
               "[HKEY_LOCAL_MACHINE\\Software\\Verdanix\\Strovane]\r\n"
               "\"Subnet Mask\"=\"255.255.255.0\"\r\n"
               "@=\"default\"\r\n"
               "\"Long\"=hex:00,01,02,\\\r\n"
               "  03,04\r\n");
    RegistryKey key;
    ASSERT_TRUE(RegistryKey::Open(Hive::LOCAL_MACHINE, "Software\\Verdanix\\Strovane", &key).ok());
    std::string text;
    ASSERT_TRUE(key.ReadString("Subnet Mask", &text).ok());
    EXPECT_EQ(text, "255.255.255.0");
    ASSERT_TRUE(key.ReadString("", &text).ok());
    EXPECT_EQ(text, "default");
    RegValue value;
    ASSERT_TRUE(key.ReadValue("Long", &value).ok());
    EXPECT_EQ(value.bytes, (std::vector<std::uint8_t>{0, 1, 2, 3, 4}));
    // The parents of a listed key exist.
    ASSERT_TRUE(RegistryKey::Open(Hive::LOCAL_MACHINE, "Software\\Verdanix", &key).ok());
}

TEST(Registry, AWriteByAnotherHandleIsSeenAtOnce) {
    platformtest::TestRoot root;
    RegistryKey reader;
    RegistryKey writer;
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, kServerKey, &reader).ok());
    ASSERT_TRUE(RegistryKey::Open(Hive::LOCAL_MACHINE, kServerKey, &writer).ok());
    ASSERT_TRUE(writer.WriteString("Log directory", "/srv/logs").ok());
    std::string text;
    ASSERT_TRUE(reader.ReadString("Log directory", &text).ok());
    EXPECT_EQ(text, "/srv/logs");
}

TEST(Registry, ConcurrentWritersInSeveralProcessesLoseNothing) {
    platformtest::TestRoot root;
    RegistryKey key;
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, kServerKey, &key).ok());
    constexpr int kWriters = 6;
    constexpr int kValues = 40;
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            RegistryKey mine;
            int failures = 0;
            if (!RegistryKey::Open(Hive::LOCAL_MACHINE, kServerKey, &mine).ok()) {
                ::_exit(10);
            }
            for (int i = 0; i < kValues; ++i) {
                std::string name = "w" + std::to_string(writer) + "_" + std::to_string(i);
                if (!mine.WriteDword(name, static_cast<std::uint32_t>(writer * 1000 + i)).ok()) {
                    ++failures;
                }
            }
            ::_exit(failures == 0 ? 0 : 11);
        }
        children.push_back(pid);
    }
    // A reader meanwhile never sees a damaged or half-written file.
    pid_t reader = ::fork();
    ASSERT_GE(reader, 0);
    if (reader == 0) {
        RegistryKey mine;
        for (int i = 0; i < 300; ++i) {
            std::vector<RegValue> values;
            if (!RegistryKey::Open(Hive::LOCAL_MACHINE, kServerKey, &mine).ok() ||
                !mine.EnumValues(&values).ok()) {
                ::_exit(12);
            }
        }
        ::_exit(0);
    }
    children.push_back(reader);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    std::vector<RegValue> values;
    ASSERT_TRUE(key.EnumValues(&values).ok());
    EXPECT_EQ(values.size(), static_cast<size_t>(kWriters * kValues));
    for (int writer = 0; writer < kWriters; ++writer) {
        for (int i = 0; i < kValues; ++i) {
            std::uint32_t number = 0;
            ASSERT_TRUE(
                key.ReadDword("w" + std::to_string(writer) + "_" + std::to_string(i), &number)
                    .ok());
            EXPECT_EQ(number, static_cast<std::uint32_t>(writer * 1000 + i));
        }
    }
    // No temporary files are left behind.
    for (const auto& entry : std::filesystem::directory_iterator(root.Path("registry"))) {
        EXPECT_EQ(entry.path().string().find(".tmp."), std::string::npos) << entry.path();
    }
}

TEST(Registry, AWriterKilledMidWayLeavesAWholeFile) {
    platformtest::TestRoot root;
    RegistryKey key;
    ASSERT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, kServerKey, &key).ok());
    ASSERT_TRUE(key.WriteString("Keep", "me").ok());
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        RegistryKey mine;
        RegistryKey::Open(Hive::LOCAL_MACHINE, kServerKey, &mine);
        for (int i = 0;; ++i) {
            mine.WriteString("v" + std::to_string(i % 500), std::string(200, 'x'));
        }
    }
    ::usleep(150 * 1000);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::string text;
    ASSERT_TRUE(key.ReadString("Keep", &text).ok());
    EXPECT_EQ(text, "me");
    std::vector<RegValue> values;
    EXPECT_TRUE(key.EnumValues(&values).ok());
    // The lock of the killed writer is gone with it: writing goes on.
    EXPECT_TRUE(key.WriteString("After", "kill").ok());
}

TEST(Registry, ADamagedFileIsReportedAndNeverOverwritten) {
    platformtest::TestRoot root;
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Verdanix\\Strovane\\OruServer]\n"
        "\"Log directory\"=\"/srv/logs\"\n"
        "\"Broken\"=dword:zz\n"
        "\"Count\"=dword:00000003\n";
    root.Write("registry/HKEY_LOCAL_MACHINE.reg", damaged);

    RegistryKey key;
    RegResult result = RegistryKey::Open(Hive::LOCAL_MACHINE, kServerKey, &key);
    EXPECT_EQ(result.status, RegStatus::REG_DAMAGED);
    EXPECT_NE(result.message.find("HKEY_LOCAL_MACHINE.reg"), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("line 5"), std::string::npos) << result.message;

    result = RegistryKey::Create(Hive::LOCAL_MACHINE, "Software\\Other", &key);
    EXPECT_EQ(result.status, RegStatus::REG_DAMAGED);
    EXPECT_EQ(RegistryKey::DeleteKey(Hive::LOCAL_MACHINE, kServerKey, true).status,
              RegStatus::REG_DAMAGED);
    EXPECT_EQ(root.Read("registry/HKEY_LOCAL_MACHINE.reg"), damaged);

    std::string copy;
    result = platform::RepairHive(Hive::LOCAL_MACHINE, &copy);
    ASSERT_TRUE(result.ok()) << result.message;
    EXPECT_NE(result.message.find("1 damaged line"), std::string::npos) << result.message;
    EXPECT_EQ(copy, root.Path("registry/HKEY_LOCAL_MACHINE.reg.damaged.1"));
    EXPECT_EQ(root.Read("registry/HKEY_LOCAL_MACHINE.reg.damaged.1"), damaged);

    ASSERT_TRUE(RegistryKey::Open(Hive::LOCAL_MACHINE, kServerKey, &key).ok());
    std::string text;
    ASSERT_TRUE(key.ReadString("Log directory", &text).ok());
    EXPECT_EQ(text, "/srv/logs");
    std::uint32_t count = 0;
    ASSERT_TRUE(key.ReadDword("Count", &count).ok());
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(key.ReadDword("Broken", &count).status, RegStatus::REG_NOT_FOUND);

    // A healthy hive needs no repair and keeps no copy.
    result = platform::RepairHive(Hive::LOCAL_MACHINE, &copy);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(copy, "");
}

// Every hive this layer writes starts with its header, so a file without
// one, even a file of 0 bytes (cut short by a crash or a full disk), is
// damaged; only a missing file is an empty hive.
TEST(Registry, AFileWithoutHeaderIsDamagedEvenWhenItIsEmpty) {
    platformtest::TestRoot root;
    RegistryKey key;
    EXPECT_TRUE(RegistryKey::Open(Hive::LOCAL_MACHINE, "", &key).ok());
    EXPECT_EQ(RegistryKey::Open(Hive::LOCAL_MACHINE, "Software", &key).status,
              RegStatus::REG_NOT_FOUND);
    for (const char* text : {"garbage\n", "", "\n\n", "; only a comment\n"}) {
        SCOPED_TRACE(text);
        root.Write("registry/HKEY_LOCAL_MACHINE.reg", text);
        RegResult opened = RegistryKey::Open(Hive::LOCAL_MACHINE, "", &key);
        EXPECT_EQ(opened.status, RegStatus::REG_DAMAGED);
        EXPECT_NE(opened.message.find("HKEY_LOCAL_MACHINE.reg"), std::string::npos);
        EXPECT_EQ(RegistryKey::Create(Hive::LOCAL_MACHINE, "Software", &key).status,
                  RegStatus::REG_DAMAGED);
        EXPECT_EQ(root.Read("registry/HKEY_LOCAL_MACHINE.reg"), text);
    }
    // Repair makes an empty hive of it and keeps the file aside.
    root.Write("registry/HKEY_LOCAL_MACHINE.reg", "");
    std::string copy;
    ASSERT_TRUE(platform::RepairHive(Hive::LOCAL_MACHINE, &copy).ok());
    EXPECT_NE(copy, "");
    EXPECT_TRUE(RegistryKey::Create(Hive::LOCAL_MACHINE, "Software", &key).ok());
}

TEST(Registry, HivesAreSeparateFiles) {
    platformtest::TestRoot root;
    RegistryKey key;
    ASSERT_TRUE(RegistryKey::Create(Hive::CURRENT_USER, "Software\\Strovane", &key).ok());
    ASSERT_TRUE(key.WriteString("x", "y").ok());
    EXPECT_EQ(RegistryKey::Open(Hive::LOCAL_MACHINE, "Software\\Strovane", &key).status,
              RegStatus::REG_NOT_FOUND);
    EXPECT_NE(
        root.Read("registry/HKEY_CURRENT_USER.reg").find("[HKEY_CURRENT_USER\\Software\\Strovane]"),
        std::string::npos);
}

}  // namespace
