#include "inventory/startup_item.h"

namespace qb {

namespace {

std::string Whole(const FieldText& field, const std::string& whole) {
    return !whole.empty() && FieldText(whole) == field.str() ? whole : field.str();
}

void SetWhole(FieldText& field, std::string& whole, std::string_view text) {
    field = text;
    whole = text.size() > FieldText::kLimit ? std::string(text) : std::string();
}

} // namespace

std::string WholeNameOf(const StartupItem& item) {
    return Whole(item.Name, item.WholeName);
}

std::string WholeCommandOf(const StartupItem& item) {
    return Whole(item.Command, item.WholeCommand);
}

void SetWholeName(StartupItem& item, std::string_view name) {
    SetWhole(item.Name, item.WholeName, name);
}

void SetWholeCommand(StartupItem& item, std::string_view command) {
    SetWhole(item.Command, item.WholeCommand, command);
}

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
    copy->File = item.File;
    copy->FileProblem = item.FileProblem;
    copy->LoadedValue = item.LoadedValue;
    copy->LoadedStamp = item.LoadedStamp;
    copy->WholeName = item.WholeName;
    copy->WholeCommand = item.WholeCommand;
    copy->SwitchedOff = item.SwitchedOff;
    copy->SwitchedOffAt = item.SwitchedOffAt;
    EditedOriginals.push_back(std::move(copy));
    EditedRecords.push_back(&item);
}

} // namespace qb
