#pragma once

#include "platform/shell.h"

namespace qb::win32 {

// The Windows shell: special folders, shell link objects, icons, WinExec and ShellExecute(Ex). Every
// operation that needs COM initialises it for its own duration, so it may be called on any thread,
// whether or not COM is initialised there.
class Win32Shell : public Shell {
public:
    // SHGetSpecialFolderLocation with CSIDL_COMMON_STARTUP (24) or CSIDL_STARTUP (7).
    std::string StartupFolderPath(bool allUsers) override;
    // IShellLinkA with IPersistFile::Load, then Resolve without any user interface and without updating
    // the file, and the target from GetPath in its short (8.3) form. A link the shell cannot resolve (its
    // target is gone) still loads: the entry then shows an invalid path, which is what the user needs
    // to see. nullopt only when the file is no link the shell loads.
    ShortcutLoad LoadShortcut(std::string_view path) override;
    // SetPath with the program, SetArguments, SetDescription, SetWorkingDirectory, SetIconLocation,
    // SetShowCmd, then IPersistFile::Save.
    bool SaveShortcut(std::string_view path, const ShortcutInfo& link) override;
    // ExtractIconA, icon 0.
    std::optional<ProgramIcon> ExtractIcon(std::string_view path) override;
    // LoadIconA(IDI_APPLICATION).
    ProgramIcon StandardApplicationIcon() override;
    int RunCommand(std::string_view commandLine, int showCommand) override;
    // ShellExecuteA, shown with SW_SHOW.
    int OpenWithVerb(std::string_view verb, std::string_view target) override;
    // ShellExecuteExA with the verb "properties" through the file's context menu (SEE_MASK_INVOKEIDLIST).
    bool ShowProperties(std::string_view path) override;
};

// How long Resolve may look for a moved target before it gives up, in milliseconds.
inline constexpr unsigned kResolveTimeoutMs = 1000;

} // namespace qb::win32
