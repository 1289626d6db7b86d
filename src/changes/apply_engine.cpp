#include "changes/apply_engine.h"

#include "backup/backup_index.h"
#include "changes/pending_changes.h"
#include "inventory/shell_folders.h"
#include "inventory/shortcut_names.h"
#include "inventory/startup_scan.h"
#include "platform/platform_error.h"

#include <algorithm>

namespace qb {

namespace {

RegistryValue ValueOf(const StartupItem& item) {
    // Only expandable strings are expanded when Windows starts a run key's command.
    return HoldsEnvironmentReference(item.Command) ? RegistryValue::ExpandString(item.Command)
                                                   : RegistryValue::String(item.Command);
}

} // namespace

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
    return services_.registry.OpenForWriting(row->hive,
                                             state == ItemState::Enabled ? row->key : row->disabledKey, true);
}

std::optional<std::string> ApplyEngine::StartupFile(const StartupLocation& row, std::string_view name) {
    if (ShortcutNameProblem(name)) {
        return std::nullopt;
    }
    const std::string folder = StartupFolderPath(services_.shell, row.label == kAllUsersStartupMenu);
    if (folder.empty()) {
        return std::nullopt; // nothing is made or removed in place of a folder the shell cannot give
    }
    return JoinPath(folder, std::string(name) + ".lnk");
}

std::optional<std::string> ApplyEngine::DisabledFile(const StartupLocation& row, std::string_view name) {
    if (ShortcutNameProblem(name)) {
        return std::nullopt;
    }
    return JoinPath(JoinPath(services_.files.ExecutableDirectory(), row.disabledFolder),
                    std::string(name) + ".lnk");
}

void ApplyEngine::NotChanged(const StartupItem& item) {
    report_.notChanged.push_back(item.Name.str() + " (" + item.Location.str() + ")");
}

bool ApplyEngine::WriteValue(std::string_view label, ItemState state, const StartupItem& item) {
    const auto key = OpenLocationKey(label, state);
    if (!key) {
        return false;
    }
    key->WriteValue(item.Name, ValueOf(item)); // a value that cannot be written ends the apply
    return true;
}

bool ApplyEngine::WriteEntry(const StartupItem& item, ItemState state) {
    const StartupLocation* row = FindLocation(item.Location);
    if (row == nullptr) {
        return false; // a label of no place: nothing is written
    }
    if (row->kind == LocationKind::Registry) {
        return WriteValue(row->label, state, item);
    }
    // A disabled shortcut is made where disabled shortcuts are kept, never in the startup folder first.
    const auto path =
        state == ItemState::Enabled ? StartupFile(*row, item.Name) : DisabledFile(*row, item.Name);
    return path &&
           services_.shell.SaveShortcut(*path, ShortcutFromCommand(item.Command, kShortcutDescription));
}

ApplyEngine::Removal ApplyEngine::RemoveEntry(const StartupItem& item, ItemState state, Removed* removed) {
    const StartupLocation* row = FindLocation(item.Location);
    if (row == nullptr) {
        return Removal::Absent; // a label of no place holds nothing
    }
    if (row->kind == LocationKind::Registry) {
        const auto key = OpenLocationKey(row->label, state);
        if (!key) {
            return Removal::Failed;
        }
        const auto value = key->ReadValue(item.Name);
        if (!value) {
            return Removal::Absent;
        }
        if (removed != nullptr) {
            removed->value = value;
        }
        return key->DeleteValue(item.Name) ? Removal::Done : Removal::Failed;
    }
    const auto path =
        state == ItemState::Enabled ? StartupFile(*row, item.Name) : DisabledFile(*row, item.Name);
    if (!path) {
        return Removal::Failed;
    }
    if (!services_.files.FileExists(*path)) {
        return Removal::Absent;
    }
    if (removed != nullptr) {
        removed->shortcut = services_.files.ReadFile(*path);
        removed->path = *path;
    }
    return services_.files.DeleteFile(*path) ? Removal::Done : Removal::Failed;
}

bool ApplyEngine::MoveToDisabledFolder(const StartupLocation& row, std::string_view name) {
    const auto from = StartupFile(row, name);
    const auto to = DisabledFile(row, name);
    if (!from || !to) {
        return false;
    }
    if (!services_.files.FileExists(*from)) {
        return true; // nothing there to move
    }
    // The shortcut leaves the startup folder only once its copy is safe in the disabled folder.
    if (!CopyFileNoOverwrite(services_.files, *from, *to)) {
        return false;
    }
    services_.files.DeleteFile(*from);
    return true;
}

bool ApplyEngine::HeldAt(const StartupLocation& row, ItemState state, const StartupItem& item) {
    const auto key =
        services_.registry.OpenForReading(row.hive, state == ItemState::Enabled ? row.key : row.disabledKey);
    return key != nullptr && key->ValueExists(item.Name);
}

bool ApplyEngine::Enable(const StartupItem& item) {
    const StartupLocation* row = FindLocation(item.Location);
    if (row == nullptr) {
        return false;
    }
    if (row->kind == LocationKind::Registry) {
        // One step for other instances, for the reason Disable gives.
        const auto hold = services_.registry.HoldChanges();
        if (!item.Edited && !HeldAt(*row, ItemState::Disabled, item)) {
            return false; // not where it was loaded from (a name cut to fit, say): a copy would not move it
        }
        if (!WriteValue(row->label, ItemState::Enabled, item)) {
            return false; // written nowhere new, so removed from nowhere
        }
        if (const auto twin = OpenLocationKey(row->label, ItemState::Disabled)) {
            twin->DeleteValue(item.Name);
        }
        return true;
    }
    const auto kept = DisabledFile(*row, item.Name);
    const auto start = StartupFile(*row, item.Name);
    if (!kept || !start) {
        return false;
    }
    if (services_.files.FileExists(*kept)) {
        // The user's own shortcut comes back, with its arguments, working folder and icon.
        if (!CopyFileNoOverwrite(services_.files, *kept, *start) && !services_.files.FileExists(*start)) {
            return false;
        }
        services_.files.DeleteFile(*kept);
        return true;
    }
    return services_.shell.SaveShortcut(*start, ShortcutFromCommand(item.Command, kShortcutDescription));
}

bool ApplyEngine::Disable(const StartupItem& item) {
    const StartupLocation* row = FindLocation(item.Location);
    if (row == nullptr) {
        return false;
    }
    if (row->kind == LocationKind::Registry) {
        // One step for other instances: a load that found the value in both keys would take the new copy in
        // the twin for a leftover and remove it, and the entry would be gone once the run key's is removed.
        const auto hold = services_.registry.HoldChanges();
        if (!item.Edited && !HeldAt(*row, ItemState::Enabled, item)) {
            return false;
        }
        if (!WriteValue(row->label, ItemState::Disabled, item)) {
            return false;
        }
        if (const auto key = OpenLocationKey(row->label, ItemState::Enabled);
            key && key->ValueExists(item.Name)) {
            key->DeleteValue(item.Name);
        }
        return true;
    }
    return MoveToDisabledFolder(*row, item.Name);
}

void ApplyEngine::PutBack(const Removed& removed) {
    const StartupItem& original = *removed.original;
    try {
        if (removed.value) {
            const auto key = OpenLocationKey(original.Location, removed.state);
            if (key && !key->ValueExists(original.Name)) {
                key->WriteValue(original.Name, *removed.value);
            }
        } else if (removed.shortcut && !services_.files.FileExists(removed.path)) {
            services_.files.WriteFile(removed.path, *removed.shortcut);
        }
    } catch (const PlatformError&) {
        // Already failing: what could not be put back stays reported below.
    }
}

void ApplyEngine::PutBackUnwritten(const std::vector<Removed>& removed,
                                   const std::vector<const StartupItem*>& written) {
    for (std::size_t i = 0; i < removed.size(); ++i) {
        const StartupItem* record =
            i < inventory_.EditedRecords.size() ? inventory_.EditedRecords[i] : nullptr;
        const bool deletedOnPurpose = record != nullptr && record->State == ItemState::Deleted;
        const bool rewritten =
            record != nullptr && std::find(written.begin(), written.end(), record) != written.end();
        if (!deletedOnPurpose && !rewritten && (removed[i].value || removed[i].shortcut)) {
            PutBack(removed[i]);
        }
    }
}

ApplyReport ApplyEngine::Apply(bool backupFirst, bool rememberChoice) {
    report_ = {};
    const std::string toolDirectory = services_.files.ExecutableDirectory();
    services_.files.CreateDirectory(JoinPath(toolDirectory, "ShortCutCurrUser"));
    services_.files.CreateDirectory(JoinPath(toolDirectory, "ShortCutAllUser"));

    if (rememberChoice) {
        const auto key = services_.registry.OpenForWriting(RegistryRoot::CurrentUser, kToolKey, true);
        if (!key) {
            throw PlatformError::SetDataFailed("AutoBackup");
        }
        key->WriteInteger("AutoBackup", backupFirst ? 1 : 0);
    }
    if (backupFirst) {
        report_.autoBackupPath = WriteAutoBackup(inventory_, services_);
    }

    // Phase 1: the old versions of edited entries, from where the system held them. All of them go before
    // any new version is written, so that an entry can come back under its own name.
    std::vector<Removed> removed;
    for (const auto& original : inventory_.EditedOriginals) {
        Removed entry{original.get(), original->LoadedState, std::nullopt, std::nullopt, {}};
        // An entry that was added, not loaded, has no old version on the system: whatever holds its first
        // name there belongs to another entry and stays.
        if (original->LoadedState != ItemState::Deleted &&
            RemoveEntry(*original, original->LoadedState, &entry) == Removal::Failed) {
            NotChanged(*original); // its old version stays where it was
        }
        removed.push_back(std::move(entry));
    }

    // Phase 2: every record, each condition that holds, in this order.
    std::vector<const StartupItem*> written;
    try {
        for (const auto& record : inventory_.Items) {
            const StartupItem& item = *record;
            const bool onSystem = item.LoadedState != ItemState::Deleted;
            const bool kept = item.State != ItemState::Deleted;
            if (!onSystem && kept && !WriteEntry(item, item.State)) {
                NotChanged(item);
            }
            if (onSystem && !kept && RemoveEntry(item, item.LoadedState) == Removal::Failed) {
                NotChanged(item);
            }
            if (item.Edited && kept) {
                if (WriteEntry(item, item.State)) {
                    written.push_back(&item);
                } else if (onSystem) {
                    NotChanged(item);
                }
            }
            if (item.LoadedState == ItemState::Disabled && item.State == ItemState::Enabled &&
                !Enable(item)) {
                NotChanged(item);
            }
            if (item.LoadedState == ItemState::Enabled && item.State == ItemState::Disabled &&
                !Disable(item)) {
                NotChanged(item);
            }
        }
    } catch (const PlatformError&) {
        PutBackUnwritten(removed, written);
        throw;
    }
    PutBackUnwritten(removed, written);
    return report_;
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
    const ApplyReport done = engine.Apply(*backup, rememberChoice);
    if (!done.notChanged.empty()) {
        std::string text = "These entries could not be changed and stay as they were:";
        for (const auto& entry : done.notChanged) {
            text += "\n" + entry;
        }
        services.dialogs.ShowMessage(text, MessageKind::Warning, MessageButtons::Ok);
    }
    if (report != nullptr) {
        *report = done;
    }
    LoadInventory(inventory, services, ratings, icons);
    return ApplyOutcome::Applied;
}

} // namespace qb
