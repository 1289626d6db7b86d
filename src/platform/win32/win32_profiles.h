#pragma once

#include "platform/profile_files.h"

namespace qb::win32 {

class Win32Files;

// Profile files through GetPrivateProfileStringA and WritePrivateProfileStringA, and many keys at once
// through one read or one write of the whole file.
class Win32Profiles : public ProfileFiles {
public:
    explicit Win32Profiles(Win32Files& files) : files_(files) {}

    // At most 2047 bytes, cut at a character boundary.
    std::optional<std::string> ReadValue(std::string_view file, std::string_view section,
                                         std::string_view key) override;
    void WriteString(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value) override;
    // GetPrivateProfileSectionNamesA; none for a missing file.
    std::vector<std::string> SectionNames(std::string_view file) override;
    // The file is read once and parsed as the profile functions read it, and written whole, replaced at
    // once: a backup of thousands of keys costs one read or one write, not one per key (each of which reads
    // and rewrites the whole file), and a failed write leaves the file as it was. A file in UTF-16, which
    // the profile functions read as such, goes key by key through them.
    std::vector<std::optional<std::string>> ReadValues(std::string_view file,
                                                       const std::vector<ProfileKey>& keys) override;
    void WriteValues(std::string_view file, const std::vector<ProfileEntry>& entries) override;

private:
    Win32Files& files_;
};

} // namespace qb::win32
