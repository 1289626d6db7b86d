#include "app/list_rows.h"

#include "app/list_columns.h"
#include "changes/pending_changes.h"
#include "inventory/row_texts.h"
#include "inventory/startup_location.h"
#include "knowledge/ratings.h"

#include <algorithm>
#include <array>

namespace qb {

const std::string& ListRow::Cell(int column) const {
    return column >= 0 && column < kColumnCount ? this->*kListColumns[static_cast<std::size_t>(column)].text
                                                : caption;
}

std::vector<std::string_view> TreeFilter(int position) {
    std::vector<std::string_view> labels;
    if (position < 0 || static_cast<std::size_t>(position) >= TreeNodes().size()) {
        return labels;
    }
    for (const auto& location : StartupLocations()) {
        if (NodeListsLocation(TreeNodes()[static_cast<std::size_t>(position)].name, location)) {
            labels.push_back(location.label);
        }
    }
    return labels;
}

bool RatingItemPasses(int ratingItem, Rating rating) {
    return ratingItem == 0 || ratingItem == static_cast<int>(rating);
}

namespace {
std::string ChangeCellText(const StartupItem& item) {
    std::string text;
    for (const ChangeKind kind : ChangeKinds(item)) {
        text.append(text.empty() ? "" : ", ").append(ChangeKindName(kind));
    }
    if (!text.empty()) {
        return text;
    }
    if (IsPending(item)) {
        return "Changed, not applied"; // added, edited and deleted again: nothing of it reaches the system
    }
    switch (item.Change) {
    case ChangeMark::New:
        return "New";
    case ChangeMark::Returned:
        return "Returned";
    case ChangeMark::Changed:
        return "Changed";
    case ChangeMark::Removed: // no row of the list shows a removed entry
    case ChangeMark::None:
        break;
    }
    return item.SwitchedOff && item.State == ItemState::Disabled ? "Off in Windows" : "";
}
} // namespace

RowState RowStateOf(const StartupItem& item) {
    return {item.State == ItemState::Enabled, item.State == ItemState::Deleted, IsPending(item),
            ChangeCellText(item)};
}

std::optional<ListRow> AddListRow(const StartupItem& item, int ratingItem) {
    if (!RatingItemPasses(ratingItem, item.Rating) ||
        (item.State == ItemState::Deleted && item.LoadedState == ItemState::Deleted)) {
        return std::nullopt;
    }
    ListRow row;
    row.caption = item.Name;
    row.iconIndex = item.IconIndex;
    row.commandCell = CommandCellText(item);
    row.location = item.Location;
    row.shownLocation = ShownLocation(item.Location);
    row.rating = RatingText(item.Rating);
    row.checked = item.State == ItemState::Enabled;
    row.pathValid = item.PathValid;
    row.memory = MemoryCellText(item);
    row.memoryKB = item.MemoryKB;
    row.change = item.Change;
    row.changeText = ChangeCellText(item);
    row.deleted = item.State == ItemState::Deleted;
    row.ratingValue = item.Rating;
    row.item = &item;
    return row;
}

std::vector<ListRow> RefreshRows(const Inventory& inventory, int treePosition, int ratingItem,
                                 bool changesOnly) {
    const auto labels = TreeFilter(treePosition);
    std::vector<ListRow> rows;
    for (const auto& item : inventory.Items) {
        if (std::find(labels.begin(), labels.end(), std::string_view(item->Location)) == labels.end() ||
            (changesOnly && item->Change == ChangeMark::None)) {
            continue;
        }
        if (auto row = AddListRow(*item, ratingItem)) {
            rows.push_back(std::move(*row));
        }
    }
    return rows;
}

const StartupItem* RecordOfRow(const Inventory& inventory, const ListRow& row) {
    const std::string_view command = RowCommand(row.commandCell);
    for (const auto& item : inventory.Items) {
        if (item->State != ItemState::Deleted && item->Name == row.caption &&
            item->Location == row.location && ShownCommand(*item) == command) {
            return item.get();
        }
    }
    return nullptr;
}

namespace {
// Name, place and command, each but the last behind its length, so that no two rows share a key.
std::string RowTextsKey(std::string_view name, std::string_view location, std::string_view command) {
    std::string key = std::to_string(name.size());
    key.append(1, ':').append(name).append(std::to_string(location.size())).append(1, ':');
    key.append(location).append(command);
    return key;
}
} // namespace

RowRecords::RowRecords(const Inventory& inventory) {
    byTexts_.reserve(inventory.Items.size());
    for (const auto& item : inventory.Items) {
        if (item->State != ItemState::Deleted) {
            byTexts_.try_emplace(RowTextsKey(item->Name.str(), item->Location.str(), ShownCommand(*item)),
                                 item.get());
        }
    }
}

const StartupItem* RowRecords::Find(const ListRow& row) const {
    const auto found = byTexts_.find(RowTextsKey(row.caption, row.location, RowCommand(row.commandCell)));
    return found == byTexts_.end() ? nullptr : found->second;
}

} // namespace qb
