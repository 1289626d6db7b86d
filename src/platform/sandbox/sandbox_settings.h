#pragma once

#include "platform/system_info.h"

#include <filesystem>
#include <string>

namespace qb::sandbox {

// The simulated machine's settings, section [System] of "sandbox.ini" in the root. Every key is optional.
struct SandboxSettings {
    PlatformFamily family = PlatformFamily::NT;
    int majorVersion = 10;
    std::string systemDirectory = "C:\\WINDOWS\\SYSTEM32";
    std::string windowsDirectory = "C:\\WINDOWS";
    std::string toolDirectory = "C:\\Program Files\\Quillbrook";
    std::string commonStartup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";
    std::string startup =
        "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    // A standard user (false) may read HKEY_LOCAL_MACHINE and the all-users startup folder, not change them.
    bool administrator = true;

    static SandboxSettings Load(const std::filesystem::path& root);
};

inline constexpr const char* kSettingsFile = "sandbox.ini";

} // namespace qb::sandbox
