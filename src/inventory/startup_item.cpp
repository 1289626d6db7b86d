#include "inventory/startup_item.h"

namespace qb {

void Inventory::Clear() {
    LoadedItems.clear();
    EditedOriginals.clear();
    EditedRecords.clear();
    Items.clear();
}

StartupItem& Inventory::Append(StartupItem item) {
    Items.push_back(std::make_unique<StartupItem>(std::move(item)));
    return *Items.back();
}

void Inventory::MarkLoaded() {
    LoadedItems.clear();
    LoadedItems.reserve(Items.size());
    for (const auto& item : Items) {
        LoadedItems.push_back(item.get());
    }
}

void Inventory::RememberOriginal(const StartupItem& item) {
    if (item.Edited) {
        return;
    }
    auto copy = std::make_unique<StartupItem>();
    copy->Rating = item.Rating;
    copy->State = item.State;
    copy->LoadedState = item.LoadedState;
    copy->IconIndex = item.IconIndex;
    copy->PathValid = item.PathValid;
    copy->Name = item.Name;
    copy->Command = item.Command;
    copy->Location = item.Location;
    copy->Arguments = item.Arguments;
    copy->SystemName = item.SystemName;
    copy->LoadedValue = item.LoadedValue;
    copy->LoadedStamp = item.LoadedStamp;
    copy->SwitchedOff = item.SwitchedOff;
    copy->SwitchedOffAt = item.SwitchedOffAt;
    EditedOriginals.push_back(std::move(copy));
    EditedRecords.push_back(&item);
}

} // namespace qb
