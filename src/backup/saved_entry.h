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
    HeldNow,  // the values the records hold now, pending changes included (New Backup)
    AsLoaded, // the system as it was loaded: states and values before any pending change, an edited entry
              // as its original (the automatic backup before an apply, so that loading it undoes the apply)
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
};

// The entries of the last load (LoadedItems) as a backup records them.
std::vector<SavedEntry> SavedEntries(const Inventory& inventory, BackupContent content);

// A whole backup file's keys: "General Info" with its description, create time and count, then one
// "Item n" section per entry, n counting from 0. A text that the profile reader would change (enclosing
// quotes, surrounding blanks) is written in one more pair of quotes, so it reads back as it was; a
// shortcut's arguments go in a key of their own ("Arguments"), which readers that do not know it pass over.
std::vector<ProfileEntry> BackupKeys(const std::vector<SavedEntry>& entries, std::string_view createTime);

// The entries a backup file holds, in section order; nullopt when it has no numeric entry count (no
// backup). Sections without a name are passed over, except a run key's unnamed default value, which is
// written with an empty name. The rating is the file's; a restore rates by the database instead.
std::optional<std::vector<SavedEntry>> ReadBackupEntries(std::string_view path, ProfileFiles& profiles);

// Whether two commands are the same entry's: a value with empty data loads as " " and reads back from a
// file as "".
bool SameCommand(std::string_view a, std::string_view b);

} // namespace qb
