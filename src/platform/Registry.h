// The registry: file-backed keys and values under ORU_ROOT/registry/.
//
// Each hive is one text file, ORU_ROOT/registry/<HIVE>.reg, in the .reg export
// style:
//     Windows Registry Editor Version 5.00
//
//     [HKEY_LOCAL_MACHINE\Software\Verdanix\Strovane\OruServer]
//     "Log directory"="C:\\oru_log"
//     "Count"=dword:0000001e
//     "Blob"=hex:01,02,ff
// Key and value names are case-insensitive and keep the case they were
// created with; "@" is the unnamed (default) value, named "" here.
//
// Every call works on the file as it is now: reads re-read it (no caching, so
// a write by another process is seen at once), writes take an flock(2) lock on
// ORU_ROOT/registry/<HIVE>.lock, read, change and atomically replace the file
// (temporary file, fsync, rename), so concurrent writers in several processes
// never lose each other's values and a reader never sees a half-written file.
//
// A missing file is an empty hive. A damaged file (a line that is none of
// the forms above, a missing header, an empty file) is never changed behind
// the caller's back: every read and write of that
// hive fails with REG_DAMAGED and a message naming the file and the line.
// RepairHive keeps a byte-for-byte copy aside, then rewrites the hive with the
// good lines only.
//
// Failures are status values with a message; nothing throws. Thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class Hive { LOCAL_MACHINE, CURRENT_USER };

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER": the file's base name and the
// first component of every key line.
const char* HiveName(Hive hive);

// ORU_ROOT/registry/<HIVE>.reg
std::string HiveFilePath(Hive hive);

enum class RegStatus {
    REG_OK,
    REG_NOT_FOUND,         // no such key or value
    REG_WRONG_TYPE,        // the value exists with another type
    REG_DAMAGED,           // the hive file cannot be parsed
    REG_IO_ERROR,          // the file or its directory cannot be read or written
    REG_INVALID_ARGUMENT,  // empty key component, text with a line break or NUL, ...
    REG_HAS_SUBKEYS,       // DeleteKey without withSubkeys on a key that has some
};

struct RegResult {
    RegStatus status = RegStatus::REG_OK;
    std::string message;  // empty on success; says what and where otherwise
    bool ok() const { return status == RegStatus::REG_OK; }
};

// Value types, numbered as Windows numbers them.
enum class RegType : std::uint32_t { REG_SZ = 1, REG_BINARY = 3, REG_DWORD = 4 };

struct RegValue {
    std::string name;
    RegType type = RegType::REG_SZ;
    std::string text;                 // REG_SZ
    std::uint32_t dword = 0;          // REG_DWORD
    std::vector<std::uint8_t> bytes;  // REG_BINARY
};

// An open key: the hive file and the key's path inside it. Copyable; holds
// no file open. A key deleted by someone else makes later calls REG_NOT_FOUND.
class RegistryKey {
  public:
    RegistryKey() = default;

    // Opens an existing key ("" is the hive's root, which always exists).
    // Path components are separated by backslashes.
    static RegResult Open(Hive hive, std::string_view path, RegistryKey* key);
    // Opens the key, creating it and its missing parents.
    static RegResult Create(Hive hive, std::string_view path, RegistryKey* key);
    // Deletes a key with its values; a key with subkeys only when withSubkeys.
    static RegResult DeleteKey(Hive hive, std::string_view path, bool withSubkeys = false);

    bool IsOpen() const { return open_; }
    Hive GetHive() const { return hive_; }
    const std::string& Path() const { return path_; }

    RegResult ReadValue(std::string_view name, RegValue* value) const;
    RegResult ReadString(std::string_view name, std::string* value) const;
    RegResult ReadDword(std::string_view name, std::uint32_t* value) const;

    RegResult WriteString(std::string_view name, std::string_view value);
    RegResult WriteDword(std::string_view name, std::uint32_t value);
    RegResult WriteBinary(std::string_view name, const std::vector<std::uint8_t>& value);
    RegResult DeleteValue(std::string_view name);

    // Values in file order; names of the direct subkeys, sorted case-insensitively.
    RegResult EnumValues(std::vector<RegValue>* values) const;
    RegResult EnumSubKeys(std::vector<std::string>* names) const;

  private:
    RegResult Write(const RegValue& value);

    Hive hive_ = Hive::LOCAL_MACHINE;
    std::string file_;  // hive file fixed at open: the root does not move under a key
    std::string path_;
    bool open_ = false;
};

// Repairs a damaged hive: copies the file to <file>.damaged.<n> (the first
// free n), then rewrites it with every line that could be read. *keptCopy gets
// the copy's path ("" when the hive was not damaged and nothing was done).
RegResult RepairHive(Hive hive, std::string* keptCopy);

}  // namespace platform
