#pragma once

// The registry keys, folders and location names the tests' machines use, as the sandbox's demo system and
// the Windows defaults have them. One copy: a test that needs another folder says so where it makes it.

#include "platform/registry.h"

#include <string>

namespace qb::test {

namespace paths {

inline constexpr auto HKLM = RegistryRoot::LocalMachine;
inline constexpr auto HKCU = RegistryRoot::CurrentUser;

// Registry keys under a hive, each ending in a backslash: CV + "Run".
inline const std::string CV = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
inline const std::string WOW = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\";

// The tool's folder (its database, backups and kept shortcuts) and the two startup folders.
inline const std::string kTool = "C:\\Program Files\\Quillbrook";
inline const std::string kUserStartup =
    "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
inline const std::string kCommonStartup =
    "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp";

// Location names as the tool shows them.
inline const std::string kCuRun = "Current User\\Registry\\Run";
inline const std::string kCuRunOnce = "Current User\\Registry\\RunOnce";
inline const std::string kLmRun = "All Users\\Registry\\Run";
inline const std::string kLmOnceEx = "All Users\\Registry\\RunOnce Ex";
inline const std::string kCuOnceEx = "Current User\\Registry\\RunOnce Ex";
inline const std::string kCuMenu = "Current User\\Startup Menu";
inline const std::string kLmMenu = "All Users\\Startup Menu";

} // namespace paths

using namespace paths;

} // namespace qb::test
