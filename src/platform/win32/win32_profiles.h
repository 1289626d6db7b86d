#pragma once

#include "platform/profile_files.h"

namespace qb::win32 {

// Profile files through GetPrivateProfileStringA and WritePrivateProfileStringA.
class Win32Profiles : public ProfileFiles {
public:
    // At most 2047 bytes, cut at a character boundary.
    std::optional<std::string> ReadValue(std::string_view file, std::string_view section,
                                         std::string_view key) override;
    void WriteString(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value) override;
    // GetPrivateProfileSectionNamesA; none for a missing file.
    std::vector<std::string> SectionNames(std::string_view file) override;
    // ReadValues and WriteValues stay key by key: the profile functions have no way to write several
    // keys at once, so a failing write of many keys may leave the first of them written.
};

} // namespace qb::win32
