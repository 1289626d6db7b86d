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

// What stands before a tail that ends the path (letter case aside), or nullopt.
std::optional<std::string> BeforeTail(std::string_view path, std::string_view tail) {
    if (path.size() > tail.size() && EqualsIgnoreCase(path.substr(path.size() - tail.size()), tail)) {
        return std::string(path.substr(0, path.size() - tail.size()));
    }
    return std::nullopt;
}

// The variables Windows sets for every program, placed where the configured folders say.
EnvironmentTable DefaultEnvironment(const SandboxSettings& settings) {
    constexpr std::string_view kStartupTail = "\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
    const std::string& windows = settings.windowsDirectory;
    const std::string drive = windows.size() >= 2 && windows[1] == ':' ? windows.substr(0, 2) : "C:";
    const std::string programFiles = drive + "\\Program Files";
    const std::string programFilesX86 = drive + "\\Program Files (x86)";
    const std::string programData =
        BeforeTail(settings.commonStartup, kStartupTail).value_or(drive + "\\ProgramData");
    const auto appDataOfStartup = BeforeTail(settings.startup, kStartupTail);
    std::string userProfile = drive + "\\Users\\User";
    if (appDataOfStartup) {
        userProfile = BeforeTail(*appDataOfStartup, "\\AppData\\Roaming").value_or(userProfile);
    }
    const std::string localAppData = userProfile + "\\AppData\\Local";

    EnvironmentTable environment;
    environment.Set("windir", windows);
    environment.Set("SystemRoot", windows);
    environment.Set("SystemDrive", drive);
    environment.Set("ComSpec", settings.systemDirectory + "\\cmd.exe");
    environment.Set("PATH",
                    settings.systemDirectory + ";" + windows + ";" + settings.systemDirectory + "\\Wbem");
    environment.Set("PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC");
    environment.Set("ProgramFiles", programFiles);
    environment.Set("ProgramW6432", programFiles);
    environment.Set("ProgramFiles(x86)", programFilesX86);
    environment.Set("CommonProgramFiles", programFiles + "\\Common Files");
    environment.Set("CommonProgramFiles(x86)", programFilesX86 + "\\Common Files");
    environment.Set("ProgramData", programData);
    environment.Set("ALLUSERSPROFILE", programData);
    environment.Set("USERPROFILE", userProfile);
    environment.Set("USERNAME", userProfile.substr(userProfile.rfind('\\') + 1));
    environment.Set("APPDATA", appDataOfStartup.value_or(userProfile + "\\AppData\\Roaming"));
    environment.Set("LOCALAPPDATA", localAppData);
    environment.Set("TEMP", localAppData + "\\Temp");
    environment.Set("TMP", localAppData + "\\Temp");
    return environment;
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
    if (auto minor = document.Find("System", "MinorVersion")) {
        settings.minorVersion = ParseProfileInteger(*minor).value_or(settings.minorVersion);
    }
    settings.x64 = settings.family == PlatformFamily::NT && settings.majorVersion >= 6;
    if (auto architecture = document.Find("System", "Architecture")) {
        if (EqualsIgnoreCase(*architecture, "x64")) {
            settings.x64 = true;
        } else if (EqualsIgnoreCase(*architecture, "x86")) {
            settings.x64 = false;
        }
    }
    text("SystemDirectory", settings.systemDirectory);
    text("WindowsDirectory", settings.windowsDirectory);
    text("ToolDirectory", settings.toolDirectory);
    text("CommonStartup", settings.commonStartup);
    text("Startup", settings.startup);
    if (auto admin = document.Find("System", "Administrator")) {
        settings.administrator = ParseProfileInteger(*admin).value_or(1) != 0;
    }
    for (const std::string& name : document.KeyNames("Environment")) {
        settings.environment.emplace_back(name, document.Find("Environment", name).value_or(""));
    }
    return settings;
}

EnvironmentTable SandboxSettings::Environment() const {
    EnvironmentTable table = DefaultEnvironment(*this);
    for (const auto& [name, value] : environment) {
        table.Set(name, table.Expand(value));
    }
    return table;
}

std::string SandboxSettings::ExpandEnvironmentStrings(std::string_view text) const {
    if (text.find('%') == std::string_view::npos) {
        return std::string(text); // the common case, without building the table
    }
    return Environment().Expand(text);
}

} // namespace qb::sandbox
