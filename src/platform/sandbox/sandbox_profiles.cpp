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

std::string SandboxProfiles::ContentForWriting(std::string_view file, std::filesystem::path& host) {
    const auto mapped = paths_.ToHostForWriting(file);
    struct stat info {};
    const bool exists = mapped && ::stat(mapped->c_str(), &info) == 0;
    if (!mapped || (exists && !S_ISREG(info.st_mode)) || (exists && IsReadOnlyHostFile(*mapped))) {
        throw PlatformError::ProfileWriteFailed(file);
    }
    host = *mapped;
    if (!exists) {
        return {};
    }
    auto content = ReadHostFile(host);
    if (!content) {
        throw PlatformError::ProfileWriteFailed(file);
    }
    return std::move(*content);
}

void SandboxProfiles::WriteString(std::string_view file, std::string_view section, std::string_view key,
                                  std::string_view value) {
    WriteValues(file, {{std::string(section), std::string(key), std::string(value)}});
}

void SandboxProfiles::WriteValues(std::string_view file, const std::vector<ProfileEntry>& entries) {
    std::filesystem::path host;
    std::string content = ContentForWriting(file, host);
    if (content.empty()) {
        // A new file: what one write after another would make of it, built in one pass.
        content = ProfileBuild(entries);
    } else {
        content = ProfileUpdateAll(content, entries);
    }
    if (!WriteHostFileAtomically(host, content)) {
        throw PlatformError::ProfileWriteFailed(file);
    }
}

std::vector<std::string> SandboxProfiles::SectionNames(std::string_view file) {
    const auto host = paths_.ToHost(file);
    const auto content = host ? ReadHostFile(*host) : std::nullopt;
    return content ? ProfileDocument::Parse(*content).SectionNames() : std::vector<std::string>{};
}

std::vector<std::optional<std::string>> SandboxProfiles::ReadValues(std::string_view file,
                                                                    const std::vector<ProfileKey>& keys) {
    std::vector<std::optional<std::string>> values(keys.size());
    const auto host = paths_.ToHost(file);
    const auto content = host ? ReadHostFile(*host) : std::nullopt;
    if (!content) {
        return values;
    }
    const auto document = ProfileDocument::Parse(*content);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (auto value = document.Find(keys[i].section, keys[i].key)) {
            values[i] = CutAtCharBoundary(*value, kProfileValueLimit);
        }
    }
    return values;
}

} // namespace qb::sandbox
