#include "changes/registry_store.h"

#include "changes/apply_engine.h"
#include "changes/apply_reasons.h"
#include "inventory/run_once_sections.h"
#include "inventory/shell_folders.h"
#include "platform/failure_cause.h"
#include "platform/text.h"

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
    return Open(Locate(state, {}), true);
}

std::string RegistryStore::KeyOf(ItemState state) const {
    return state == ItemState::Enabled ? std::string(row_.key) : DisabledKey(row_);
}

RegistryStore::ValueAt RegistryStore::Locate(ItemState state, std::string_view systemName) const {
    std::string key = KeyOf(state);
    if (row_.sections) {
        if (auto split = SplitSectionEntryName(systemName)) {
            return {key + "\\" + split->section, std::move(split->value), std::move(split->section)};
        }
    }
    return {std::move(key), std::string(systemName), {}};
}

std::unique_ptr<RegistryKey> RegistryStore::Open(const ValueAt& at, bool create) {
    if (!PlaceExists(row_, services_.system.Version())) {
        SetLastFailure(
            FailureCause::NotFound); // no 32-bit view on this system: nothing lands in the native one
        return nullptr;
    }
    return services_.registry.OpenForWriting(row_.hive, at.key, create, row_.view);
}

void RegistryStore::GiveTitle(RegistryKey& section, const ValueAt& at, ItemState state,
                              const std::optional<RegistryValue>& title) {
    if (at.section.empty() || section.ValueExists("")) {
        return;
    }
    std::optional<RegistryValue> given = title;
    if (!given) {
        const ItemState other = state == ItemState::Enabled ? ItemState::Disabled : ItemState::Enabled;
        const auto twin =
            services_.registry.OpenForReading(row_.hive, KeyOf(other) + "\\" + at.section, row_.view);
        given = twin ? twin->ReadValue("") : std::nullopt;
    }
    if (given && given->IsText()) {
        section.WriteValue("", *given);
    }
}

void RegistryStore::RemoveIfSpent(std::unique_ptr<RegistryKey> section, const ValueAt& at,
                                  std::optional<RegistryValue>* title) {
    if (at.section.empty() || !section || !section->SubkeyNames().empty()) {
        return;
    }
    const auto names = section->ValueNames();
    if (names.size() > 1 || (names.size() == 1 && !names.front().empty())) {
        return;
    }
    if (names.size() == 1) {
        // The title goes as a value, so that an apply rolled back gives it back with its section.
        const auto held = section->ReadValue("");
        if (!section->DeleteValue("")) {
            return;
        }
        if (title != nullptr) {
            *title = held;
        }
    }
    section.reset();
    // Empty now; should that fail, an empty section runs nothing and is left.
    services_.registry.DeleteKey(row_.hive, at.key, row_.view);
}

bool RegistryStore::Occupied(std::string_view systemName) {
    for (const ItemState state : {ItemState::Enabled, ItemState::Disabled}) {
        const ValueAt at = Locate(state, systemName);
        const auto key = services_.registry.OpenForReading(row_.hive, at.key, row_.view);
        if (key && key->ValueExists(at.value)) {
            return true;
        }
    }
    return false;
}

Removal RegistryStore::Remove(const StartupItem& item, ItemState state, std::string_view systemName,
                              TakenCopy* taken, std::string* why) {
    const ValueAt at = Locate(state, systemName);
    // A run key is made where it is missing, as it always was; a section that is gone holds nothing.
    auto key = Open(at, at.section.empty());
    if (!key) {
        if (!at.section.empty() && LastFailure() == FailureCause::NotFound) {
            return Removal::Absent;
        }
        *why = FailureText();
        return Removal::Failed;
    }
    const auto value = key->ReadValue(at.value);
    if (!value) {
        return Removal::Absent;
    }
    if (!StillAsLoaded(item, value, why)) {
        return Removal::Failed;
    }
    if (!key->DeleteValue(at.value)) {
        *why = FailureText();
        return Removal::Failed;
    }
    if (taken != nullptr) {
        taken->value = value;
    }
    RemoveIfSpent(std::move(key), at, taken != nullptr ? &taken->sectionTitle : nullptr);
    return Removal::Done;
}

bool RegistryStore::Write(const StartupItem& item, ItemState state, std::string_view systemName,
                          const std::optional<RegistryValue>& realValue, const StartupItem* before,
                          const TakenCopy* replaced, std::string* why) {
    // A value of that name in either key (in any letter case) is another entry's, and a copy in the twin
    // beside one in the run key would be taken for a leftover and removed at the next load.
    if (Occupied(systemName)) {
        *why = kNameTaken;
        return false;
    }
    const ValueAt at = Locate(state, systemName);
    const auto key = Open(at, true);
    if (!key) {
        *why = FailureText();
        return false;
    }
    // A kept value is written as it was, type and all; a typed-in command gets the type it needs. A failure
    // ends the apply.
    key->WriteValue(at.value, realValue ? *realValue : ValueOf(RunCommandForRecord(item)));
    // The section's own title comes back with the entry that replaces its last command.
    std::optional<RegistryValue> title;
    if (replaced != nullptr && before != nullptr) {
        const ValueAt was = Locate(state, SystemNameOf(*before));
        if (EqualsIgnoreCase(was.section, at.section)) {
            title = replaced->sectionTitle;
        }
    }
    GiveTitle(*key, at, state, title);
    return true;
}

bool RegistryStore::Move(const StartupItem& item, ItemState to, std::string* why) {
    const ItemState from = to == ItemState::Enabled ? ItemState::Disabled : ItemState::Enabled;
    const ValueAt source = Locate(from, SystemNameOf(item));
    const ValueAt target = Locate(to, SystemNameOf(item));
    // One step for other instances: a load that found the value in both keys would take the new copy for
    // a leftover and remove it, and the entry would be gone once the old one is removed.
    const auto hold = services_.registry.HoldChanges();
    auto sourceKey = Open(source, source.section.empty());
    if (!sourceKey) {
        *why = !source.section.empty() && LastFailure() == FailureCause::NotFound ? std::string(kNotFound)
                                                                                  : FailureText();
        return false;
    }
    // The stored value moves, not the record's text: a command over 259 bytes was cut in the record.
    const auto stored = sourceKey->ReadValue(source.value);
    if (!stored || !stored->IsText()) {
        *why = kNotFound;
        return false;
    }
    if (!StillAsLoaded(item, stored, why)) {
        return false;
    }
    auto targetKey = Open(target, true);
    if (!targetKey) {
        *why = FailureText();
        return false;
    }
    if (targetKey->ValueExists(target.value)) {
        *why = kNameTaken; // another entry of that name (in any letter case) came there since the load
        return false;
    }
    // The value keeps its type: its program may rely on expansion, or on a '%' that must stay as written.
    targetKey->WriteValue(target.value, *stored); // a failure ends the apply; nothing was removed
    // The section's title goes along, so that the section shows it on either side.
    GiveTitle(*targetKey, target, to, std::nullopt);
    if (!sourceKey->DeleteValue(source.value)) {
        *why = FailureText();
        // Not moved: the copy goes again, so the entry is in one place only.
        targetKey->DeleteValue(target.value);
        RemoveIfSpent(std::move(targetKey), target, nullptr);
        return false;
    }
    RemoveIfSpent(std::move(sourceKey), source, nullptr);
    return true;
}

void RegistryStore::PutBack(const StartupItem& original, ItemState state, const TakenCopy& taken) {
    if (!taken.value) {
        return;
    }
    const ValueAt at = Locate(state, SystemNameOf(original));
    const auto key = Open(at, true);
    if (key && !key->ValueExists(at.value)) {
        key->WriteValue(at.value, *taken.value);
        GiveTitle(*key, at, state, taken.sectionTitle);
    }
}

} // namespace qb
