#pragma once

#include "inventory/startup_item.h"
#include "platform/profile_files.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// What a backup records of each entry of the last load.
enum class BackupContent {
    HeldNow,  // the values the records hold now, pending changes included
    AsLoaded, // the system as it was loaded: states and values before any pending change, an edited entry
              // as its original (New Backup, and the automatic backup before an apply, so that loading it
              // undoes the apply)
};

// One entry as a backup file holds it.
struct SavedEntry {
    std::string name;
    std::string command;
    std::string location;
    std::string arguments; // a shortcut's, apart from its target; empty for a run key's value
    ItemState state = ItemState::Enabled;
    qb::Rating rating = qb::Rating::Unknown;
    int section = -1; // n of the file's "Item n" section, when read from a file
    std::string fileName = {}; // a startup folder's file that is no shortcut; empty for shortcuts and values
};

// The names of a backup file's header section and of its entry count, which a reader checks first.
inline constexpr std::string_view kGeneralSection = "General Info";
inline constexpr std::string_view kEntryCountKey = "Number of Startup Items";

// The section of the entry at `position`: "Item n", n counting from 0.
std::string ItemSection(int position);

// A record of the entry as the backup holds it, not loaded from the system: for showing it as the list
// shows an entry (its command with a shortcut's arguments, ShownCommand).
StartupItem RecordOf(const SavedEntry& entry);

// The entries of the last load (LoadedItems) as a backup records them.
std::vector<SavedEntry> SavedEntries(const Inventory& inventory, BackupContent content);

// A whole backup file's keys: "General Info" with its description, create time and count, then one
// "Item n" section per entry, n counting from 0. A text that the profile reader would change (enclosing
// quotes, surrounding blanks) is written in one more pair of quotes, so it reads back as it was; a
// shortcut's arguments go in a key of their own ("Arguments"), which readers that do not know it pass over.
// "Program Name" and "Command Path" hold 259 bytes on one line, as older versions read them; a name or
// command longer than that or with line breaks is kept whole in one more key ("Whole Program Name",
// "Whole Command Path"), which older readers pass over too. A startup folder's file that is no shortcut
// has its file name in "File Name", so that a restore knows it cannot be made again. Names and commands come
// from the records whole (WholeNameOf, WholeCommandOf).
std::vector<ProfileEntry> BackupKeys(const std::vector<SavedEntry>& entries, std::string_view createTime);

// The entries a backup file holds, in section order, names and commands whole where the file keeps them
// so; nullopt when it has no numeric entry count (no backup). Sections without a name are passed over,
// except a run key's unnamed default value, which is written with an empty name. A label in other letters
// becomes its place's own; one of no place is kept as written. The rating is the file's; a restore rates
// by the database instead.
std::optional<std::vector<SavedEntry>> ReadBackupEntries(std::string_view path, ProfileFiles& profiles);

// Keys that void the whole texts an earlier backup left in the sections `keys` write without one: a file
// written over keeps the keys not written now.
std::vector<ProfileEntry> VoidedWholeTexts(std::string_view path, ProfileFiles& profiles,
                                           const std::vector<ProfileEntry>& keys);

// Whether two commands are the same entry's: a value with empty data loads as " " and reads back from a
// file as ""; a file of an older version holds 259 bytes of a longer command.
bool SameCommand(std::string_view a, std::string_view b);

// Whether two names are the same entry's: equal in any letter case, as Windows compares them, or one the
// 259 bytes a file of an older version kept of the other.
bool SameName(std::string_view a, std::string_view b);

} // namespace qb
