#pragma once

#include "platform/console_services.h"
#include "platform/platform_services.h"
#include "platform/sandbox/desktop_handoff.h"
#include "platform/sandbox/path_map.h"
#include "platform/sandbox/sandbox_files.h"
#include "platform/sandbox/sandbox_processes.h"
#include "platform/sandbox/sandbox_profiles.h"
#include "platform/sandbox/sandbox_registry.h"
#include "platform/sandbox/sandbox_services.h"
#include "platform/sandbox/sandbox_settings.h"
#include "platform/sandbox/sandbox_shell.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace qb::sandbox {

// A whole simulated Windows machine kept in one directory, with every platform service over it.
class SandboxSystem {
public:
    // Opens an existing root as it is. The error names what is wrong (a registry file that does not
    // parse, a root that is no directory).
    static std::variant<std::unique_ptr<SandboxSystem>, std::string> Open(const std::filesystem::path& root);
    // Opens the root, first creating it with the demo system when it does not exist.
    static std::variant<std::unique_ptr<SandboxSystem>, std::string>
    OpenOrSeed(const std::filesystem::path& root);

    SandboxSystem(const SandboxSystem&) = delete;
    SandboxSystem& operator=(const SandboxSystem&) = delete;

    PlatformServices Services();

    const std::filesystem::path& Root() const { return paths_.Root(); }
    const PathMap& Paths() const { return paths_; }
    const SandboxSettings& Settings() const { return settings_; }
    SandboxRegistry& Registry() { return registry_; }
    SandboxFiles& Files() { return files_; }
    SandboxProfiles& Profiles() { return profiles_; }
    SandboxShell& Shell() { return shell_; }
    SandboxProcesses& Processes() { return processes_; }

    // The GUI and the CLI bring their own dialogs, browser pane and desktop; until then messages go to
    // stderr, questions are answered No, and opening goes through xdg-open.
    void SetDialogs(Dialogs& dialogs) { dialogs_ = &dialogs; }
    void SetBrowserPane(BrowserPane& browser) { browser_ = &browser; }
    void SetDesktop(DesktopHandoff& desktop) { shell_.SetDesktop(desktop); }

private:
    explicit SandboxSystem(const std::filesystem::path& root);

    PathMap paths_;
    SandboxSettings settings_;
    SandboxRegistry registry_;
    SandboxFiles files_;
    SandboxProfiles profiles_;
    XdgDesktopHandoff xdg_;
    SandboxShell shell_;
    SandboxProcesses processes_;
    SandboxSystemInfo systemInfo_;
    HostClock clock_;
    ConsoleDialogs consoleDialogs_{std::cerr, false};
    HeadlessBrowserPane headlessBrowser_;
    Dialogs* dialogs_ = &consoleDialogs_;
    BrowserPane* browser_ = &headlessBrowser_;
};

// The root used when none is given: $QUILLBROOK_SYSTEM_ROOT, else "quillbrook/system" under the XDG data
// directory ($XDG_DATA_HOME, or ~/.local/share).
std::filesystem::path DefaultSandboxRoot();

// The system a front end works on: the root it was given, else the default one, seeded with the demo system
// when it does not exist yet. nullptr, with the reason in error, when it cannot be opened.
std::unique_ptr<SandboxSystem> OpenFrontEndSystem(const std::optional<std::string>& root, std::string& error);

// Creates the root directory and fills it with the demo system and the shipped data files. Fails (with the
// reason) when the root exists already or cannot be made; a half-made root is removed again.
bool SeedDemoSystem(const std::filesystem::path& root, std::string& error);

} // namespace qb::sandbox
