#include "cli/terminal_text.h"

#include <gtest/gtest.h>

namespace qb::cli {

TEST(TerminalText, ControlsAndReorderingMarksAreEscapedAndTheRestStays) {
    struct Case {
        std::string text;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"C:\\Program Files\\App\\app.exe /q", "C:\\Program Files\\App\\app.exe /q"},
        {"Z\u00fcrich \u65e5\u672c \U0001F600", "Z\u00fcrich \u65e5\u672c \U0001F600"},
        {"a\tb\rc\nd", "a\\tb\\rc\\nd"},
        {"\x1B[2J\x1B[Hclean", "\\x1B[2J\\x1B[Hclean"},
        {std::string("nul\0here", 8), "nul\\x00here"},
        {"del\x7F", "del\\x7F"},
        {"next\u0085line", "next\\u0085line"},
        {"invoice\u202Etxt.exe", "invoice\\u202Etxt.exe"},
        {"iso\u2066late\u2069", "iso\\u2066late\\u2069"},
        {"\xFF\xFEraw", "\\xFF\\xFEraw"},
        {"cut\xE6\x97", "cut\\xE6\\x97"},
        {"\xED\xA0\x80surrogate", "\\xED\\xA0\\x80surrogate"},
        {"\xC0\xAFoverlong", "\\xC0\\xAFoverlong"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(TerminalText(c.text), c.shown);
    }
}

// What a terminal gives each character: the text table's columns line up only when this is right.
TEST(DisplayWidth, WideCharactersTakeTwoColumnsAndMarksNone) {
    const struct {
        std::string text;
        std::size_t width;
    } cases[] = {
        {"", 0},
        {"Agent", 5},
        {"Z\xC3\xBCrich", 6},                        // Zürich: one column a letter, accents too
        {"\xE8\xA8\xAD\xE5\xAE\x9A", 4},             // 設定: two CJK ideographs
        {"\xE3\x82\xA2\xE3\x83\x97\xE3\x83\xAA", 6}, // アプリ: katakana
        {"\xED\x95\x9C\xEA\xB8\x80", 4},             // 한글: Hangul syllables
        {"\xEF\xBC\xA1", 2},                         // Ａ: full-width
        {"\xF0\x9F\x98\x80", 2},                     // an emoji
        {"e\xCC\x81", 1},                            // e and a combining acute accent
        {"a\xE2\x80\x8B"
         "b",
         2},                                                     // a zero-width space between
        {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", 6}, // Москва
        {"\xFF\xFEx", 3},                                        // bytes that are not UTF-8: one column each
        {"\xE8\xA8", 2},                                         // a character cut short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DisplayWidth(c.text), c.width) << c.text;
    }
}

} // namespace qb::cli
