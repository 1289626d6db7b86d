#pragma once

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system_info.h"

#include <array>
#include <string>
#include <string_view>

namespace qb {

// Programs that run something else: a command naming one of them is its own target. Tested in this
// order; all but the last end in one blank, so "RUNDLL32 " matches the third but not the first, and a bare
// "REGEDIT" with nothing after it matches none.
inline constexpr std::array<std::string_view, 15> kHostProgramList = {
    "RUNDLL ",         "RUNDLL.EXE ",   "RUNDLL32 ",    "RUNDLL32.EXE ", "WINUP2DATE ",
    "WINUP2DATE.EXE ", "REGEDIT ",      "REGEDIT.EXE ", "REGSVR ",       "REGSVR.EXE ",
    "REGSVR32 ",       "REGSVR32.EXE ", "WSCRIPT ",     "WSCRIPT.EXE ",  "HTTP:"};

// The extensions that end a program's path, in the order they are looked for.
inline constexpr std::array<std::string_view, 12> kExtensionList = {
    ".EXE", ".COM", ".VBS", ".PIF", ".BAT", ".SCR", ".DLL", ".HTA", ".TMP", ".HTM", ".WRH", ".VBE"};

// What the list writes in front of a command whose target was not found.
inline constexpr std::string_view kInvalidPathMarker = "[Invalid Path]";

// The 1-based position of the dot of the target's extension in an upper-cased command, or 0. The list
// order decides, not the place in the text: first every extension followed by a blank, then every one
// followed by a double quote, then every one that ends the text (first occurrence only).
int FindExtension(std::string_view upperCommand);

// The upper-cased full path of the file a command starts, checked on disk: the whole command for host
// programs and web addresses, "" when the file is not there. The command's %NAME% references are
// expanded first, as Windows expands them when it starts the command, so "%windir%\notepad.exe" finds
// the Windows directory's notepad; a reference to a variable that is not set stays and finds nothing.
// A bare name is looked for in the system and the Windows directory. The first double quote opens the path
// even when it belongs to an argument; callers rely on the empty result that gives.
std::string TargetPath(std::string_view command, SystemInfo& system, FileSystem& files);

// Whether what a command starts is there as a file or a folder, whatever its ending: Windows opens a
// document, a script or a folder as readily as a program. The whole command is taken for a path (a
// shortcut's target has no arguments), then its program part; only full paths count, and %NAME% references
// are expanded first.
bool TargetExists(std::string_view command, SystemInfo& system, FileSystem& files);

// The file Windows starts for a command, in the command's own spelling, or "" when it finds none. %NAME%
// references are expanded and forward slashes read as backslashes. A quoted program is the quoted text; an
// unquoted one is tried at each blank in turn, shortest first, then whole, as Windows splits such a line. A
// name without an extension is tried with each extension of the PATHEXT variable; a bare name is looked for
// in the system and the Windows directory, then the folders of PATH, then under the App Paths key that
// programs register their bare names in (HKEY_LOCAL_MACHINE, the name with ".exe" if it has no extension).
std::string FindProgram(std::string_view command, SystemInfo& system, FileSystem& files, Registry& registry);

// Whether a command's target is there: TargetPath finds it, TargetExists, or FindProgram. What a list
// marks as an invalid path is a command none of them finds.
bool TargetFound(std::string_view command, SystemInfo& system, FileSystem& files, Registry& registry);

// The upper-cased file name of the target without touching the disk: the whole command for host programs
// and web addresses, "" for an empty command, and the first word when no extension is found.
std::string TargetFileName(std::string_view command);

// A command split into the program it starts (in the command's own spelling, without quotes) and the
// rest of the line, the way a shortcut holds them.
struct ProgramAndArguments {
    std::string program;
    std::string arguments;
};
ProgramAndArguments SplitProgramAndArguments(std::string_view command);

} // namespace qb
