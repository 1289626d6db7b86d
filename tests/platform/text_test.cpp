#include "platform/file_system.h"
#include "platform/text.h"

#include <gtest/gtest.h>

namespace qb {

TEST(Text, CuttingNeverSplitsACharacter) {
    const struct {
        std::string text;
        std::size_t limit;
        std::string expected;
    } cases[] = {
        {"short", 259, "short"},
        {std::string(300, 'a'), 259, std::string(259, 'a')},
        {"ab\xC3\xBC", 3, "ab"}, // ü would be split after its lead byte
        {"ab\xC3\xBC", 4, "ab\xC3\xBC"},
        {"\xE6\x9D\xB1\xE4\xBA\xAC", 5, "\xE6\x9D\xB1"}, // 東京 cut inside the second character
        {"\xF0\x9F\x98\x80x", 2, ""},                    // a four-byte character does not fit at all
        {"", 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CutAtCharBoundary(c.text, c.limit), c.expected);
    }
}

TEST(Text, UpperCaseMapsAsciiAndLatinSmallLettersOnly) {
    EXPECT_EQ(UpperCase("c:\\program files\\app.exe"), "C:\\PROGRAM FILES\\APP.EXE");
    EXPECT_EQ(UpperCase("zürich àÿ÷"), "ZÜRICH À\xC3\xBF÷"); // ÿ has no Latin-1 capital; ÷ is no letter
    EXPECT_EQ(UpperCase("東京"), "東京");
    EXPECT_EQ(UpperCase(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(Text, CaseInsensitiveComparison) {
    EXPECT_TRUE(EqualsIgnoreCase("Run", "RUN"));
    EXPECT_TRUE(EqualsIgnoreCase("Zürich", "ZÜRICH"));
    EXPECT_FALSE(EqualsIgnoreCase("Run", "Runs"));
    EXPECT_TRUE(LessIgnoreCase("alpha", "Beta"));
    EXPECT_FALSE(LessIgnoreCase("Beta", "alpha"));
    EXPECT_FALSE(LessIgnoreCase("same", "SAME"));
}

TEST(Text, Utf16RoundTripAndRepairsBrokenInput) {
    for (const std::string text : {"", "plain", "Zürich – 東京", "\xF0\x9F\x98\x80 emoji"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
        EXPECT_EQ(Utf16ToUtf8(FromUtf16LeBytes(Utf16LeBytes(Utf8ToUtf16(text)))), text);
    }
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("a\xFF"
                                      "b")),
              "a\xEF\xBF\xBD"
              "b");                                                              // invalid byte
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("\xC0\x80")), "\xEF\xBF\xBD\xEF\xBF\xBD"); // overlong NUL
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD"); // lone surrogate
    EXPECT_EQ(FromUtf16LeBytes(std::string("a\0b", 3)), u"a"); // an odd last byte is dropped
}

TEST(Wildcard, MatchesAsFindFirstFileDoes) {
    const struct {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"Tool.lnk", "*.*", true},
        {"README", "*.*", true},
        {"Tool.lnk", "*.lnk", true},
        {"Tool.LNK", "*.lnk", true},
        {"Tool.lnk.txt", "*.lnk", false},
        {"a.txt", "?.txt", true},
        {"ab.txt", "?.txt", false},
        {"Auto-7.qbk", "Auto-*.qbk", true},
        {"", "*", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " ~ " + c.pattern);
        EXPECT_EQ(MatchesWildcard(c.name, c.pattern), c.matches);
    }
}

} // namespace qb
