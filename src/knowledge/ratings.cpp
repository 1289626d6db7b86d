#include "knowledge/ratings.h"

#include <array>

namespace qb {

namespace {

constexpr std::array<std::string_view, 6> kFilterItems = {"All Types",    "Required", "User's Choice",
                                                          "Not required", "Harmful",  "Unknown"};

} // namespace

std::string_view RatingLetter(Rating rating) {
    switch (rating) {
    case Rating::Required:
        return "Y";
    case Rating::UserChoice:
        return "U";
    case Rating::NotRequired:
        return "N";
    case Rating::Harmful:
        return "X";
    case Rating::Unknown:
        break;
    }
    return "?";
}

Rating RatingFromLetter(std::string_view letter) {
    // The order of the tests is part of the contract; with exact comparison no two can both hold.
    if (letter == "X") {
        return Rating::Harmful;
    }
    if (letter == "U") {
        return Rating::UserChoice;
    }
    if (letter == "N") {
        return Rating::NotRequired;
    }
    if (letter == "?") {
        return Rating::Unknown;
    }
    if (letter == "Y") {
        return Rating::Required;
    }
    return Rating::Unknown;
}

std::string_view RatingText(Rating rating) {
    switch (rating) {
    case Rating::Required:
        return "Required";
    case Rating::UserChoice:
        return "User's Choice";
    case Rating::NotRequired:
        return "Not Required";
    case Rating::Harmful:
        return "Hamful";
    case Rating::Unknown:
        break;
    }
    return "Unknown";
}

std::span<const std::string_view> RatingFilterItems() {
    return kFilterItems;
}

} // namespace qb
