#include "app/list_sort.h"

#include <algorithm>

namespace qb {

namespace {
unsigned char Fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}
} // namespace

int CompareCellTexts(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = Fold(a[i]);
        const unsigned char y = Fold(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

std::array<std::string, kColumnCount> ColumnTitles(bool win9x) {
    std::array<std::string, kColumnCount> titles;
    for (std::size_t i = 0; i < kListColumns.size(); ++i) {
        const ListColumnInfo& column = kListColumns[i];
        titles[i] = win9x && !column.win9xTitle.empty() ? column.win9xTitle : column.title;
    }
    return titles;
}

std::array<std::string, kColumnCount> SortState::Toggle(int column, bool win9x) {
    auto titles = ColumnTitles(win9x);
    if (column < 0 || column >= kColumnCount) {
        return titles;
    }
    int& state = state_[static_cast<std::size_t>(column)];
    if (state > 0) {
        state = -state;
        titles[static_cast<std::size_t>(column)] += kDescendingMark;
    } else {
        state = 1;
        titles[static_cast<std::size_t>(column)] += kAscendingMark;
    }
    return titles;
}

std::array<std::string, kColumnCount> SortState::Titles(int column, bool win9x) const {
    auto titles = ColumnTitles(win9x);
    if (column >= 0 && column < kColumnCount && state_[static_cast<std::size_t>(column)] != 0) {
        titles[static_cast<std::size_t>(column)] +=
            state_[static_cast<std::size_t>(column)] > 0 ? kAscendingMark : kDescendingMark;
    }
    return titles;
}

std::array<std::string, kColumnCount> SortState::Click(int column, std::vector<ListRow>& rows, bool win9x) {
    auto titles = Toggle(column, win9x);
    if (column < 0 || column >= kColumnCount) {
        return titles;
    }
    const int sign = state_[static_cast<std::size_t>(column)];
    // Equal rows keep their order: the stable sort is this list's choice for ties.
    std::stable_sort(rows.begin(), rows.end(), [&](const ListRow& a, const ListRow& b) {
        return sign * CompareCellTexts(a.Cell(column), b.Cell(column)) < 0;
    });
    return titles;
}

} // namespace qb
