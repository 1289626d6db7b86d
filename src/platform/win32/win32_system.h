#pragma once

#include "platform/console_services.h"
#include "platform/platform_services.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_profiles.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_shell.h"

#include <iostream>

namespace qb::win32 {

// This computer, with every platform service over the real Windows API. It keeps COM initialised on
// the thread that made it, so that the shell's per-call initialisation is only a reference there.
class Win32System {
public:
    Win32System() = default;
    Win32System(const Win32System&) = delete;
    Win32System& operator=(const Win32System&) = delete;

    PlatformServices Services();

    Win32Registry& Registry() { return registry_; }
    Win32Files& Files() { return files_; }
    Win32Profiles& Profiles() { return profiles_; }
    Win32Shell& Shell() { return shell_; }
    Win32Processes& Processes() { return processes_; }
    Win32SystemInfo& System() { return systemInfo_; }

    // The GUI and the CLI bring their own dialogs and browser pane; until then messages go to stderr,
    // questions are answered No, and the browser pane only remembers where it was sent.
    void SetDialogs(Dialogs& dialogs) { dialogs_ = &dialogs; }
    void SetBrowserPane(BrowserPane& browser) { browser_ = &browser; }

private:
    ComApartment com_;
    Win32Registry registry_;
    Win32Files files_;
    Win32Profiles profiles_{files_};
    Win32Shell shell_{registry_, files_};
    Win32Processes processes_;
    Win32SystemInfo systemInfo_;
    Win32Clock clock_;
    ConsoleDialogs consoleDialogs_{std::cerr, false};
    HeadlessBrowserPane headlessBrowser_;
    Dialogs* dialogs_ = &consoleDialogs_;
    BrowserPane* browser_ = &headlessBrowser_;
};

} // namespace qb::win32
