// Private profile files: the INI files in which a program keeps its own
// settings ("[Section]" lines followed by "key=value" lines).
//
// Names of sections and keys compare without regard to case and keep the
// case they were written with; blanks around names and values are not part
// of them. Lines that are neither a section, a key nor a comment (";" or
// "#") are kept as they stand but mean nothing, so a damaged file reads as
// the settings that can still be made out and a rewrite loses nothing.
// A key without any section before it belongs to no section and is never
// read.
//
// Every read re-reads the file (a missing or unreadable file reads as
// empty). Every change takes an flock(2) lock on "<path>.lock", re-reads the
// file, changes it and replaces it atomically (platform::WriteFileAtomic),
// so two programs writing the same file never lose each other's changes.
// Edit makes several changes in one such pass. Names and values that would
// change the file's structure (a line break, a key with "=" or starting
// with "[", ";" or "#", a section with "]", an empty name) are refused with
// EINVAL and nothing is written. Thread-safe.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The parsed content of a profile file, kept line by line.
class ProfileData {
  public:
    static ProfileData Parse(std::string_view text);
    std::string Text() const;

    // The value of a key; nullopt when the section or the key is absent.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // The key names of a section in file order (a key written twice counts
    // once); nullopt when the section is absent.
    std::optional<std::vector<std::string>> Keys(std::string_view section) const;

    // Sets a key, adding the section at the end and the key at the end of
    // its section when missing. EINVAL (nothing changed) for names or values
    // the file cannot hold; else 0.
    int Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes every line of the key; nothing when absent.
    void DeleteKey(std::string_view section, std::string_view key);
    // Removes the section's header and every line up to the next section.
    void DeleteSection(std::string_view section);

    // Whether a name or value can be written (see the file comment).
    static bool ValidSection(std::string_view section);
    static bool ValidKey(std::string_view key);
    static bool ValidValue(std::string_view value);

  private:
    struct Line {
        enum Kind { kOther, kSection, kKey } kind = kOther;
        std::string raw;    // the line as read or written, without its end
        std::string name;   // section or key name, trimmed
        std::string value;  // key value, trimmed
    };
    // Index of the section header, or -1.
    int FindSection(std::string_view section) const;
    // One past the last line of the section that starts at `header`.
    std::size_t SectionEnd(std::size_t header) const;

    std::vector<Line> lines_;
};

class PrivateProfile {
  public:
    explicit PrivateProfile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // The file as it is now (empty when missing or unreadable).
    ProfileData Snapshot() const;

    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    std::optional<std::vector<std::string>> SectionKeys(std::string_view section) const;
    // A whole decimal number (an optional sign, digits, nothing else, within
    // the range of int); anything else, and an absent key, gives fallback.
    int ReadInt(std::string_view section, std::string_view key, int fallback) const;

    // Each returns 0 or an errno value (EINVAL for names or values the file
    // cannot hold; the file is then left as it was).
    int WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Written as "%i".
    int WriteInt(std::string_view section, std::string_view key, int value);
    int DeleteKey(std::string_view section, std::string_view key);
    int DeleteSection(std::string_view section);
    // Applies `change` to the current content under the lock and writes the
    // result once; `change` returns 0 to write or an errno value to abandon.
    int Edit(const std::function<int(ProfileData&)>& change);

  private:
    std::string path_;
};

}  // namespace platform
