#include "changes/registry_store.h"

#include "changes/apply_engine.h"
#include "changes/apply_reasons.h"
#include "inventory/shell_folders.h"
#include "platform/failure_cause.h"

namespace qb {

namespace {

RegistryValue ValueOf(const std::string& command) {
    // Only expandable strings are expanded when Windows starts a run key's command.
    return HoldsEnvironmentReference(command) ? RegistryValue::ExpandString(command)
                                              : RegistryValue::String(command);
}

bool StillAsLoaded(const StartupItem& item, const std::optional<RegistryValue>& value, std::string* why) {
    // An entry not loaded has nothing to compare with.
    const bool same =
        item.LoadedState == ItemState::Deleted || !item.LoadedValue || value == item.LoadedValue;
    if (!same) {
        *why = kChangedSince;
    }
    return same;
}

} // namespace

std::unique_ptr<RegistryKey> RegistryStore::OpenKey(ItemState state) {
    if (!PlaceExists(row_, services_.system.Version())) {
        SetLastFailure(
            FailureCause::NotFound); // no 32-bit view on this system: nothing lands in the native one
        return nullptr;
    }
    return services_.registry.OpenForWriting(
        row_.hive, state == ItemState::Enabled ? row_.key : DisabledKey(row_), true, row_.view);
}

bool RegistryStore::Occupied(std::string_view systemName) {
    for (const ItemState state : {ItemState::Enabled, ItemState::Disabled}) {
        const auto key = services_.registry.OpenForReading(
            row_.hive, state == ItemState::Enabled ? row_.key : DisabledKey(row_), row_.view);
        if (key && key->ValueExists(systemName)) {
            return true;
        }
    }
    return false;
}

Removal RegistryStore::Remove(const StartupItem& item, ItemState state, std::string_view systemName,
                              TakenCopy* taken, std::string* why) {
    const auto key = OpenKey(state);
    if (!key) {
        *why = FailureText();
        return Removal::Failed;
    }
    const auto value = key->ReadValue(systemName);
    if (!value) {
        return Removal::Absent;
    }
    if (!StillAsLoaded(item, value, why)) {
        return Removal::Failed;
    }
    if (!key->DeleteValue(systemName)) {
        *why = FailureText();
        return Removal::Failed;
    }
    if (taken != nullptr) {
        taken->value = value;
    }
    return Removal::Done;
}

bool RegistryStore::Write(const StartupItem& item, ItemState state, std::string_view systemName,
                          const std::optional<RegistryValue>& realValue, const StartupItem* /*before*/,
                          const TakenCopy* /*replaced*/, std::string* why) {
    // A value of that name in either key (in any letter case) is another entry's, and a copy in the twin
    // beside one in the run key would be taken for a leftover and removed at the next load.
    if (Occupied(systemName)) {
        *why = kNameTaken;
        return false;
    }
    const auto key = OpenKey(state);
    if (!key) {
        *why = FailureText();
        return false;
    }
    // A kept value is written as it was, type and all; a typed-in command gets the type it needs. A failure
    // ends the apply.
    key->WriteValue(systemName, realValue ? *realValue : ValueOf(RunCommandForRecord(item)));
    return true;
}

bool RegistryStore::Move(const StartupItem& item, ItemState to, std::string* why) {
    const ItemState from = to == ItemState::Enabled ? ItemState::Disabled : ItemState::Enabled;
    const std::string name = SystemNameOf(item);
    // One step for other instances: a load that found the value in both keys would take the new copy for
    // a leftover and remove it, and the entry would be gone once the old one is removed.
    const auto hold = services_.registry.HoldChanges();
    const auto source = OpenKey(from);
    if (!source) {
        *why = FailureText();
        return false;
    }
    // The stored value moves, not the record's text: a command over 259 bytes was cut in the record.
    const auto stored = source->ReadValue(name);
    if (!stored || !stored->IsText()) {
        *why = kNotFound;
        return false;
    }
    if (!StillAsLoaded(item, stored, why)) {
        return false;
    }
    const auto target = OpenKey(to);
    if (!target) {
        *why = FailureText();
        return false;
    }
    if (target->ValueExists(name)) {
        *why = kNameTaken; // another entry of that name (in any letter case) came there since the load
        return false;
    }
    // The value keeps its type: its program may rely on expansion, or on a '%' that must stay as written.
    target->WriteValue(name, *stored); // a failure ends the apply; nothing was removed
    if (!source->DeleteValue(name)) {
        *why = FailureText();
        target->DeleteValue(name); // not moved: the copy goes again, so the entry is in one place only
        return false;
    }
    return true;
}

void RegistryStore::PutBack(const StartupItem& original, ItemState state, const TakenCopy& taken) {
    if (!taken.value) {
        return;
    }
    const auto key = OpenKey(state);
    if (key && !key->ValueExists(SystemNameOf(original))) {
        key->WriteValue(SystemNameOf(original), *taken.value);
    }
}

} // namespace qb
