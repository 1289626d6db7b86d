#include "platform/sandbox/sandbox_profiles.h"

#include "platform/platform_error.h"
#include "platform/profile_text.h"
#include "platform/sandbox/host_files.h"
#include "platform/text.h"

#include <sys/stat.h>

namespace qb::sandbox {

std::optional<std::string> SandboxProfiles::ReadValue(std::string_view file, std::string_view section,
                                                      std::string_view key) {
    const auto host = paths_.ToHost(file);
    if (!host) {
        return std::nullopt;
    }
    const auto content = ReadHostFile(*host);
    if (!content) {
        return std::nullopt;
    }
    auto value = ProfileLookup(*content, section, key);
    if (value) {
        *value = CutAtCharBoundary(*value, kProfileValueLimit);
    }
    return value;
}

void SandboxProfiles::WriteString(std::string_view file, std::string_view section, std::string_view key,
                                  std::string_view value) {
    const auto host = paths_.ToHost(file);
    struct stat info {};
    const bool exists = host && ::stat(host->c_str(), &info) == 0;
    if (!host || (exists && !S_ISREG(info.st_mode)) || (exists && IsReadOnlyHostFile(*host))) {
        throw PlatformError::ProfileWriteFailed(file);
    }
    std::string content;
    if (exists) {
        auto old = ReadHostFile(*host);
        if (!old) {
            throw PlatformError::ProfileWriteFailed(file);
        }
        content = std::move(*old);
    }
    if (!WriteHostFileAtomically(*host, ProfileUpdate(content, section, key, value))) {
        throw PlatformError::ProfileWriteFailed(file);
    }
}

} // namespace qb::sandbox
