#pragma once

#include "inventory/startup_item.h"

#include <string_view>

namespace qb {

// Where a new record's rating comes from. Scanning asks once per entry it builds; the program database
// answers, and tests hand in a table of their own.
class RatingSource {
public:
    virtual ~RatingSource() = default;
    // The rating of the entry with this Name and Command; always a value from Required to Unknown.
    virtual Rating LookupRating(std::string_view name, std::string_view command) = 0;
};

} // namespace qb
