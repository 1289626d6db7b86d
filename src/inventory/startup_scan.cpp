#include "inventory/startup_scan.h"

#include "inventory/command_line.h"
#include "inventory/process_scan.h"
#include "inventory/run_once_sections.h"
#include "inventory/shell_folders.h"
#include "inventory/startup_location.h"
#include "inventory/startup_switch.h"
#include "platform/load_scope.h"
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

bool EndsWithIgnoreCase(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() && EqualsIgnoreCase(text.substr(text.size() - ending.size()), ending);
}

// The sections of a key that keeps them, in the order Windows runs them.
std::vector<std::string> SectionsOf(RegistryKey& key) {
    std::vector<std::string> sections = key.SubkeyNames();
    std::erase_if(sections, [](const std::string& name) { return !IsSection(name); });
    SortAsRun(sections);
    return sections;
}

// What a startup folder holds that Windows does not open at logon: subfolders, the folder's own view
// settings, protected system files (hidden and system both; Explorer does not enumerate them), and the
// temporary files of a write in progress (or one a killed process left).
bool SkippedAtLogon(const FileEntry& entry) {
    return entry.isDirectory || entry.protectedSystemFile || EqualsIgnoreCase(entry.name, "desktop.ini") ||
           IsTemporaryFileName(entry.name);
}

} // namespace

bool IsShortcutFileName(std::string_view fileName) {
    return EndsWithIgnoreCase(fileName, ".lnk");
}

std::string StartupFileEntryName(std::string_view fileName) {
    if (IsShortcutFileName(fileName)) {
        return ShortcutEntryName(fileName);
    }
    // Explorer never shows these endings, whatever the user's setting for other types.
    for (const std::string_view ending : {".url", ".pif"}) {
        if (EndsWithIgnoreCase(fileName, ending) && fileName.size() > ending.size()) {
            return std::string(fileName.substr(0, fileName.size() - ending.size()));
        }
    }
    return std::string(fileName);
}

std::string ShortcutEntryName(std::string_view fileName) {
    if (EndsWithIgnoreCase(fileName, ".lnk")) {
        fileName.remove_suffix(4);
    }
    return std::string(fileName);
}

std::string StoredShortcutName(std::string_view name) {
    // Older versions took out the first ".lnk" in small letters only: a name that still ends in the
    // extension in other letters kept it, and what remains is the name a load gives now. One ending in
    // ".lnk" itself came from a file with two endings, and stays.
    if (EndsWithIgnoreCase(name, ".lnk") && !name.ends_with(".lnk")) {
        name.remove_suffix(4);
    }
    return std::string(name);
}

StartupScanner::StartupScanner(Inventory& inventory, PlatformServices services, RatingSource& ratings,
                               IconSink& icons, LoadAccess access)
    : inventory_(inventory), services_(services), ratings_(ratings), icons_(icons), access_(access) {}

void StartupScanner::LoadInventory() {
    // Every file the load reads is checked for changes once in it, not at every read.
    const LoadScope scope;
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
            // The folder the shell gives, as Windows opens it at logon and as changes write to it.
            const std::string folder =
                StartupFolderPath(services_.shell, row->hive == RegistryRoot::LocalMachine);
            ScanStartupFolder(folder, row->label, true, folder);
            ScanStartupFolder(JoinPath(services_.files.ExecutableDirectory(), row->disabledFolder),
                              row->label, false, folder);
        }
    }

    ScanProcesses(inventory_.Items, services_.processes, services_.system, services_.files);
    inventory_.MarkLoaded();
}

void StartupScanner::ScanRegistryLocation(const StartupLocation& row) {
    const auto run = services_.registry.OpenForReading(row.hive, row.key, row.view);
    // Full access without creating: a standard user cannot open the machine's twin, which then
    // contributes nothing and loses nothing.
    const auto twin = services_.registry.OpenForWriting(row.hive, DisabledKey(row), false, row.view);

    // Upper-cased names of twin copies the run key's entry stands for: a read-only load lists them once.
    std::set<std::string> standIns;
    ScanEnabledValues(row, run.get(), twin.get(), {}, standIns);
    if (row.sections && run) {
        for (const std::string& section : SectionsOf(*run)) {
            const auto runSection =
                services_.registry.OpenForReading(row.hive, std::string(row.key) + "\\" + section, row.view);
            const auto twinSection = services_.registry.OpenForWriting(
                row.hive, DisabledKey(row) + "\\" + section, false, row.view);
            ScanEnabledValues(row, runSection.get(), twinSection.get(), section, standIns);
        }
    }
    ScanDisabledValues(row, twin.get(), {}, standIns);
    if (row.sections && twin) {
        for (const std::string& section : SectionsOf(*twin)) {
            const auto twinSection =
                services_.registry.OpenForReading(row.hive, DisabledKey(row) + "\\" + section, row.view);
            ScanDisabledValues(row, twinSection.get(), section, standIns);
        }
    }
}

std::vector<std::string> StartupScanner::ValuesListed(const StartupLocation& row, RegistryKey& key,
                                                      const std::optional<std::string>& section) {
    std::vector<std::string> names = key.ValueNames();
    if (section) {
        // A section's unnamed value is its title; its commands run in the order of their names.
        std::erase(names, std::string());
        SortAsRun(names);
    } else if (row.sections) {
        std::erase_if(names, [](const std::string& name) {
            return IsSectionsKeySetting(name) || name.find('\\') != std::string::npos;
        });
    }
    return names;
}

void StartupScanner::ScanEnabledValues(const StartupLocation& row, RegistryKey* run, RegistryKey* twin,
                                       const std::optional<std::string>& section,
                                       std::set<std::string>& standIns) {
    if (run == nullptr) {
        return;
    }
    for (const std::string& name : ValuesListed(row, *run, section)) {
        const auto value = run->ReadValue(name);
        const auto command = TextOf(value);
        if (!command) {
            continue; // not a string: skipped before its twin is touched
        }
        const std::string entryName = section ? SectionEntryName(*section, name) : name;
        bool twinCopyRemoved = false;
        if (twin != nullptr && SameText(*twin, name, *command)) {
            if (access_ == LoadAccess::ReadOnly) {
                standIns.insert(UpperCase(entryName));
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
        StartupItem& item = AddLoadedItem(entryName, command->empty() ? " " : *command, row.label, true);
        item.TwinCopyRemoved = twinCopyRemoved;
        item.LoadedValue = value;
        ReadSwitch(item, row);
    }
}

void StartupScanner::ScanDisabledValues(const StartupLocation& row, RegistryKey* twin,
                                        const std::optional<std::string>& section,
                                        const std::set<std::string>& standIns) {
    if (twin == nullptr) {
        return;
    }
    for (const std::string& name : ValuesListed(row, *twin, section)) {
        const std::string entryName = section ? SectionEntryName(*section, name) : name;
        const auto value = twin->ReadValue(name);
        const auto command = TextOf(value);
        if (!command || standIns.contains(UpperCase(entryName))) {
            continue;
        }
        AddLoadedItem(entryName, command->empty() ? " " : *command, row.label, false).LoadedValue = value;
    }
}

void StartupScanner::ScanStartupFolder(std::string_view folder, std::string_view label, bool enabled,
                                       std::string_view startupFolder) {
    if (folder.empty()) {
        return;
    }
    for (const FileEntry& entry : services_.files.FindFiles(folder, "*.*")) {
        if (SkippedAtLogon(entry)) {
            continue;
        }
        const std::string path = JoinPath(folder, entry.name);
        const auto stamp = services_.files.Stamp(path);
        // A file that is not followed to a target is named by where Windows opens it, disabled or not, so
        // that moving it aside and back is no change of its command.
        const std::string opened = startupFolder.empty() ? path : JoinPath(startupFolder, entry.name);
        StartupItem& item = AddFolderItem(path, opened, entry.name, label, enabled);
        item.SystemName = entry.name;
        item.LoadedStamp = stamp;
        if (enabled) {
            if (const StartupLocation* row = FindLocation(label)) {
                ReadSwitch(item, *row);
            }
        }
    }
}

StartupItem& StartupScanner::AddFolderItem(const std::string& path, const std::string& opened,
                                           std::string_view fileName, std::string_view label, bool enabled) {
    if (IsShortcutFileName(fileName)) {
        const ShortcutLoad link = services_.shell.LoadShortcut(path);
        if (link) {
            return AddLoadedItem(ShortcutEntryName(fileName), link->target, label, enabled, link->arguments);
        }
        // Listed with its own path, so that it can be seen, moved aside or deleted like any other file.
        StartupItem& item = AddLoadedItem(ShortcutEntryName(fileName), opened, label, enabled);
        item.File = FolderFile::UnreadableShortcut;
        item.FileProblem = link.problem;
        item.PathValid = false;
        return item;
    }
    std::string command = opened;
    if (EndsWithIgnoreCase(fileName, ".url")) {
        // An Internet shortcut opens its address; one without an address opens as a file all the same.
        const std::string address = services_.profiles.ReadString(path, "InternetShortcut", "URL", "");
        if (!address.empty()) {
            command = address;
        }
    }
    StartupItem& item = AddLoadedItem(StartupFileEntryName(fileName), command, label, enabled);
    item.File = FolderFile::Other;
    item.PathValid = true; // the file is there, and Windows opens it as it is
    return item;
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
    // What a section's command runs is looked for, not the form RunOnceEx keeps it in.
    const std::string_view analysed = AnalysedCommand(label, command);
    const std::string target = TargetPath(analysed, services_.system, services_.files);
    StartupItem item;
    item.IconIndex = LoadItemIcon(target);
    item.State = enabled ? ItemState::Enabled : ItemState::Disabled;
    item.LoadedState = item.State;
    item.PathValid =
        !target.empty() || TargetFound(analysed, services_.system, services_.files, services_.registry);
    item.Rating = ratings_.LookupRating(name, analysed);
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
