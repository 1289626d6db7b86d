#pragma once

#include "changes/place_store.h"

namespace qb {

// A run key and its disabled twin: an entry is a value, enabled in the run key, disabled in the twin.
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
};

} // namespace qb
