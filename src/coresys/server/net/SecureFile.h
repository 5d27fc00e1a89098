// The secure file by which a management client proves its rights: a file
// that the client creates in the administration directory and the service
// looks for, reads the owner of and deletes. Whoever can create files in
// that directory may manage the arrays.
//
// Paths are built in the service's Windows form (as the administration path
// is configured) and mapped to this machine's paths at the end. A serial
// number from the network is checked before it becomes part of any path;
// files are examined with lstat and never followed through a link.
// Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class SecureFile {
  public:
    static constexpr std::size_t kSerialField = 13;

    // True when the 13 serial bytes of a session preamble hold 1 to 12
    // printable characters followed by a NUL, with no path separator ("/",
    // "\", ":") and no "..". *serial gets the text (also on failure: the
    // printable part, for the reports).
    static bool ValidSerial(const unsigned char* bytes, std::size_t length, std::string* serial);

    // The printable form of an untrusted serial field for reports: at most
    // 12 characters, every byte outside the printable range shown as "?".
    static std::string ReportText(const unsigned char* bytes, std::size_t length);

    // The administration path with a trailing "\" (Windows form).
    static std::string Prefix(const std::string& administrationPath);

    // True when the prefix followed by the serial names a directory (the
    // per-serial directory of secure files).
    static bool SerialDirectoryExists(const std::string& prefix, const std::string& serial);

    // The secure file's name on this machine: prefix, serial, "\" when the
    // per-serial directory exists, else "."; then "local" or the peer's
    // dotted address; then "." and the peer's port in decimal.
    static std::string BuildName(const std::string& administrationPath, const std::string& serial,
                                 bool local, const std::string& peerAddress, unsigned port);

    // True when path is a regular file (lstat: a link is not followed and
    // does not count).
    static bool Present(const std::string& path);

    // A client makes its secure file after its connection is established
    // and just before its session request. A file last changed more than
    // kStaleSlackMs before the service accepted the connection (the slack
    // covers the listener's pace and the clock's granularity) was made for
    // another connection, one that happened to have the same port: it is
    // stale and proves nothing. So does one dated more than kStaleSlackMs
    // after the accept: a client makes its file within the wait for it, and
    // a file dated ahead would vouch for every later connection of its port.
    static constexpr std::int64_t kStaleSlackMs = 30000;
    enum class Proof { ABSENT, STALE, PRESENT };
    // Whether path is a regular file changed within kStaleSlackMs of
    // acceptedWallMs (milliseconds since 1970), before or after it.
    static Proof Check(const std::string& path, std::int64_t acceptedWallMs);

    // Removes, from the administration directory and its per-serial
    // directories, every regular file whose name has the form of a secure
    // file the service waits for ("<serial>.<local or a.b.c.d>.<port>", in a
    // per-serial directory "<local or a.b.c.d>.<port>"). Run at start,
    // before the listeners open: any such file is a leftover of a client
    // that never finished its session. Returns how many were removed.
    static int RemoveLeftovers(const std::string& administrationPath);

    // The account that owns the file, "HOST\login"; "Failed SID Lookup - n"
    // when the owner has no account; "" when the owner cannot be read.
    static std::string OwnerText(const std::string& path);

    // Removes the file (never what a link points to). True when removed.
    static bool Remove(const std::string& path);

    // True when the administration directory exists and every user may
    // create files in it (world-writable without the sticky bit).
    static bool WorldWritable(const std::string& administrationPath);
};
