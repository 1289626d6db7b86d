#pragma once

#include "inventory/icon_sink.h"
#include "inventory/rating_source.h"
#include "inventory/startup_item.h"
#include "inventory/startup_location.h"
#include "platform/platform_services.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// The places the entry editor offers, in the order of its pick list (from the location table).
inline const std::vector<std::string_view> kEditorLocations = EditorLocations();

inline constexpr std::string_view kEnterNameMessage = "Please enter a program name.";
inline constexpr std::string_view kNoProgramMessage = "The command names no program.";
inline constexpr std::string_view kCommandTooLongMessage =
    "The command is longer than the 259 bytes an entry holds, and would be cut. Shorten it, or leave the "
    "command as it was.";
inline constexpr std::string_view kDuplicateMessage =
    "You are adding a duplicate of an existing startup item.";
inline constexpr std::string_view kOnlyShortcutsEditedMessage =
    "Only a shortcut can be edited: this entry is a file that Windows opens as it is, or a shortcut it "
    "cannot read.";
inline constexpr std::string_view kFindFilter =
    "Program files (*.exe;*.com;*.bat)|*.EXE;*.COM;*.BAT|All files(*.*)|*.*";

// The name the editor shows for a new entry until the user gives one.
inline constexpr std::string_view kNewEntryName = "New Program";

// What Find... puts in the command box for the file chosen: its path, in quotes when it holds a blank, so
// that Windows does not take the part after the blank for arguments.
std::string FoundCommand(std::string_view path);

// The name Find... proposes for an entry that has none yet: the chosen file's name without its extension
// ("C:\Tools\Disk Watch.exe" gives "Disk Watch").
std::string FoundName(std::string_view path);

// Leading and trailing blanks and control characters go.
std::string TrimEditorText(std::string_view text);

// What the editor takes from a box: the text it showed, as it was, when the user left it alone (an entry's
// own name may end in a blank, its command begin with one, and an edit changes only what it is asked to);
// else what was typed, trimmed.
std::string EditorText(std::string_view shown, std::string_view typed);

// The name a text of the editor or the command line stands for at a place. At a registry place the unnamed
// value's caption, "(Default)", names the unnamed value, unless an entry there has that very name: a value
// can be called so, and a script may be unable to pass an empty argument. Any other text names itself.
std::string NameOfText(const Inventory& inventory, std::string_view text, std::string_view location);

// Why an entry cannot be edited at all, or nullopt: a file of a startup folder that is no shortcut (or one
// Windows cannot read) has no target or arguments to change; it can be disabled, enabled or deleted.
std::optional<std::string> EditRefusal(const StartupItem& item);

// Why the editor's texts cannot be taken, or nullopt. The name is taken as NameOfText reads it. The refusal
// above for the record under edit first. An empty name or command (both with the program-name message), a
// command of quotes and blanks only (it names no program), a command longer than a record holds unless it is
// the one the record under edit shows, a name that an entry not deleted already has at that location (in any
// letter case, as Windows compares names; the record under edit does not count), and a name that cannot be a
// file name when the place is a startup folder. The record under edit keeps its own name at its own place as
// the system has it; only a name the editor makes up is held to the rules for new file names.
std::optional<std::string> EditorInputProblem(const Inventory& inventory, std::string_view nameText,
                                              std::string_view command, std::string_view location,
                                              int editIndex);

// The record the editor changes for a row: the first not deleted with the row's name and location; -1 none.
int FindRecordForEdit(const Inventory& inventory, std::string_view caption, std::string_view location);

// A new entry, enabled and not on the system, at the end of Items.
StartupItem& AddEntry(Inventory& inventory, std::string_view name, std::string_view command,
                      std::string_view location, PlatformServices services, RatingSource& ratings,
                      IconSink& icons);

// Changes the record at the position; its first edit since the load keeps a copy of it as it was. The name
// is taken as NameOfText reads it. Texts equal to the record's are no change: false, and the record stays
// unmarked.
bool EditEntry(Inventory& inventory, int index, std::string_view nameText, std::string_view command,
               std::string_view location, PlatformServices services, RatingSource& ratings, IconSink& icons);

} // namespace qb
