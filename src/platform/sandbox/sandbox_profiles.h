#pragma once

#include "platform/profile_files.h"
#include "platform/sandbox/path_map.h"

namespace qb::sandbox {

// Profile files of the sandbox's drives, with the Windows semantics of the profile functions.
class SandboxProfiles : public ProfileFiles {
public:
    explicit SandboxProfiles(const PathMap& paths) : paths_(paths) {}

    std::optional<std::string> ReadValue(std::string_view file, std::string_view section,
                                         std::string_view key) override;
    void WriteString(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value) override;

private:
    const PathMap& paths_;
};

// GetPrivateProfileString hands out at most this many bytes (a 2048-byte buffer with its terminator).
inline constexpr std::size_t kProfileValueLimit = 2047;

} // namespace qb::sandbox
