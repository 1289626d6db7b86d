#pragma once

#include "platform/registry.h"
#include "platform/sandbox/desktop_handoff.h"
#include "platform/sandbox/path_map.h"
#include "platform/sandbox/sandbox_settings.h"
#include "platform/shell.h"

namespace qb::sandbox {

// The shell of the simulated machine: special folders from the settings, genuine .lnk files, programs of
// the host started for commands that name them, and the desktop for everything that is opened. Links are
// read with the machine's ANSI code page and known folders, both from its registry.
class SandboxShell : public Shell {
public:
    SandboxShell(const PathMap& paths, const SandboxSettings& settings, Registry& registry,
                 DesktopHandoff& desktop);

    // The desktop can be swapped while the shell lives (the GUI brings its own).
    void SetDesktop(DesktopHandoff& desktop) { desktop_ = &desktop; }

    std::string StartupFolderPath(bool allUsers) override;
    // Every link that loads resolves; a missing target only makes it point nowhere. The target comes back
    // in its long form (the sandbox's drives have no 8.3 names), with its %NAME% references expanded;
    // DecodeShellLink says where it comes from.
    ShortcutLoad LoadShortcut(std::string_view path) override;
    bool SaveShortcut(std::string_view path, const ShortcutInfo& link) override;
    // Files of the sandbox carry no Windows icon resources.
    std::optional<ProgramIcon> ExtractIcon(std::string_view path) override;
    ProgramIcon StandardApplicationIcon() override;
    int RunCommand(std::string_view commandLine, int showCommand) override;
    int OpenWithVerb(std::string_view verb, std::string_view target) override;
    bool ShowProperties(std::string_view path) override;

private:
    // The Windows path of the program a command line starts, searched as WinExec searches a bare name.
    std::optional<std::string> LocateProgram(const std::string& program);

    const PathMap& paths_;
    const SandboxSettings& settings_;
    Registry& registry_;
    DesktopHandoff* desktop_;
};

// WinExec's results.
inline constexpr int kWinExecStarted = 33;
inline constexpr int kWinExecFileNotFound = 2;
inline constexpr int kWinExecPathNotFound = 3;
inline constexpr int kWinExecBadFormat = 11;

} // namespace qb::sandbox
