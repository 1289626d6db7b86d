#pragma once

#include "inventory/startup_item.h"
#include "platform/file_system.h"
#include "platform/shell.h"

#include <string>
#include <string_view>

namespace qb {

inline constexpr std::string_view kShortcutDescription = "Shortcut created by Quillbrook";

// The all-users or current user's startup folder as the shell names it, without a trailing backslash;
// "" when the shell cannot give it.
std::string StartupFolderPath(Shell& shell, bool allUsers);

// Writes "<name>.lnk" into the chosen startup folder, replacing a file of that name, shown normally.
// The link starts the command's program with the rest of the command as its arguments: a shell link
// whose path holds a whole command line starts nothing. Nothing is written anywhere when the folder
// cannot be determined. Returns whether the shortcut was saved.
bool CreateStartupShortcut(Shell& shell, std::string_view command, std::string_view name,
                           std::string_view description, bool allUsers);

// The shortcut a command becomes: its program as the path, the rest of the line as arguments, shown
// normally (SW_SHOW).
ShortcutInfo ShortcutFromCommand(std::string_view command, std::string_view description);

// The shortcut to save for an entry: the command's program as the path, the rest of the command as the
// arguments, or, when the command carries none, the arguments the entry keeps apart (a shortcut loaded or
// restored with them); described as made by this tool and shown normally.
ShortcutInfo ShortcutForRecord(const StartupItem& item);

// The command line a run key holds for an entry: its command, and the arguments it keeps apart (a shortcut
// moved to a run key) after it, the program quoted where it holds a blank.
std::string RunCommandForRecord(const StartupItem& item);

// Copies a file unless the destination exists; false when nothing was copied.
bool CopyFileNoOverwrite(FileSystem& files, std::string_view source, std::string_view destination);

} // namespace qb
