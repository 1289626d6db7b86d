#include "changes/apply_engine.h"

#include "backup/backup_index.h"
#include "changes/apply_transaction.h"
#include "changes/pending_changes.h"
#include "inventory/row_texts.h"
#include "inventory/shell_folders.h"
#include "inventory/shortcut_names.h"
#include "inventory/startup_scan.h"
#include "inventory/startup_switch.h"
#include "platform/failure_cause.h"
#include "platform/platform_error.h"
#include "platform/text.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace qb {

namespace {

RegistryValue ValueOf(const std::string& command) {
    // Only expandable strings are expanded when Windows starts a run key's command.
    return HoldsEnvironmentReference(command) ? RegistryValue::ExpandString(command)
                                              : RegistryValue::String(command);
}

// Why an operation failed, as the platform said.
std::string Cause() {
    return std::string(DescribeFailure(LastFailure()));
}

constexpr std::string_view kNoSuchPlace = "no such place";
constexpr std::string_view kNotFound = "not found where it was loaded from";
constexpr std::string_view kNameTaken = "an entry of that name is already there";
constexpr std::string_view kNameCannotBeAFile = "the name cannot be a file name in a startup folder";
constexpr std::string_view kNoStartupFolder = "the system names no startup folder";
constexpr std::string_view kChangedSince = "changed by another program since it was loaded";
constexpr std::string_view kNotMadeAgain = "it is a file, not a shortcut, and cannot be made again once gone";

std::string_view WithoutLinkEnding(std::string_view fileName) {
    if (fileName.size() >= 4 && EqualsIgnoreCase(fileName.substr(fileName.size() - 4), ".lnk")) {
        fileName.remove_suffix(4);
    }
    return fileName;
}

bool IsFolderEntry(const StartupItem& item) {
    const StartupLocation* row = FindLocation(item.Location);
    return row != nullptr && row->kind == LocationKind::Folder;
}

// The name a loaded entry has on the system: its value's name or its file's.
std::string SystemNameOf(const StartupItem& item) {
    if (!item.SystemName.empty()) {
        return item.SystemName;
    }
    return IsFolderEntry(item) ? item.Name.str() + ".lnk" : item.Name.str();
}

// Where a loaded entry is on the system: an entry Windows switched off is still in its place.
ItemState PlaceState(const StartupItem& item) {
    return item.SwitchedOff ? ItemState::Enabled : item.LoadedState;
}

// The name an entry gets where it is written new: its whole name, which a restore may hold longer than a
// record's field.
std::string NewSystemName(const StartupItem& item) {
    return IsFolderEntry(item) ? WholeNameOf(item) + ".lnk" : WholeNameOf(item);
}

} // namespace

std::string DescribeNotChanged(const NotChangedEntry& entry) {
    return ShownName(entry.name) + " (" + entry.location + "): " + entry.reason;
}

std::string NotChangedMessage(const std::vector<NotChangedEntry>& entries) {
    std::string refused;
    std::string partly;
    for (const auto& entry : entries) {
        (entry.partly ? partly : refused) += "\n" + DescribeNotChanged(entry);
    }
    std::string text;
    if (!refused.empty()) {
        text = "These entries could not be changed and stay as they were:" + refused;
    }
    if (!partly.empty()) {
        text += (text.empty() ? "" : "\n\n") + std::string("These entries were changed, but not wholly:") +
                partly;
    }
    return text;
}

bool HoldsEnvironmentReference(std::string_view command) {
    const auto open = command.find('%');
    if (open == std::string_view::npos) {
        return false;
    }
    const auto close = command.find('%', open + 1);
    return close != std::string_view::npos && close > open + 1;
}

ApplyEngine::ApplyEngine(Inventory& inventory, PlatformServices services)
    : inventory_(inventory), services_(services) {}

std::unique_ptr<RegistryKey> ApplyEngine::OpenLocationKey(std::string_view label, ItemState state) {
    const StartupLocation* row = FindLocation(label);
    if (row == nullptr || row->kind != LocationKind::Registry) {
        return nullptr;
    }
    if (!PlaceExists(*row, services_.system.Version())) {
        SetLastFailure(
            FailureCause::NotFound); // no 32-bit view on this system: nothing lands in the native one
        return nullptr;
    }
    return services_.registry.OpenForWriting(
        row->hive, state == ItemState::Enabled ? row->key : row->disabledKey, true, row->view);
}

std::optional<std::string> ApplyEngine::FilePath(const StartupLocation& row, ItemState state,
                                                 std::string_view fileName, std::string* why) {
    // The file's own name or one the editor took: only what would leave the folder is refused here.
    if (auto problem = ShortcutFileNameProblem(WithoutLinkEnding(fileName))) {
        *why = kNameCannotBeAFile;
        return std::nullopt;
    }
    if (state != ItemState::Enabled) {
        return JoinPath(JoinPath(services_.files.ExecutableDirectory(), row.disabledFolder), fileName);
    }
    const std::string folder = StartupFolderPath(services_.shell, row.label == kAllUsersStartupMenu);
    if (folder.empty()) {
        *why = kNoStartupFolder; // nothing is made or removed in place of a folder the shell cannot give
        return std::nullopt;
    }
    return JoinPath(folder, fileName);
}

bool ApplyEngine::Occupied(const StartupLocation& row, std::string_view systemName) {
    for (const ItemState state : {ItemState::Enabled, ItemState::Disabled}) {
        if (row.kind == LocationKind::Registry) {
            const auto key = services_.registry.OpenForReading(
                row.hive, state == ItemState::Enabled ? row.key : row.disabledKey, row.view);
            if (key && key->ValueExists(systemName)) {
                return true;
            }
        } else {
            std::string why;
            const auto path = FilePath(row, state, systemName, &why);
            if (path && services_.files.FileExists(*path)) {
                return true;
            }
        }
    }
    return false;
}

void ApplyEngine::NotChanged(const StartupItem& shown, std::string reason, const StartupItem* record) {
    if (record == nullptr) {
        record = &shown;
    }
    int position = -1;
    for (std::size_t i = 0; i < inventory_.Items.size(); ++i) {
        if (inventory_.Items[i].get() == record) {
            position = static_cast<int>(i);
            break;
        }
    }
    report_.notChanged.push_back({shown.Name.str(), shown.Location.str(), std::move(reason), position});
}

void ApplyEngine::ChangedInPart(const StartupItem& item, std::string reason) {
    NotChanged(item, std::move(reason));
    report_.notChanged.back().partly = true;
}

bool ApplyEngine::StillAsLoaded(const StartupItem& item, const std::optional<RegistryValue>& value,
                                const std::optional<std::string>& path, std::string* why) {
    if (item.LoadedState == ItemState::Deleted) {
        return true; // not loaded: nothing to compare with
    }
    const bool same = path ? !item.LoadedStamp || services_.files.Stamp(*path) == item.LoadedStamp
                           : !item.LoadedValue || value == item.LoadedValue;
    if (!same) {
        *why = kChangedSince;
    }
    return same;
}

ApplyEngine::Removal ApplyEngine::RemoveEntry(const StartupItem& item, ItemState state,
                                              std::string_view systemName, Removed* saved, std::string* why) {
    const StartupLocation* row = FindLocation(item.Location);
    if (row == nullptr) {
        return Removal::Absent; // a label of no place holds nothing
    }
    if (row->kind == LocationKind::Registry) {
        const auto key = OpenLocationKey(row->label, state);
        if (!key) {
            *why = Cause();
            return Removal::Failed;
        }
        const auto value = key->ReadValue(systemName);
        if (!value) {
            return Removal::Absent;
        }
        if (!StillAsLoaded(item, value, std::nullopt, why)) {
            return Removal::Failed;
        }
        if (!key->DeleteValue(systemName)) {
            *why = Cause();
            return Removal::Failed;
        }
        if (saved != nullptr) {
            saved->value = value;
        }
        return Removal::Done;
    }
    const auto path = FilePath(*row, state, systemName, why);
    if (!path) {
        return Removal::Failed;
    }
    if (!services_.files.FileExists(*path)) {
        return Removal::Absent;
    }
    if (!StillAsLoaded(item, std::nullopt, path, why)) {
        return Removal::Failed;
    }
    const auto bytes = services_.files.ReadFile(*path);
    auto link = services_.shell.LoadShortcut(*path).link;
    if (!services_.files.DeleteFile(*path)) {
        *why = Cause();
        return Removal::Failed;
    }
    if (saved != nullptr) {
        saved->shortcut = bytes;
        saved->link = std::move(link);
        saved->path = *path;
    }
    return Removal::Done;
}

bool ApplyEngine::WriteEntry(const StartupItem& item, ItemState state, std::string_view systemName,
                             const std::optional<RegistryValue>& realValue, std::string* why,
                             const Removed* replaced) {
    const StartupLocation* row = FindLocation(item.Location);
    if (row == nullptr) {
        *why = kNoSuchPlace;
        return false;
    }
    if (row->kind == LocationKind::Folder) {
        if (item.File != FolderFile::Shortcut) {
            // Only a shortcut can be made from a record; a file taken away for it is put back.
            *why = kNotMadeAgain;
            return false;
        }
        // A disabled shortcut is made where disabled shortcuts are kept, never in the startup folder first.
        const auto path = FilePath(*row, state, systemName, why);
        if (!path) {
            return false;
        }
        if (Occupied(*row, systemName)) {
            *why = kNameTaken;
            return false;
        }
        bool saved = false;
        if (replaced != nullptr && replaced->shortcut && replaced->link) {
            // The file moves as a file: its description, working folder, icon, hot key and show state stay.
            const StartupItem& before = *replaced->original;
            if (before.Command == item.Command && before.Arguments == item.Arguments) {
                saved = services_.files.WriteFile(*path, *replaced->shortcut);
            } else {
                ShortcutInfo link = *replaced->link;
                const ShortcutInfo fresh = ShortcutForRecord(item);
                link.target = fresh.target;
                link.arguments = fresh.arguments;
                saved = services_.shell.SaveShortcut(*path, link);
            }
        } else {
            saved = services_.shell.SaveShortcut(*path, ShortcutForRecord(item));
        }
        if (!saved) {
            *why = Cause();
            return false;
        }
        return true;
    }
    // Registry: a value of that name in either key (in any letter case) is another entry's, and a copy in
    // the twin beside one in the run key would be taken for a leftover and removed at the next load.
    if (Occupied(*row, systemName)) {
        *why = kNameTaken;
        return false;
    }
    const auto key = OpenLocationKey(row->label, state);
    if (!key) {
        *why = Cause();
        return false;
    }
    // A kept value is written as it was, type and all; a typed-in command gets the type it needs. A failure
    // ends the apply.
    key->WriteValue(systemName, realValue ? *realValue : ValueOf(RunCommandForRecord(item)));
    return true;
}

bool ApplyEngine::MoveValue(const StartupLocation& row, const StartupItem& item, ItemState to,
                            std::string* why) {
    const ItemState from = to == ItemState::Enabled ? ItemState::Disabled : ItemState::Enabled;
    const std::string name = SystemNameOf(item);
    // One step for other instances: a load that found the value in both keys would take the new copy for
    // a leftover and remove it, and the entry would be gone once the old one is removed.
    const auto hold = services_.registry.HoldChanges();
    const auto source = OpenLocationKey(row.label, from);
    if (!source) {
        *why = Cause();
        return false;
    }
    // The stored value moves, not the record's text: a command over 259 bytes was cut in the record.
    const auto stored = source->ReadValue(name);
    if (!stored || !stored->IsText()) {
        *why = kNotFound;
        return false;
    }
    if (!StillAsLoaded(item, stored, std::nullopt, why)) {
        return false;
    }
    const auto target = OpenLocationKey(row.label, to);
    if (!target) {
        *why = Cause();
        return false;
    }
    if (target->ValueExists(name)) {
        *why = kNameTaken; // another entry of that name (in any letter case) came there since the load
        return false;
    }
    // The value keeps its type: its program may rely on expansion, or on a '%' that must stay as written.
    target->WriteValue(name, *stored); // a failure ends the apply; nothing was removed
    if (!source->DeleteValue(name)) {
        *why = Cause();
        target->DeleteValue(name); // not moved: the copy goes again, so the entry is in one place only
        return false;
    }
    return true;
}

bool ApplyEngine::MoveShortcut(const StartupLocation& row, const StartupItem& item, ItemState to,
                               std::string* why) {
    const ItemState from = to == ItemState::Enabled ? ItemState::Disabled : ItemState::Enabled;
    const std::string name = SystemNameOf(item);
    const auto source = FilePath(row, from, name, why);
    const auto target = source ? FilePath(row, to, name, why) : std::nullopt;
    if (!source || !target) {
        return false;
    }
    if (services_.files.FileExists(*target)) {
        *why = kNameTaken;
        return false;
    }
    if (!services_.files.FileExists(*source)) {
        if (to == ItemState::Enabled && item.File != FolderFile::Shortcut) {
            *why = kNotMadeAgain;
            return false;
        }
        if (to == ItemState::Enabled) {
            // The kept file is gone: the entry comes back as a new shortcut made from what it was.
            if (!services_.shell.SaveShortcut(*target, ShortcutForRecord(item))) {
                *why = Cause();
                return false;
            }
            return true;
        }
        *why = kNotFound;
        return false;
    }
    if (!StillAsLoaded(item, std::nullopt, source, why)) {
        return false;
    }
    // The user's own file moves, with its arguments, working folder and icon; it leaves its place only once
    // its copy is safe in the other.
    if (!CopyFileNoOverwrite(services_.files, *source, *target)) {
        *why = Cause();
        return false;
    }
    if (!services_.files.DeleteFile(*source)) {
        *why = Cause();
        services_.files.DeleteFile(*target); // not moved: one place only
        return false;
    }
    return true;
}

bool ApplyEngine::Move(const StartupItem& item, ItemState to, std::string* why) {
    const StartupLocation* row = FindLocation(item.Location);
    if (row == nullptr) {
        *why = kNoSuchPlace;
        return false;
    }
    return row->kind == LocationKind::Registry ? MoveValue(*row, item, to, why)
                                               : MoveShortcut(*row, item, to, why);
}

bool ApplyEngine::SwitchOn(const StartupItem& item, std::string* why) {
    const StartupLocation* row = FindLocation(item.Location);
    if (row == nullptr || row->approvedKey.empty() || !HasStartupSwitches(services_.system.Version())) {
        return true;
    }
    const std::string name = SystemNameOf(item);
    const auto reader = services_.registry.OpenForReading(row->hive, SwitchKeyPath(*row));
    const auto value = reader ? reader->ReadValue(name) : std::nullopt;
    if (!SwitchedOffAt(value)) {
        return true; // on already
    }
    const auto key = services_.registry.OpenForWriting(row->hive, SwitchKeyPath(*row), false);
    if (!key) {
        *why = Cause();
        return false;
    }
    // The entry itself may have moved already: a switch that cannot follow is told, and the apply goes on.
    try {
        key->WriteValue(name, SwitchedOn(*value));
    } catch (const PlatformError&) {
        *why = Cause();
        return false;
    }
    return true;
}

void ApplyEngine::RemoveSwitch(const StartupItem& item, std::string_view done, const StartupItem* record) {
    const StartupLocation* row = FindLocation(item.Location);
    if (row == nullptr || row->approvedKey.empty() || !HasStartupSwitches(services_.system.Version())) {
        return;
    }
    const std::string name = SystemNameOf(item);
    const auto reader = services_.registry.OpenForReading(row->hive, SwitchKeyPath(*row));
    if (!reader || !reader->ValueExists(name)) {
        return;
    }
    if (const auto key = services_.registry.OpenForWriting(row->hive, SwitchKeyPath(*row), false);
        !key || !key->DeleteValue(name)) {
        NotChanged(item, std::string(done) + ", but Windows' own switch of that name stays: " + Cause(),
                   record);
        report_.notChanged.back().partly = true;
    }
}

namespace {
std::string PlaceAndName(const StartupItem& item) {
    return item.Location.str() + '\n' + UpperCase(item.Name); // a label holds no line break
}
} // namespace

void ApplyEngine::IndexAddedEntries() {
    addedByName_.clear();
    for (const auto& record : inventory_.Items) {
        if (record->LoadedState == ItemState::Deleted && record->State != ItemState::Deleted) {
            addedByName_.try_emplace(PlaceAndName(*record), record.get());
        }
    }
}

const StartupItem* ApplyEngine::AddedInPlaceOf(const StartupItem& deleted) const {
    const auto found = addedByName_.find(PlaceAndName(deleted));
    return found == addedByName_.end() ? nullptr : found->second;
}

void ApplyEngine::PutBack(const Removed& removed) {
    const StartupItem& original = *removed.original;
    try {
        if (removed.value) {
            const auto key = OpenLocationKey(original.Location, PlaceState(original));
            if (key && !key->ValueExists(SystemNameOf(original))) {
                key->WriteValue(SystemNameOf(original), *removed.value);
            }
        } else if (removed.shortcut && !services_.files.FileExists(removed.path)) {
            services_.files.WriteFile(removed.path, *removed.shortcut);
        }
    } catch (const PlatformError&) {
        // Already failing: the entry is reported as not changed.
    }
}

ApplyReport ApplyEngine::Apply(bool backupFirst, bool rememberChoice) {
    report_ = {};
    const std::string toolDirectory = services_.files.ExecutableDirectory();
    for (const StartupLocation& row : StartupLocations()) {
        if (row.kind == LocationKind::Folder) {
            services_.files.CreateDirectory(JoinPath(toolDirectory, row.disabledFolder));
        }
    }
    // One apply of this user at a time; what a cut-off one left is put right first.
    ApplyTransaction transaction(services_);

    if (rememberChoice) {
        const auto key = services_.registry.OpenForWriting(RegistryRoot::CurrentUser, kToolKey, true);
        if (!key) {
            throw PlatformError::SetDataFailed("AutoBackup");
        }
        key->WriteInteger("AutoBackup", backupFirst ? 1 : 0);
    }
    // Written and indexed before the first change, so that a killed apply leaves it findable.
    if (backupFirst) {
        report_.autoBackupPath = WriteAutoBackup(inventory_, services_);
    }

    transaction.Begin();
    ApplyEngine steps(inventory_, transaction.Services());
    try {
        steps.ApplySteps();
        transaction.Commit();
    } catch (const PlatformError&) {
        transaction.RollBack(); // every change goes back; the marks stay for the next try
        throw;
    }
    report_.notChanged = std::move(steps.report_.notChanged);
    return report_;
}

void ApplyEngine::ApplySteps() {
    // Removals before any write. First the old versions of edited entries, from where the system held
    // them, so that an entry can come back under its own name; then the deleted entries, so that the
    // names they free can be taken by an added, edited or moved entry. Whatever is removed to make room for
    // a new version is put back when that version is not written.
    std::vector<Removed> removed;
    std::unordered_map<const StartupItem*, std::size_t> originalOf;
    for (std::size_t i = 0; i < inventory_.EditedOriginals.size(); ++i) {
        const StartupItem& original = *inventory_.EditedOriginals[i];
        Removed entry;
        entry.original = &original;
        entry.replacement = i < inventory_.EditedRecords.size() ? inventory_.EditedRecords[i] : nullptr;
        // An entry that was added, not loaded, has no old version on the system: whatever holds its first
        // name there belongs to another entry and stays.
        if (original.LoadedState != ItemState::Deleted) {
            std::string why;
            const Removal result =
                RemoveEntry(original, PlaceState(original), SystemNameOf(original), &entry, &why);
            entry.done = result == Removal::Done;
            entry.failed = result == Removal::Failed;
            if (entry.failed) {
                NotChanged(original, why, entry.replacement); // its old version stays; no second copy
            }
        }
        if (entry.replacement != nullptr) {
            originalOf[entry.replacement] = removed.size();
        }
        removed.push_back(std::move(entry));
    }
    IndexAddedEntries();
    for (const auto& record : inventory_.Items) {
        const StartupItem& item = *record;
        if (item.LoadedState == ItemState::Deleted || item.State != ItemState::Deleted || item.Edited) {
            continue; // an edited entry's removal was its old version's, above
        }
        Removed entry;
        entry.original = &item;
        entry.replacement = AddedInPlaceOf(item); // a restore's new version of the same entry
        if (entry.replacement != nullptr) {
            originalOf.try_emplace(entry.replacement, removed.size());
        }
        std::string why;
        switch (RemoveEntry(item, PlaceState(item), SystemNameOf(item), &entry, &why)) {
        case Removal::Done:
            entry.done = true;
            break;
        case Removal::Absent:
            NotChanged(item, std::string(kNotFound));
            break;
        case Removal::Failed:
            NotChanged(item, why);
            break;
        }
        removed.push_back(std::move(entry));
    }

    // The writes: every record, in list order.
    std::unordered_set<const StartupItem*> written;
    const auto putBackUnwritten = [&] {
        for (Removed& entry : removed) {
            const StartupItem* replacement = entry.replacement;
            const bool replaced = replacement == nullptr || replacement->State == ItemState::Deleted ||
                                  written.contains(replacement);
            if (entry.done && !replaced) {
                PutBack(entry);
                entry.putBack = true;
            }
        }
    };
    // A deleted entry takes its switch along, so that a program installed again under that name does not
    // inherit a stale "off".
    const auto removeSwitchesOfDeleted = [&] {
        for (const Removed& entry : removed) {
            if (entry.done && !entry.putBack && entry.original->State == ItemState::Deleted) {
                RemoveSwitch(*entry.original);
            }
        }
    };
    // What an entry's write takes the place of: an edited entry's old version, or the system's entry a
    // restore replaces; nullptr when nothing was removed for it.
    const auto replacedBy = [&](const StartupItem& item) -> const Removed* {
        const auto at = originalOf.find(&item);
        return at == originalOf.end() ? nullptr : &removed[at->second];
    };
    for (const auto& record : inventory_.Items) {
        const StartupItem& item = *record;
        if (item.State == ItemState::Deleted) {
            continue;
        }
        std::string why;
        if (item.LoadedState == ItemState::Deleted) {
            // Added (and perhaps edited since): made new under its name, from the file it replaces when a
            // restore gives back another version of a shortcut that is there.
            const Removed* replaced = replacedBy(item);
            if (WriteEntry(item, item.State, NewSystemName(item), std::nullopt, &why,
                           replaced != nullptr && replaced->done ? replaced : nullptr)) {
                written.insert(&item);
            } else {
                NotChanged(item, why);
            }
            continue;
        }
        if (item.Edited) {
            const Removed* old = replacedBy(item);
            if (old != nullptr && old->failed) {
                continue; // reported with its old version, which stays
            }
            const StartupItem* original = old != nullptr ? old->original : nullptr;
            // Kept name and kept command are written as the system had them, not as the record holds
            // them: a name or command over 259 bytes was cut in the record.
            const bool sameName =
                original != nullptr && original->Name == item.Name && original->Location == item.Location;
            std::optional<RegistryValue> realValue;
            if (original != nullptr && original->Command == item.Command && old->value &&
                old->value->IsText()) {
                realValue = old->value;
            }
            if (WriteEntry(item, item.State, sameName ? SystemNameOf(*original) : NewSystemName(item),
                           realValue, &why, old != nullptr && old->done ? old : nullptr)) {
                written.insert(&item);
                if (!sameName && old != nullptr && old->done) {
                    // A switch left under the old name would switch off whatever comes back under it.
                    RemoveSwitch(*original, "renamed or moved", &item);
                }
            } else {
                NotChanged(item, why);
            }
            continue;
        }
        if (item.State == item.LoadedState) {
            continue;
        }
        if (item.SwitchedOff) {
            // Windows' switch is off and the entry is in its place: switched on there, nothing moves.
            if (item.State == ItemState::Enabled && !SwitchOn(item, &why)) {
                NotChanged(item, why);
            }
        } else if (!Move(item, item.State, &why)) {
            NotChanged(item, why);
        } else if (item.State == ItemState::Enabled && !SwitchOn(item, &why)) {
            // Back in its place, but a stale "off" of that name would keep it from starting.
            ChangedInPart(item, "enabled, but Windows' own switch stays off: " + why);
        }
    }
    putBackUnwritten();
    removeSwitchesOfDeleted();
}

ApplyOutcome ApplyChanges(Inventory& inventory, PlatformServices services, ApplyConfirmation& confirmation,
                          RatingSource& ratings, IconSink& icons, bool rememberChoice, ApplyReport* report) {
    if (!HasPendingChanges(inventory)) {
        services.dialogs.ShowMessage(kNothingPendingMessage, MessageKind::Information, MessageButtons::Ok);
        return ApplyOutcome::NothingPending;
    }
    const auto backup = confirmation.ConfirmWithBackupChoice(inventory);
    if (!backup) {
        return ApplyOutcome::Cancelled;
    }
    ApplyEngine engine(inventory, services);
    ApplyReport done;
    try {
        done = engine.Apply(*backup, rememberChoice);
    } catch (const PlatformError&) {
        if (report != nullptr) {
            *report = engine.Report(); // the entries refused before the error, and the automatic backup
        }
        throw;
    }
    if (!done.notChanged.empty()) {
        services.dialogs.ShowMessage(NotChangedMessage(done.notChanged), MessageKind::Warning,
                                     MessageButtons::Ok);
    }
    if (report != nullptr) {
        *report = done;
    }
    LoadInventory(inventory, services, ratings, icons);
    return ApplyOutcome::Applied;
}

} // namespace qb
