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

} // namespace qb::cli
