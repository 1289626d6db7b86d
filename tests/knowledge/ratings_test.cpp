#include "knowledge/ratings.h"

#include <gtest/gtest.h>
#include <string>

namespace qb {

TEST(Ratings, EachRatingHasItsLetterAndColumnText) {
    const struct {
        Rating rating;
        const char* letter;
        const char* text;
    } cases[] = {
        {Rating::Required, "Y", "Required"},        {Rating::UserChoice, "U", "User's Choice"},
        {Rating::NotRequired, "N", "Not Required"}, {Rating::Harmful, "X", "Hamful"},
        {Rating::Unknown, "?", "Unknown"},          {static_cast<Rating>(0), "?", "Unknown"},
        {static_cast<Rating>(6), "?", "Unknown"},   {static_cast<Rating>(-1), "?", "Unknown"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.rating));
        EXPECT_EQ(RatingLetter(c.rating), c.letter);
        EXPECT_EQ(RatingText(c.rating), c.text);
    }
}

TEST(Ratings, OnlyTheFiveExactLettersAreRecognised) {
    const struct {
        std::string letter;
        Rating rating;
    } cases[] = {
        {"X", Rating::Harmful},     {"U", Rating::UserChoice},
        {"N", Rating::NotRequired}, {"?", Rating::Unknown},
        {"Y", Rating::Required},    {"y", Rating::Unknown},
        {"x", Rating::Unknown},     {"", Rating::Unknown},
        {"YY", Rating::Unknown},    {" Y", Rating::Unknown},
        {"Y ", Rating::Unknown},    {"1", Rating::Unknown},
        {"Yes", Rating::Unknown},   {std::string("Y\0", 2), Rating::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.letter);
        EXPECT_EQ(RatingFromLetter(c.letter), c.rating);
    }
}

TEST(Ratings, FilterPositionsAreTheRatingValues) {
    const auto items = RatingFilterItems();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0], "All Types");
    EXPECT_EQ(items[static_cast<int>(Rating::Required)], "Required");
    EXPECT_EQ(items[static_cast<int>(Rating::UserChoice)], "User's Choice");
    EXPECT_EQ(items[static_cast<int>(Rating::NotRequired)], "Not required");
    EXPECT_EQ(items[static_cast<int>(Rating::Harmful)], "Harmful");
    EXPECT_EQ(items[static_cast<int>(Rating::Unknown)], "Unknown");
}

} // namespace qb
