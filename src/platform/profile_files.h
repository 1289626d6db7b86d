#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

struct ProfileKey {
    std::string section;
    std::string key;
};

struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// INI-style profile files addressed by full path, read and written key by key with the semantics of
// the Windows profile functions.
class ProfileFiles {
public:
    virtual ~ProfileFiles() = default;

    // The value as GetPrivateProfileString gives it (blanks trimmed, one enclosing pair of quotes dropped,
    // at most 2047 bytes), or nullopt when the file, section or key is missing. Names match without
    // regard to case.
    virtual std::optional<std::string> ReadValue(std::string_view file, std::string_view section,
                                                 std::string_view key) = 0;
    // Creates the file and section when missing, replaces the key in place or appends it at the end of
    // its section. Throws PlatformError::ProfileWriteFailed(file) when the file cannot be written.
    virtual void WriteString(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view value) = 0;

    // The names of the file's sections, first occurrences in file order (GetPrivateProfileSectionNames).
    virtual std::vector<std::string> SectionNames(std::string_view file) = 0;

    // Many keys of one file at once, with the semantics of one ReadValue or WriteString each, in order.
    // Backends that can read or write the file once for all of them do; a write of many keys then either
    // lands whole or not at all.
    virtual std::vector<std::optional<std::string>> ReadValues(std::string_view file,
                                                               const std::vector<ProfileKey>& keys);
    virtual void WriteValues(std::string_view file, const std::vector<ProfileEntry>& entries);

    std::string ReadString(std::string_view file, std::string_view section, std::string_view key,
                           std::string_view defaultValue);
    // Decimal, or hexadecimal after "0x"; the default when missing or not a number.
    int ReadInteger(std::string_view file, std::string_view section, std::string_view key, int defaultValue);
    void WriteInteger(std::string_view file, std::string_view section, std::string_view key, int value);
};

// GetPrivateProfileInt's reading of a value: optional blanks and sign, then decimal digits or "0x" and
// hexadecimal digits, up to the first other character; nullopt when no digit was read.
std::optional<int> ParseProfileInteger(std::string_view text);

} // namespace qb
