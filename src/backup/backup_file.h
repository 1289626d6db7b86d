#pragma once

#include "inventory/icon_sink.h"
#include "inventory/rating_source.h"
#include "inventory/startup_item.h"
#include "platform/clock.h"
#include "platform/platform_services.h"

#include <string>
#include <string_view>

namespace qb {

inline constexpr std::string_view kBackupIndexKey = "SOFTWARE\\Quillbrook\\BackupIndex";
inline constexpr std::string_view kBackupFormatError = "The format of the backup file is not correct!";

// "yyyy-mm-dd hh:nn:ss", the backup's "Create Time" and the name of its index entry.
std::string FormatCreateTime(const LocalTime& time);

// Writes the entries of the last load (LoadedItems), with the values they hold now, into the backup file
// and records it in the backup index under its create time. An existing file is not emptied first: keys
// are replaced and other sections stay. Throws "Unable to write to %s" when the file cannot be written;
// the index entry is then not written. Returns the create time.
std::string WriteBackup(std::string_view path, const Inventory& inventory, PlatformServices services);

struct LoadBackupResult {
    bool loaded = false;        // false: the file was no backup, nothing changed
    int skippedUnsafeNames = 0; // startup-folder entries whose names cannot be file names
};

// Turns a backup file into pending changes: reloads the system, marks every loaded entry Deleted and
// appends the backup's entries as additions (rated by the database, not by the file). A file without a
// numeric entry count changes nothing and says so. Entries of a startup folder whose name would put
// their file outside the folder are skipped, and the user is told how many. The caller refreshes the list.
LoadBackupResult LoadBackup(std::string_view path, Inventory& inventory, PlatformServices services,
                            RatingSource& ratings, IconSink& icons);

} // namespace qb
