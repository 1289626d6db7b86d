#include "platform/win32/win32_profiles.h"

#include "platform/platform_error.h"
#include "platform/profile_text.h"
#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "platform/win32/win32_files.h"

#include <vector>

namespace qb::win32 {

namespace {

// GetPrivateProfileString hands out at most 2047 characters (a 2048-character buffer with its
// terminator). The buffer here has room for 2047 characters of three UTF-8 bytes each, so the cut is
// made afterwards, at a character boundary, never inside one.
constexpr std::size_t kValueLimit = 2047;
constexpr DWORD kBufferBytes = kValueLimit * 3 + 1;

std::string Read(const std::string& file, const std::string& section, const std::string& key,
                 const char* defaultValue) {
    std::vector<char> buffer(kBufferBytes);
    const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue, buffer.data(),
                                                    kBufferBytes, file.c_str());
    return std::string(buffer.data(), std::min<std::size_t>(length, buffer.size()));
}

bool IsUtf16(std::string_view content) {
    return content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF");
}

} // namespace

std::vector<std::optional<std::string>> Win32Profiles::ReadValues(std::string_view file,
                                                                  const std::vector<ProfileKey>& keys) {
    const auto content = files_.ReadFile(file);
    if (content && IsUtf16(*content)) {
        return ProfileFiles::ReadValues(file, keys);
    }
    std::vector<std::optional<std::string>> values(keys.size());
    if (!content) {
        return values; // no file: no value
    }
    const auto document = ProfileDocument::Parse(*content);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (auto value = document.Find(keys[i].section, keys[i].key)) {
            values[i] = CutAtCharBoundary(*value, kValueLimit);
        }
    }
    return values;
}

void Win32Profiles::WriteValues(std::string_view file, const std::vector<ProfileEntry>& entries) {
    std::string content;
    if (files_.FileExists(file)) {
        auto existing = files_.ReadFile(file);
        if (!existing) {
            throw PlatformError::ProfileWriteFailed(file);
        }
        if (IsUtf16(*existing)) {
            ProfileFiles::WriteValues(file, entries);
            return;
        }
        content = existing->empty() ? ProfileBuild(entries) : ProfileUpdateAll(*existing, entries);
    } else {
        content = ProfileBuild(entries);
    }
    if (files_.IsReadOnly(file) || !files_.WriteFile(file, content)) {
        throw PlatformError::ProfileWriteFailed(file);
    }
}

std::optional<std::string> Win32Profiles::ReadValue(std::string_view file, std::string_view section,
                                                    std::string_view key) {
    const std::string path(file), sectionName(section), keyName(key);
    // The function gives the default both for a missing key and for one whose value equals it; two reads
    // with different defaults tell the cases apart.
    std::string value = Read(path, sectionName, keyName, "0");
    if (value == "0" && Read(path, sectionName, keyName, "1") == "1") {
        return std::nullopt;
    }
    return CutAtCharBoundary(value, kValueLimit);
}

void Win32Profiles::WriteString(std::string_view file, std::string_view section, std::string_view key,
                                std::string_view value) {
    const std::string path(file);
    if (!::WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                      std::string(value).c_str(), path.c_str())) {
        throw PlatformError::ProfileWriteFailed(file);
    }
}

std::vector<std::string> Win32Profiles::SectionNames(std::string_view file) {
    const std::string path(file);
    std::vector<char> buffer(4096);
    DWORD length = 0;
    for (;;) {
        length =
            ::GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), path.c_str());
        // A list cut short is answered with the buffer's size less two.
        if (length + 2 < buffer.size() || buffer.size() >= (1u << 26)) {
            break;
        }
        buffer.resize(buffer.size() * 4);
    }
    std::vector<std::string> names;
    for (std::size_t start = 0; start < length;) {
        const std::string name(buffer.data() + start);
        start += name.size() + 1;
        names.push_back(name);
    }
    return names;
}

} // namespace qb::win32
