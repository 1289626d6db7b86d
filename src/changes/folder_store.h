#pragma once

#include "changes/place_store.h"

namespace qb {

// A startup folder and the folder beside the tool that keeps its disabled files: an entry is a file,
// enabled in the folder the shell names, disabled in the tool's.
class FolderStore : public PlaceStore {
public:
    using PlaceStore::PlaceStore;

    void Prepare() override;
    bool Occupied(std::string_view systemName) override;
    Removal Remove(const StartupItem& item, ItemState state, std::string_view systemName, TakenCopy* taken,
                   std::string* why) override;
    bool Write(const StartupItem& item, ItemState state, std::string_view systemName,
               const std::optional<RegistryValue>& realValue, const StartupItem* before,
               const TakenCopy* replaced, std::string* why) override;
    bool Move(const StartupItem& item, ItemState to, std::string* why) override;
    void PutBack(const StartupItem& original, ItemState state, const TakenCopy& taken) override;

    // The file for an entry in that state: the startup folder's when Enabled, else the disabled folder's.
    // nullopt, with the reason, when the name cannot be a file name there or the startup folder is unknown.
    std::optional<std::string> FilePath(ItemState state, std::string_view fileName, std::string* why);

private:
    bool StillAsLoaded(const StartupItem& item, const std::string& path, std::string* why);
};

} // namespace qb
