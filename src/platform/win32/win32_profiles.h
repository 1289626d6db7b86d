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
};

} // namespace qb::win32
