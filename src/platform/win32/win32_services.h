#pragma once

#include "platform/browser_pane.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/system_info.h"

#include <iosfwd>
#include <string>

namespace qb::win32 {

// GetVersionExA, GetSystemDirectoryA, GetWindowsDirectoryA and ExpandEnvironmentStringsA. The manifest names
// the Windows versions the tool knows; without it GetVersionEx would report every system after 8 as 6.2.
class Win32SystemInfo : public SystemInfo {
public:
    OsVersion Version() override;
    std::string SystemDirectory() override;
    std::string WindowsDirectory() override;
    // In this process's environment; when the call fails, the text comes back as written.
    std::string ExpandEnvironmentStrings(std::string_view text) override;
};

// GetLocalTime.
class Win32Clock : public Clock {
public:
    LocalTime Now() override;
};

} // namespace qb::win32
