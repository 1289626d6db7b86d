#include "platform/sandbox/sandbox_settings.h"

#include "platform/profile_files.h"
#include "platform/profile_text.h"
#include "platform/sandbox/host_files.h"
#include "platform/text.h"

namespace qb::sandbox {

namespace {
// Paths are held without a trailing backslash, as the shell hands them out; "C:\" keeps its own.
std::string WithoutTrailingBackslash(std::string path) {
    while (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}
} // namespace

SandboxSettings SandboxSettings::Load(const std::filesystem::path& root) {
    SandboxSettings settings;
    const auto content = ReadHostFile(root / kSettingsFile);
    if (!content) {
        return settings;
    }
    const auto document = ProfileDocument::Parse(*content);
    const auto text = [&](const char* key, std::string& field) {
        if (auto value = document.Find("System", key)) {
            field = WithoutTrailingBackslash(std::move(*value));
        }
    };
    if (auto platform = document.Find("System", "Platform")) {
        settings.family = EqualsIgnoreCase(*platform, "9x") ? PlatformFamily::Windows9x : PlatformFamily::NT;
    }
    if (auto major = document.Find("System", "MajorVersion")) {
        settings.majorVersion = ParseProfileInteger(*major).value_or(settings.majorVersion);
    }
    text("SystemDirectory", settings.systemDirectory);
    text("WindowsDirectory", settings.windowsDirectory);
    text("ToolDirectory", settings.toolDirectory);
    text("CommonStartup", settings.commonStartup);
    text("Startup", settings.startup);
    if (auto admin = document.Find("System", "Administrator")) {
        settings.administrator = ParseProfileInteger(*admin).value_or(1) != 0;
    }
    return settings;
}

} // namespace qb::sandbox
