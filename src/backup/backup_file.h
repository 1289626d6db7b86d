#pragma once

#include "backup/saved_entry.h"
#include "inventory/icon_sink.h"
#include "inventory/rating_source.h"
#include "inventory/startup_item.h"
#include "platform/clock.h"
#include "platform/platform_services.h"

#include <string>
#include <string_view>

namespace qb {

inline constexpr std::string_view kBackupFormatError = "The format of the backup file is not correct!";
inline constexpr std::string_view kBackupMissing = "Backup file not exist.";

// "yyyy-mm-dd hh:nn:ss", the backup's "Create Time" and the name of its index entry.
std::string FormatCreateTime(const LocalTime& time);

// Writes the entries of the last load (LoadedItems) into the backup file and records it in the backup
// index under its create time. An existing file is not emptied first: keys are replaced and other sections
// stay. A text that the profile reader would change (enclosing quotes, surrounding blanks) is written in
// one more pair of quotes, so it reads back as it was; a shortcut's arguments go in a key of their own
// ("Arguments", written only when there are some), which readers that do not know it pass over. Throws
// "Unable to write to %s" when the file cannot be written; the index entry is then not written. Returns
// the create time.
std::string WriteBackup(std::string_view path, const Inventory& inventory, PlatformServices services,
                        BackupContent content = BackupContent::HeldNow);

struct LoadBackupResult {
    bool loaded = false;        // false: the file was no backup, nothing changed
    int skippedUnsafeNames = 0; // startup-folder entries whose names cannot be file names
    int refusedPlaces = 0;      // entries of no place, or of a place no load lists
};

// Turns a backup file into pending changes: reloads the system, then every loaded entry that the backup
// holds as it is (same name in any letter case, place, command, arguments and state, as compare finds
// them) is left alone, every other loaded entry is marked Deleted, and the backup's remaining entries are
// appended as additions with their whole names and commands (rated by the database, not by the file). So
// restoring onto an unchanged system changes nothing. A registry row's entry with an empty name is the
// key's unnamed default value and is restored as such. A file without a numeric entry count changes
// nothing and says so. Entries of a startup folder whose name would put their file outside the folder,
// and entries of no place or of a place no load lists, are skipped before anything is marked, and the
// user is told how many. The caller refreshes the list.
LoadBackupResult LoadBackup(std::string_view path, Inventory& inventory, PlatformServices services,
                            RatingSource& ratings, IconSink& icons);

} // namespace qb
