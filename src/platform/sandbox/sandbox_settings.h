#pragma once

#include "platform/environment_strings.h"
#include "platform/system_info.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qb::sandbox {

// The simulated machine's settings, sections [System] and [Environment] of "sandbox.ini" in the root. Every
// key is optional.
struct SandboxSettings {
    PlatformFamily family = PlatformFamily::NT;
    int majorVersion = 10;
    int minorVersion = 0;
    // [System] Architecture: x64 (the default on NT 6.0 and later) or x86 (the default before).
    bool x64 = true;
    std::string systemDirectory = "C:\\WINDOWS\\SYSTEM32";
    std::string windowsDirectory = "C:\\WINDOWS";
    std::string toolDirectory = "C:\\Program Files\\Quillbrook";
    std::string commonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
    std::string startup =
        "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    // A standard user (false) may read HKEY_LOCAL_MACHINE and the all-users startup folder, not change them.
    bool administrator = true;
    // Section [Environment] of "sandbox.ini" in file order: variables set on top of the defaults
    // (Environment() gives them), or unset by an empty value.
    std::vector<std::pair<std::string, std::string>> environment;

    // The environment that %NAME% references expand in. The defaults follow the folders above: windir
    // and SystemRoot are the Windows directory, SystemDrive its drive, ComSpec cmd.exe in the system
    // directory; ProgramFiles (and ProgramW6432), ProgramFiles(x86) and their CommonProgramFiles lie on
    // that drive; ProgramData (and ALLUSERSPROFILE) is what stands before
    // "\Microsoft\Windows\Start Menu\Programs\StartUp" in CommonStartup, APPDATA what stands before
    // the same tail in Startup, USERPROFILE what stands before "\AppData\Roaming" in APPDATA, each on
    // the usual place of the system drive when the folder lies elsewhere; LOCALAPPDATA is
    // USERPROFILE\AppData\Local, TEMP and TMP its Temp folder, USERNAME the last part of USERPROFILE;
    // PATH is the system directory, the Windows directory and the system directory's Wbem, PATHEXT the
    // extensions Windows gives programs by default.
    // Each [Environment] value is expanded in what is set before it, so it may build on the defaults.
    EnvironmentTable Environment() const;
    // ExpandEnvironmentStrings in Environment().
    std::string ExpandEnvironmentStrings(std::string_view text) const;

    static SandboxSettings Load(const std::filesystem::path& root);
};

inline constexpr const char* kSettingsFile = "sandbox.ini";

} // namespace qb::sandbox
