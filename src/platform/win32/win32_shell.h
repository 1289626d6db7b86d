#pragma once

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace qb::win32 {

// The Windows shell: special folders, shell link objects, icons, WinExec and ShellExecute(Ex). Every
// operation that needs COM initialises it for its own duration, so it may be called on any thread,
// whether or not COM is initialised there.
class Win32Shell : public Shell {
public:
    // Links are read through files and decoded with the ANSI code page the registry records.
    Win32Shell(Registry& registry, FileSystem& files) : registry_(registry), files_(files) {}

    // SHGetKnownFolderPath with FOLDERID_CommonStartup or FOLDERID_Startup.
    std::string StartupFolderPath(bool allUsers) override;
    // The file's bytes decoded by DecodeShellLink, with the system's ANSI code page (MultiByteToWideChar)
    // and known folders (SHGetKnownFolderPath). Not IShellLink: this process runs with UTF-8 as its ANSI
    // code page, so the shell's interfaces would read a link's ANSI fields in the wrong one. The target
    // comes back with its %NAME% references expanded (ExpandEnvironmentStringsW), in its short (8.3)
    // form when the file exists. A link whose target is gone still loads: the entry then shows an
    // invalid path, which is what the user needs to see.
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

private:
    Registry& registry_;
    FileSystem& files_;
};

} // namespace qb::win32
