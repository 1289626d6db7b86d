#include "app/rating_colours.h"

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

CellStyle StyleOfCell(const ListRow& row, int cell) {
    CellStyle style;
    const bool invalid = row.commandCell.find(kInvalidPathMarker) != std::string::npos;
    if (invalid && cell == 1) {
        style.text = kInvalidCommandColour;
    } else if (invalid && cell == 2) {
        style.text = kBlack;
    }
    if (cell == 3) {
        // The cell's text decides, exactly as shown; another text keeps the list's own background.
        const struct {
            std::string_view text;
            Rating rating;
        } texts[] = {{"Hamful", Rating::Harmful},
                     {"Not Required", Rating::NotRequired},
                     {"User's Choice", Rating::UserChoice},
                     {"Required", Rating::Required},
                     {"Unknown", Rating::Unknown}};
        for (const auto& t : texts) {
            if (row.rating == t.text) {
                style.background = RatingColour(t.rating);
            }
        }
    } else if (cell == 4) {
        style.background = kWhite;
    }
    return style;
}

} // namespace qb
