#include "changes/apply_engine.h"

#include "backup/backup_index.h"
#include "changes/apply_reasons.h"
#include "changes/apply_transaction.h"
#include "changes/backup_choice.h"
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

// Where a loaded entry is on the system: an entry Windows switched off is still in its place.
ItemState PlaceState(const StartupItem& item) {
    return item.SwitchedOff ? ItemState::Enabled : item.LoadedState;
}

// The name an entry gets where it is written new: its whole name, which a restore may hold longer than a
// record's field.
std::string NewSystemName(const StartupItem& item) {
    return HoldsFiles(item.Location) ? WholeNameOf(item) + ".lnk" : WholeNameOf(item);
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

Removal ApplyEngine::RemoveEntry(const StartupItem& item, ItemState state, std::string_view systemName,
                                 Removed* saved, std::string* why) {
    const auto store = OpenPlaceStore(item.Location, services_);
    if (!store) {
        return Removal::Absent; // a label of no place holds nothing
    }
    return store->Remove(item, state, systemName, saved, why);
}

bool ApplyEngine::WriteEntry(const StartupItem& item, ItemState state, std::string_view systemName,
                             const std::optional<RegistryValue>& realValue, std::string* why,
                             const Removed* replaced) {
    const auto store = OpenPlaceStore(item.Location, services_);
    if (!store) {
        *why = kNoSuchPlace;
        return false;
    }
    return store->Write(item, state, systemName, realValue,
                        replaced != nullptr ? replaced->original : nullptr, replaced, why);
}

bool ApplyEngine::Move(const StartupItem& item, ItemState to, std::string* why) {
    const auto store = OpenPlaceStore(item.Location, services_);
    if (!store) {
        *why = kNoSuchPlace;
        return false;
    }
    return store->Move(item, to, why);
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
        *why = FailureText();
        return false;
    }
    // The entry itself may have moved already: a switch that cannot follow is told, and the apply goes on.
    try {
        key->WriteValue(name, SwitchedOn(*value));
    } catch (const PlatformError&) {
        *why = FailureText();
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
        NotChanged(item, std::string(done) + ", but Windows' own switch of that name stays: " + FailureText(),
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
        if (const auto store = OpenPlaceStore(original.Location, services_)) {
            store->PutBack(original, PlaceState(original), removed);
        }
    } catch (const PlatformError&) {
        // Already failing: the entry is reported as not changed.
    }
}

ApplyReport ApplyEngine::Apply(bool backupFirst, bool rememberChoice) {
    report_ = {};
    for (const StartupLocation& row : StartupLocations()) {
        OpenPlaceStore(row.label, services_)->Prepare();
    }
    // One apply of this user at a time; what a cut-off one left is put right first.
    ApplyTransaction transaction(services_);

    if (rememberChoice) {
        RememberAutoBackupChoice(services_.registry, backupFirst);
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
