#include "inventory/startup_scan.h"

#include "inventory/command_line.h"
#include "inventory/process_scan.h"
#include "inventory/startup_location.h"
#include "inventory/startup_switch.h"
#include "platform/text.h"

#include <set>

namespace qb {

namespace {

// The value as text, or nullopt when it is not a string value (or missing, when that is asked for).
std::optional<std::string> TextOf(const std::optional<RegistryValue>& value) {
    if (!value || !value->IsText()) {
        return std::nullopt;
    }
    return value->data;
}

// Whether the key holds the value as this very text, and not empty: a twin copy without data is kept.
bool SameText(RegistryKey& key, std::string_view name, std::string_view text) {
    const auto held = TextOf(key.ReadValue(name));
    return held && !held->empty() && *held == text;
}

} // namespace

std::string ShortcutEntryName(std::string_view fileName) {
    std::string name(fileName);
    if (const auto at = name.find(".lnk"); at != std::string::npos) {
        name.erase(at, 4);
    }
    return name;
}

StartupScanner::StartupScanner(Inventory& inventory, PlatformServices services, RatingSource& ratings,
                               IconSink& icons, LoadAccess access)
    : inventory_(inventory), services_(services), ratings_(ratings), icons_(icons), access_(access) {}

void StartupScanner::LoadInventory() {
    inventory_.Clear();
    icons_.Clear();

    const OsVersion version = services_.system.Version();
    switches_ = HasStartupSwitches(version);
    for (const StartupLocation* row : LoadOrder()) {
        if (!PlaceExists(*row, version)) {
            continue;
        }
        if (row->kind == LocationKind::Registry) {
            ScanRegistryLocation(*row);
        } else {
            ScanShortcutFolder(ShellFolder(row->hive, row->shellFolderValue), row->label, true);
            ScanShortcutFolder(JoinPath(services_.files.ExecutableDirectory(), row->disabledFolder),
                               row->label, false);
        }
    }

    ScanProcesses(inventory_.Items, services_.processes, services_.system, services_.files);
    inventory_.MarkLoaded();
}

std::string StartupScanner::ShellFolder(RegistryRoot hive, std::string_view valueName) {
    const auto key = services_.registry.OpenForReading(hive, kShellFoldersKey);
    if (!key) {
        return {};
    }
    return TextOf(key->ReadValue(valueName)).value_or(std::string());
}

void StartupScanner::ScanRegistryLocation(const StartupLocation& row) {
    const std::string_view label = row.label;
    const auto run = services_.registry.OpenForReading(row.hive, row.key, row.view);
    // Full access without creating: a standard user cannot open the machine's twin, which then
    // contributes nothing and loses nothing.
    const auto twin = services_.registry.OpenForWriting(row.hive, row.disabledKey, false, row.view);

    // Upper-cased names of twin copies the run key's entry stands for: a read-only load lists them once.
    std::set<std::string> standIns;
    if (run) {
        for (const std::string& name : run->ValueNames()) {
            const auto value = run->ReadValue(name);
            const auto command = TextOf(value);
            if (!command) {
                continue; // not a string: skipped before its twin is touched
            }
            bool twinCopyRemoved = false;
            if (twin && SameText(*twin, name, *command)) {
                if (access_ == LoadAccess::ReadOnly) {
                    standIns.insert(UpperCase(name));
                } else {
                    // Another instance may be moving this entry between the two keys right now: what the
                    // two reads saw may be its state before and after the move. Decided again as one step.
                    const auto hold = services_.registry.HoldChanges();
                    const auto now = TextOf(run->ReadValue(name));
                    if (!now) {
                        continue; // moved to the twin since: listed from there below
                    }
                    if (SameText(*twin, name, *now)) {
                        twinCopyRemoved = twin->DeleteValue(name);
                    }
                }
            }
            StartupItem& item = AddLoadedItem(name, command->empty() ? " " : *command, label, true);
            item.TwinCopyRemoved = twinCopyRemoved;
            item.LoadedValue = value;
            ReadSwitch(item, row);
        }
    }
    if (twin) {
        for (const std::string& name : twin->ValueNames()) {
            const auto value = twin->ReadValue(name);
            const auto command = TextOf(value);
            if (!command || standIns.contains(UpperCase(name))) {
                continue;
            }
            AddLoadedItem(name, command->empty() ? " " : *command, label, false).LoadedValue = value;
        }
    }
}

void StartupScanner::ScanShortcutFolder(std::string_view folder, std::string_view label, bool enabled) {
    if (folder.empty()) {
        return;
    }
    for (const FileEntry& entry : services_.files.FindFiles(folder, "*.*")) {
        if (entry.isDirectory || IsTemporaryFileName(entry.name)) {
            continue; // a write in progress, or one a killed process left: never an entry
        }
        const std::string path = JoinPath(folder, entry.name);
        const auto stamp = services_.files.Stamp(path);
        const auto link = services_.shell.LoadShortcut(path);
        if (!link) {
            continue; // a desktop.ini, a document: not a link
        }
        StartupItem& item =
            AddLoadedItem(ShortcutEntryName(entry.name), link->target, label, enabled, link->arguments);
        item.SystemName = entry.name;
        item.LoadedStamp = stamp;
        if (enabled) {
            if (const StartupLocation* row = FindLocation(label)) {
                ReadSwitch(item, *row);
            }
        }
    }
}

void StartupScanner::ReadSwitch(StartupItem& item, const StartupLocation& row) {
    if (!switches_ || row.approvedKey.empty()) {
        return;
    }
    const auto key = services_.registry.OpenForReading(row.hive, SwitchKeyPath(row)); // native view always
    if (!key) {
        return;
    }
    if (const auto at = SwitchedOffAt(key->ReadValue(item.SystemName))) {
        item.State = ItemState::Disabled;
        item.LoadedState = ItemState::Disabled;
        item.SwitchedOff = true;
        item.SwitchedOffAt = *at;
    }
}

StartupItem& StartupScanner::AddLoadedItem(std::string_view name, std::string_view command,
                                           std::string_view label, bool enabled, std::string_view arguments) {
    const std::string target = TargetPath(command, services_.system, services_.files);
    StartupItem item;
    item.IconIndex = LoadItemIcon(target);
    item.State = enabled ? ItemState::Enabled : ItemState::Disabled;
    item.LoadedState = item.State;
    item.PathValid = !target.empty();
    item.Rating = ratings_.LookupRating(name, command);
    SetWholeName(item, name); // a record holds 259 bytes; a backup and a restore need the rest
    SetWholeCommand(item, command);
    item.Location = label;
    item.Arguments = arguments;
    item.SystemName = name;
    return inventory_.Append(std::move(item));
}

std::int32_t StartupScanner::LoadItemIcon(std::string_view targetPath) {
    if (auto icon = services_.shell.ExtractIcon(targetPath)) {
        return icons_.Add(*icon);
    }
    if (!standardIcon_) {
        standardIcon_ = services_.shell.StandardApplicationIcon();
    }
    return icons_.Add(*standardIcon_);
}

void LoadInventory(Inventory& inventory, PlatformServices services, RatingSource& ratings, IconSink& icons,
                   LoadAccess access) {
    StartupScanner(inventory, services, ratings, icons, access).LoadInventory();
}

} // namespace qb
