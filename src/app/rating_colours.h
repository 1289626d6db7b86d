#pragma once

#include "app/list_rows.h"
#include "inventory/startup_item.h"

#include <cstdint>
#include <optional>

namespace qb {

struct Rgb {
    std::uint8_t red, green, blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The background of a Rating cell and of the legend swatch beside the rating filter.
Rgb RatingColour(Rating rating);

inline constexpr Rgb kInvalidCommandColour{0xFF, 0x00, 0x00};
inline constexpr Rgb kBlack{0x00, 0x00, 0x00};
inline constexpr Rgb kWhite{0xFF, 0xFF, 0xFF};

// How one cell of a row is drawn: a text colour and a background, each only when set. Only the
// command of an invalid entry is red; only the Rating cell is tinted, by its text.
struct CellStyle {
    std::optional<Rgb> text;
    std::optional<Rgb> background;
};
CellStyle StyleOfCell(const ListRow& row, int cell);

// Each column's own colours, as its row of the column table (list_columns.h) names them.
CellStyle CommandCellStyle(const ListRow& row);  // red for the command of an invalid entry
CellStyle LocationCellStyle(const ListRow& row); // black beside it
CellStyle RatingCellStyle(const ListRow& row);   // tinted by the rating's text
CellStyle MemoryCellStyle(const ListRow& row);   // white

} // namespace qb
