#pragma once

#include "inventory/startup_item.h"
#include "inventory/startup_location.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qb {

// One row of the main list: a caption and four cells, as shown, and the record the row stands for.
struct ListRow {
    std::string caption; // Name
    std::int32_t iconIndex = 0;
    std::string commandCell; // the command, behind "[Invalid Path]" when its target was not found
    std::string location;    // the place's label, which finds the record
    std::string shownLocation;            // the Location column: the place as the window names it
    std::string rating;                   // the rating's column text
    std::string memory;                   // "", "Running" or a size
    std::int32_t memoryKB = 0;            // the record's: 0 not running, -1 running of unknown size
    bool checked = false;                 // Enabled
    bool pathValid = true;                // the program the command starts was found
    ChangeMark change = ChangeMark::None; // how it differs from the setting the user last accepted
    // The Change column: the changes not applied yet ("Delete", "Disable, Edit"), else how it differs from
    // the accepted setting ("New", "Returned", "Changed"), else "Off in Windows" for an entry Windows' own
    // startup settings switched off. Readable where colours and marks are not.
    std::string changeText;
    bool deleted = false; // marked Deleted, still on the system until Apply: shown struck through
    Rating ratingValue = Rating::Unknown; // what the rating filter compares
    // The record, owned by the inventory: valid until the next load, after which the list is filled anew.
    const StartupItem* item = nullptr;

    // The text of column k of the column table (list_columns.h), as the sort compares it.
    const std::string& Cell(int column) const;
};

// The location tree's nodes (TreeNodes) are defined with the places they list, in the location table.

// The labels a node lists, by its position in TreeNodes(); All Programs lists every label that has a node.
std::vector<std::string_view> TreeFilter(int position);

// The rating filter's item: 0 lets every rating through, 1 to 5 only that rating.
// The row of a record, or nullopt when the filter hides it or it is Deleted and not on the system (added and
// deleted again). An entry of the system marked Deleted keeps its row until Apply, so the delete can be
// seen and taken back.
std::optional<ListRow> AddListRow(const StartupItem& item, int ratingItem);

// What a row of this record shows of its state; the rest of the row stays as it was filled.
struct RowState {
    bool checked = false;
    bool deleted = false;
    bool pending = false;
    std::string changeText;
    bool operator==(const RowState&) const = default;
};
RowState RowStateOf(const StartupItem& item);

// Whether a row passes the rating filter's item (0 lets every rating through).
bool RatingItemPasses(int ratingItem, Rating rating);

// Every row of the node and rating item, in inventory order; with changesOnly, only the rows of entries
// that are new, returned or changed.
std::vector<ListRow> RefreshRows(const Inventory& inventory, int treePosition, int ratingItem,
                                 bool changesOnly = false);

// The record a row stands for: the first record in inventory order that is not deleted and has the row's
// name, place and command (the command cell without its "[Invalid Path]"); nullptr when there is none.
const StartupItem* RecordOfRow(const Inventory& inventory, const ListRow& row);

// The same answers for every row of a list, from an index made once: filling or repainting a list of
// thousands of rows then costs no walk of the whole inventory per row. Valid while the inventory's records
// and their texts and states stay as they were.
class RowRecords {
public:
    explicit RowRecords(const Inventory& inventory);
    const StartupItem* Find(const ListRow& row) const;

private:
    std::unordered_map<std::string, const StartupItem*> byTexts_;
};

} // namespace qb
