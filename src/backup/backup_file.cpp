#include "backup/backup_file.h"

#include "inventory/command_line.h"
#include "inventory/shortcut_names.h"
#include "inventory/startup_location.h"
#include "inventory/startup_scan.h"
#include "platform/platform_error.h"

#include <cstdio>

namespace qb {

namespace {

bool IsFolderRow(std::string_view label) {
    const StartupLocation* row = FindLocation(label);
    return row != nullptr && row->kind == LocationKind::Folder;
}

} // namespace

std::string FormatCreateTime(const LocalTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

std::string WriteBackup(std::string_view path, const Inventory& inventory, PlatformServices services,
                        BackupContent content) {
    const std::string createTime = FormatCreateTime(services.clock.Now());
    const std::vector<SavedEntry> entries = SavedEntries(inventory, content);
    const auto count = static_cast<std::uint32_t>(entries.size());
    services.profiles.WriteValues(path, BackupKeys(entries, createTime));

    const auto key = services.registry.OpenForWriting(RegistryRoot::CurrentUser,
                                                      std::string(kBackupIndexKey) + "\\" + createTime, true);
    if (!key) {
        throw PlatformError::SetDataFailed("FilePath");
    }
    key->WriteString("FilePath", path);
    key->WriteInteger("Count", count);
    return createTime;
}

LoadBackupResult LoadBackup(std::string_view path, Inventory& inventory, PlatformServices services,
                            RatingSource& ratings, IconSink& icons) {
    LoadBackupResult result;
    const auto saved = ReadBackupEntries(path, services.profiles);
    if (!saved) {
        services.dialogs.ShowMessage(kBackupFormatError, MessageKind::Information, MessageButtons::Ok);
        return result;
    }
    StartupScanner scanner(inventory, services, ratings, icons);
    scanner.LoadInventory();

    // A loaded entry that the backup holds as it is stays untouched; each backup entry accounts for one.
    std::vector<bool> kept(inventory.Items.size(), false);
    for (const SavedEntry& entry : *saved) {
        const FieldText name = entry.name;
        const FieldText command = entry.command;
        const FieldText location = entry.location;
        const FieldText arguments = entry.arguments;
        if (IsFolderRow(location) && ShortcutNameProblem(name)) {
            ++result.skippedUnsafeNames;
            continue;
        }
        bool onSystem = false;
        for (std::size_t k = 0; k < kept.size() && !onSystem; ++k) {
            const StartupItem& loaded = *inventory.Items[k];
            if (!kept[k] && loaded.LoadedState == entry.state && loaded.Name == name.str() &&
                loaded.Location == location.str() && SameCommand(loaded.Command, command) &&
                loaded.Arguments == arguments.str()) {
                kept[k] = true;
                onSystem = true;
            }
        }
        if (onSystem) {
            continue;
        }
        const std::string target = TargetPath(command, services.system, services.files);
        StartupItem item;
        item.Rating = ratings.LookupRating(name, command);
        item.State = entry.state;
        item.LoadedState = ItemState::Deleted;
        item.IconIndex = scanner.LoadItemIcon(target);
        item.PathValid = !target.empty();
        item.Name = name;
        item.Command = command;
        item.Location = location;
        item.Arguments = arguments;
        inventory.Append(std::move(item));
    }
    for (std::size_t k = 0; k < kept.size(); ++k) {
        if (!kept[k]) {
            inventory.Items[k]->State = ItemState::Deleted;
        }
    }
    if (result.skippedUnsafeNames > 0) {
        services.dialogs.ShowMessage(std::to_string(result.skippedUnsafeNames) +
                                         (result.skippedUnsafeNames == 1 ? " entry of the backup was"
                                                                         : " entries of the backup were") +
                                         " not loaded: their names cannot be file names in a startup folder.",
                                     MessageKind::Information, MessageButtons::Ok);
    }
    result.loaded = true;
    return result;
}

} // namespace qb
