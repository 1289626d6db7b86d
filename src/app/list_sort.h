#pragma once

#include "app/list_columns.h"
#include "app/list_rows.h"

#include <array>
#include <string>
#include <vector>

namespace qb {

// The list's comparison of two cell texts: byte by byte as unsigned bytes after folding a-z to upper
// case (no other folding, no locale); a prefix sorts first. Negative, zero or positive.
int CompareCellTexts(std::string_view a, std::string_view b);

inline constexpr std::string_view kAscendingMark = " \u25B2";
inline constexpr std::string_view kDescendingMark = " \u25BC";

// The columns' titles, as the column table gives them for this system.
std::array<std::string, kColumnCount> ColumnTitles(bool win9x);

// Each column's sort direction: 0 never sorted, 1 last ascending, -1 last descending. It outlives
// refreshes, so a column's next click goes on from its own last direction.
class SortState {
public:
    // A click on a column title: flips that column, sorts the rows, and gives the titles with the mark.
    std::array<std::string, kColumnCount> Click(int column, std::vector<ListRow>& rows, bool win9x);
    // The same click for a list that sorts itself: flips the column and gives the titles with the mark.
    // Rows that compare equal keep the order they had.
    std::array<std::string, kColumnCount> Toggle(int column, bool win9x);
    int Direction(int column) const { return state_.at(static_cast<std::size_t>(column)); }
    // The titles with the mark of the column's last direction, as after its last click.
    std::array<std::string, kColumnCount> Titles(int column, bool win9x) const;

private:
    std::array<int, kColumnCount> state_{};
};

} // namespace qb
