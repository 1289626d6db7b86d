#pragma once

#include "inventory/startup_item.h"
#include "platform/platform_services.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// One backup the tool wrote, as its index entry records it (the file itself is not opened).
struct BackupIndexRow {
    std::string time;                   // the subkey name, the backup's create time
    std::string filePath;               // "" when missing
    std::optional<std::uint32_t> count; // nullopt when missing or not an integer
};

// Every index entry, in the order the registry lists them.
std::vector<BackupIndexRow> ReadBackupIndex(Registry& registry);

// Removes one backup: its file (whether that works is not checked) and its index entry.
void DeleteBackup(const BackupIndexRow& row, PlatformServices services);

// Removes every file the index names and the whole index. The counter of automatic backups stays.
void DeleteAllBackups(PlatformServices services);

// The automatic backup before an apply: "backup\Auto-<n>.qbk" in the tool's folder, n taken from the
// counter "Idx" (1 when missing), which then grows by one. It records the system as loaded, not the pending
// changes, so that loading it undoes the apply it precedes. Returns the file's path.
std::string WriteAutoBackup(const Inventory& inventory, PlatformServices services);

// The name New Backup writes to: unchanged when it holds ".qbk" (letter case matters), else with ".qbk".
std::string BackupFileName(std::string chosen);

// Opens a backup in the text editor: "notepad.exe " and the path, as it stands.
void ViewBackupFile(std::string_view path, PlatformServices services);

inline constexpr std::string_view kBackupFilter = "Quillbrook Backup Files (*.qbk)|*.QBK";
inline constexpr std::string_view kDeleteAllQuestion = "You have sure to delete all backup files?";
// The question before one backup is deleted, naming its file.
std::string DeleteBackupQuestion(std::string_view filePath);

} // namespace qb
