#pragma once

#include "app/list_rows.h"
#include "app/rating_colours.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

// How a column takes its share of the list's width: short texts get what they need, the others share the
// rest by what they hold, and what is left over goes to the one that takes the rest (the command).
enum class ColumnWidth { FitText, Share, TakesRest };

// One column of the main list.
struct ListColumnInfo {
    std::string_view key;        // the name kept in the window settings; never changes once shipped
    std::string_view title;      // the column's title
    std::string_view win9xTitle; // the title on the Windows 95 family, when it differs
    std::string ListRow::*text;  // the cell's text, as the list shows it and the sort compares it
    int initialWidth;            // before the list fits its content
    ColumnWidth width;
    bool alwaysShown;                   // the user cannot hide it
    CellStyle (*style)(const ListRow&); // the cell's colours; nullptr for the list's own
    // How a click on the title orders two rows (below zero: a first); nullptr compares the cells' texts.
    int (*compare)(const ListRow&, const ListRow&) = nullptr;
};

// Programs that do not run first, then one of unknown size, then by size.
inline int CompareMemory(const ListRow& a, const ListRow& b) {
    const auto key = [](const ListRow& row) { return row.memoryKB == 0 ? -2 : row.memoryKB; };
    return key(a) < key(b) ? -1 : key(a) > key(b) ? 1 : 0;
}

// The main list's columns, left to right. Adding a column is one row here: its title, the row's text it
// shows (a field of ListRow that AddListRow fills from the record), how it takes its width, its colours and
// the key the window settings keep it under. The model, the sort, the header's menu of shown columns and the
// kept settings follow the table. Memory says "Status" on the Windows 95 family, where only running or not
// can be told.
inline constexpr std::array kListColumns{
    ListColumnInfo{"Name", "Program Name", "", &ListRow::caption, 118, ColumnWidth::Share, true, nullptr},
    ListColumnInfo{"Command", "Command Path", "", &ListRow::commandCell, 150, ColumnWidth::TakesRest, false,
                   &CommandCellStyle},
    ListColumnInfo{"Location", "Location", "", &ListRow::shownLocation, 118, ColumnWidth::Share, false,
                   &LocationCellStyle},
    ListColumnInfo{"Rating", "Rating", "", &ListRow::rating, 78, ColumnWidth::FitText, false,
                   &RatingCellStyle},
    ListColumnInfo{"Memory", "Memory", "Status", &ListRow::memory, 53, ColumnWidth::FitText, false,
                   &MemoryCellStyle, &CompareMemory},
    ListColumnInfo{"Change", "Change", "", &ListRow::changeText, 60, ColumnWidth::FitText, false, nullptr},
};
inline constexpr int kColumnCount = static_cast<int>(kListColumns.size());
// The column with the row's check box and program icon, which names the entry.
inline constexpr int kNameColumn = 0;
static_assert(kListColumns[kNameColumn].alwaysShown, "the entry's name always stays in sight");

// The column with this settings key; nullopt for a key of no column (one of a later version).
inline std::optional<int> ListColumnByKey(std::string_view key) {
    for (std::size_t i = 0; i < kListColumns.size(); ++i) {
        if (kListColumns[i].key == key) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

} // namespace qb
