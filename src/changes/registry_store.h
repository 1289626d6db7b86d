#pragma once

#include "changes/place_store.h"

namespace qb {

// A run key and its disabled twin: an entry is a value, enabled in the run key, disabled in the twin. At a
// place that keeps sections (RunOnceEx), an entry named "section\value" is that value of the section's
// subkey, enabled under the run key and disabled under the twin; a section's title goes along to the side
// it is moved to, and a section left with nothing but its title goes with its last command.
class RegistryStore : public PlaceStore {
public:
    using PlaceStore::PlaceStore;

    bool Occupied(std::string_view systemName) override;
    Removal Remove(const StartupItem& item, ItemState state, std::string_view systemName, TakenCopy* taken,
                   std::string* why) override;
    bool Write(const StartupItem& item, ItemState state, std::string_view systemName,
               const std::optional<RegistryValue>& realValue, const StartupItem* before,
               const TakenCopy* replaced, std::string* why) override;
    bool Move(const StartupItem& item, ItemState to, std::string* why) override;
    void PutBack(const StartupItem& original, ItemState state, const TakenCopy& taken) override;

    // The key for an entry in that state (the run key when Enabled, else its twin), opened for writing and
    // created when missing; nullptr when it cannot be opened or the system lacks the place's view.
    std::unique_ptr<RegistryKey> OpenKey(ItemState state);

private:
    // Where a value of that name is kept in that state: the run key or the twin, or a section's subkey under
    // it; the value's name there; and the section's name ("" for a value directly in the key).
    struct ValueAt {
        std::string key;
        std::string value;
        std::string section;
    };
    ValueAt Locate(ItemState state, std::string_view systemName) const;
    // The run key when Enabled, else its twin.
    std::string KeyOf(ItemState state) const;
    // The key of a value's place, opened for writing; created when missing if asked. nullptr when it cannot
    // be opened (the cause is the platform's last failure).
    std::unique_ptr<RegistryKey> Open(const ValueAt& at, bool create);
    // Gives a section that has no title the one given, or else the title its twin section (the other side's
    // section of that name) holds. A failure to write it ends the apply.
    void GiveTitle(RegistryKey& section, const ValueAt& at, ItemState state,
                   const std::optional<RegistryValue>& title);
    // Removes a section that holds nothing but its title (or nothing at all) and no subkey; the title it
    // held goes to *title when given. A section that holds anything else stays.
    void RemoveIfSpent(std::unique_ptr<RegistryKey> section, const ValueAt& at,
                       std::optional<RegistryValue>* title);
};

} // namespace qb
