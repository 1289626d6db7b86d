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
    std::vector<std::string> SectionNames(std::string_view file) override;
    // The file is read once for all keys.
    std::vector<std::optional<std::string>> ReadValues(std::string_view file,
                                                       const std::vector<ProfileKey>& keys) override;
    // The file is read and written once: it holds all the new values or, when the write fails, none.
    void WriteValues(std::string_view file, const std::vector<ProfileEntry>& entries) override;

private:
    // The content of a file about to be written, "" for a new one; throws when it cannot be written.
    std::string ContentForWriting(std::string_view file, std::filesystem::path& host);

    const PathMap& paths_;
};

// GetPrivateProfileString hands out at most this many bytes (a 2048-byte buffer with its terminator).
inline constexpr std::size_t kProfileValueLimit = 2047;

} // namespace qb::sandbox
