#include "app/rating_colours.h"

#include "app/list_columns.h"
#include "inventory/command_line.h"

namespace qb {

Rgb RatingColour(Rating rating) {
    switch (rating) {
    case Rating::Required:
        return {0xA7, 0xFF, 0xA8};
    case Rating::UserChoice:
        return {0xC8, 0xF2, 0xFE};
    case Rating::NotRequired:
        return {0xFA, 0xFF, 0xA3};
    case Rating::Harmful:
        return {0xFF, 0xBC, 0xB6};
    case Rating::Unknown:
        break;
    }
    return {0xF8, 0xFA, 0xF9};
}

namespace {
bool InvalidCommand(const ListRow& row) {
    return row.commandCell.find(kInvalidPathMarker) != std::string::npos;
}
} // namespace

CellStyle CommandCellStyle(const ListRow& row) {
    return InvalidCommand(row) ? CellStyle{kInvalidCommandColour, std::nullopt} : CellStyle{};
}

CellStyle LocationCellStyle(const ListRow& row) {
    return InvalidCommand(row) ? CellStyle{kBlack, std::nullopt} : CellStyle{};
}

CellStyle RatingCellStyle(const ListRow& row) {
    // The cell's text decides, exactly as shown; another text keeps the list's own background.
    const struct {
        std::string_view text;
        Rating rating;
    } texts[] = {{"Hamful", Rating::Harmful},
                 {"Not Required", Rating::NotRequired},
                 {"User's Choice", Rating::UserChoice},
                 {"Required", Rating::Required},
                 {"Unknown", Rating::Unknown}};
    CellStyle style;
    for (const auto& t : texts) {
        if (row.rating == t.text) {
            style.background = RatingColour(t.rating);
        }
    }
    return style;
}

CellStyle MemoryCellStyle(const ListRow&) {
    return {std::nullopt, kWhite};
}

CellStyle StyleOfCell(const ListRow& row, int cell) {
    if (cell < 0 || cell >= kColumnCount) {
        return {};
    }
    const auto style = kListColumns[static_cast<std::size_t>(cell)].style;
    return style != nullptr ? style(row) : CellStyle{};
}

} // namespace qb
