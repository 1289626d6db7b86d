#pragma once

#include "inventory/startup_item.h"

#include <span>
#include <string_view>

namespace qb {

// The one-letter form the database files store under "Confirmed": "Y", "U", "N", "X", and "?" for
// Unknown and for any value outside the five ratings.
std::string_view RatingLetter(Rating rating);

// The rating a stored letter stands for. The comparison is exact, so "y" is no "Y"; anything that is not
// one of the five letters, the empty text included, is Unknown.
Rating RatingFromLetter(std::string_view letter);

// The text of the list's Rating column. Harmful reads "Hamful" there, the spelling the column has always
// shown; only the filter's item spells it right.
std::string_view RatingText(Rating rating);

// The items of the rating filter: position 0 ("All Types") means no filter, positions 1 to 5 are the
// rating values. Not the column texts: "Not required" and "Harmful" are spelled differently here.
std::span<const std::string_view> RatingFilterItems();

} // namespace qb
