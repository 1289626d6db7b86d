#include "backup/backup_file.h"

#include "backup/tool_settings.h"
#include "inventory/command_line.h"
#include "inventory/shortcut_names.h"
#include "inventory/startup_location.h"
#include "inventory/startup_scan.h"
#include "platform/platform_error.h"
#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace qb {

namespace {

// A label as the message quotes it: a hostile file may hold a long one, or one with line breaks.
std::string ShownPlace(std::string_view label) {
    std::string shown = CutAtCharBoundary(label, 80);
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return "\"" + shown + (label.size() > shown.size() ? "...\"" : "\"");
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
    if (NamesReservedDevice(path)) {
        throw PlatformError::ProfileWriteFailed(path); // Windows would "write" it to the device: no backup
    }
    const std::string createTime = FormatCreateTime(services.clock.Now());
    const std::vector<SavedEntry> entries = SavedEntries(inventory, content);
    const auto count = static_cast<std::uint32_t>(entries.size());
    std::vector<ProfileEntry> keys = BackupKeys(entries, createTime);
    const std::vector<ProfileEntry> voided = VoidedWholeTexts(path, services.profiles, keys);
    keys.insert(keys.end(), voided.begin(), voided.end());
    services.profiles.WriteValues(path, keys);

    // The index entry's key and its two values are one write of the registry, never half there.
    const auto hold = services.registry.HoldChanges();
    const auto key = services.registry.OpenForWriting(RegistryRoot::CurrentUser,
                                                      std::string(kBackupIndexKey) + "\\" + createTime, true);
    if (!key) {
        throw PlatformError::SetDataFailed("FilePath");
    }
    key->WriteString("FilePath", path);
    key->WriteInteger("Count", count);
    if (hold) {
        hold->Release();
    }
    return createTime;
}

LoadBackupResult LoadBackup(std::string_view path, Inventory& inventory, PlatformServices services,
                            RatingSource& ratings, IconSink& icons) {
    LoadBackupResult result;
    // A file that is not there is not one of the wrong format: the user is to look for it, not to repair it.
    if (!services.files.FileExists(path)) {
        services.dialogs.ShowMessage(kBackupMissing, MessageKind::Information, MessageButtons::Ok);
        return result;
    }
    const auto saved = ReadBackupEntries(path, services.profiles);
    if (!saved) {
        services.dialogs.ShowMessage(kBackupFormatError, MessageKind::Information, MessageButtons::Ok);
        return result;
    }
    StartupScanner scanner(inventory, services, ratings, icons);
    scanner.LoadInventory();

    // A loaded entry that the backup holds as it is stays untouched; each backup entry accounts for one, the
    // first in list order. The loaded entries are looked up by place, state and the name's first 259 bytes
    // in Windows' upper case, so that a backup of thousands of entries costs no walk of the whole list per
    // entry; names then compare as compare compares them (SameName), so that what compare calls equal is
    // left alone.
    std::vector<bool> kept(inventory.Items.size(), false);
    std::unordered_map<std::string, std::vector<std::size_t>> loadedByName;
    const auto nameKey = [](std::string_view name, std::string_view location, ItemState state) {
        std::string key = UpperCase(CutAtCharBoundary(name, FieldText::kLimit));
        key.append(1, '\n').append(location).append(1, '\n').append(1, static_cast<char>(state));
        return key;
    };
    for (std::size_t k = 0; k < kept.size(); ++k) {
        const StartupItem& loaded = *inventory.Items[k];
        loadedByName[nameKey(loaded.Name.str(), loaded.Location.str(), loaded.LoadedState)].push_back(k);
    }
    // The backup's entries with their whole names and commands. Names that cannot be file names in a
    // startup folder are skipped, and so are entries of no place or of a place no load lists: the load
    // would never show them, and what they replace could not be written back.
    struct Held {
        std::string name, command, location;
        FieldText arguments;
        ItemState state;
        std::string fileName;
    };
    std::vector<Held> held;
    std::vector<std::string> refusedPlaces;
    held.reserve(saved->size());
    for (const SavedEntry& entry : *saved) {
        const StartupLocation* row = FindLocation(entry.location);
        if (row == nullptr || LoadStep(*row) == 0) {
            ++result.refusedPlaces;
            if (std::find(refusedPlaces.begin(), refusedPlaces.end(), entry.location) ==
                refusedPlaces.end()) {
                refusedPlaces.push_back(entry.location);
            }
            continue;
        }
        if (row->kind == LocationKind::Folder && ShortcutFileNameProblem(entry.name)) {
            ++result.skippedUnsafeNames;
            continue;
        }
        // RunOnceEx's "Title", which versions that did not know its sections listed as an entry, is a
        // setting of the key and no command: a restore neither writes it nor takes it away.
        if (PlaceNameProblem(entry.location, entry.name)) {
            continue;
        }
        held.push_back(
            {entry.name, entry.command, entry.location, entry.arguments, entry.state, entry.fileName});
    }
    // The loaded entry, not yet accounted for, of the held entry's name, place, command and arguments in
    // the given state; -1 when there is none.
    const auto findLoaded = [&](const Held& entry, ItemState state) -> int {
        const auto candidates = loadedByName.find(nameKey(entry.name, entry.location, state));
        if (candidates == loadedByName.end()) {
            return -1;
        }
        for (const std::size_t k : candidates->second) {
            const StartupItem& loaded = *inventory.Items[k];
            if (!kept[k] && SameName(WholeNameOf(loaded), entry.name) &&
                SameCommand(WholeCommandOf(loaded), entry.command) &&
                loaded.Arguments == entry.arguments.str()) {
                return static_cast<int>(k);
            }
        }
        return -1;
    };
    std::vector<const Held*> notOnSystem;
    for (const Held& entry : held) {
        if (const int k = findLoaded(entry, entry.state); k >= 0) {
            kept[static_cast<std::size_t>(k)] = true;
        } else {
            notOnSystem.push_back(&entry);
        }
    }
    for (const Held* pending : notOnSystem) {
        const auto& [name, command, location, arguments, state, fileName] = *pending;
        // The same entry in the other state is enabled or disabled where it is: the system's own value or
        // shortcut moves, with its whole text, type, name, description and icon.
        const ItemState other = state == ItemState::Enabled ? ItemState::Disabled : ItemState::Enabled;
        if (const int k = findLoaded(*pending, other); k >= 0) {
            kept[static_cast<std::size_t>(k)] = true;
            inventory.Items[static_cast<std::size_t>(k)]->State = state;
            continue;
        }
        const std::string_view analysed = AnalysedCommand(location, command);
        const std::string target = TargetPath(analysed, services.system, services.files);
        StartupItem item;
        item.Rating = ratings.LookupRating(name, analysed);
        item.State = state;
        item.LoadedState = ItemState::Deleted;
        item.IconIndex = scanner.LoadItemIcon(target);
        item.PathValid = !target.empty();
        SetWholeName(item, name); // written whole: the record's fields hold 259 bytes
        SetWholeCommand(item, command);
        item.Location = location;
        item.Arguments = arguments;
        // A file that was no shortcut comes back only where it still is; the apply says it cannot be made.
        if (!fileName.empty()) {
            item.File = IsShortcutFileName(fileName) ? FolderFile::UnreadableShortcut : FolderFile::Other;
        }
        inventory.Append(std::move(item));
    }
    for (std::size_t k = 0; k < kept.size(); ++k) {
        if (!kept[k]) {
            MarkDeleted(*inventory.Items[k]);
        }
    }
    if (result.skippedUnsafeNames > 0) {
        services.dialogs.ShowMessage(std::to_string(result.skippedUnsafeNames) +
                                         (result.skippedUnsafeNames == 1 ? " entry of the backup was"
                                                                         : " entries of the backup were") +
                                         " not loaded: their names cannot be file names in a startup folder.",
                                     MessageKind::Information, MessageButtons::Ok);
    }
    if (result.refusedPlaces > 0) {
        std::string places;
        for (const std::string& label : refusedPlaces) {
            places += (places.empty() ? "" : ", ") + ShownPlace(label);
        }
        services.dialogs.ShowMessage(
            std::to_string(result.refusedPlaces) +
                (result.refusedPlaces == 1 ? " entry of the backup was" : " entries of the backup were") +
                " not loaded: no list shows their places (" + places + ").",
            MessageKind::Information, MessageButtons::Ok);
    }
    result.loaded = true;
    return result;
}

} // namespace qb
