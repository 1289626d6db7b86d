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

TEST(Text, UpperCaseMapsEverySmallLetterAsWindowsDoes) {
    EXPECT_EQ(UpperCase("c:\\program files\\app.exe"), "C:\\PROGRAM FILES\\APP.EXE");
    const struct {
        std::string text;
        std::string upper;
    } cases[] = {
        {"zürich àÿ÷", "ZÜRICH ÀŸ÷"}, // ÷ is no letter
        {"škoda", "ŠKODA"},
        {"ωmega", "ΩMEGA"},
        {"драйвер.exe", "ДРАЙВЕР.EXE"},
        {"straße", "STRAßE"},          // no capital of ß in a one-for-one mapping
        {"ς µ ı ſ", "ς µ ı ſ"},        // Windows leaves these as they are
        {"ǆ ǅ", "Ǆ ǅ"},                // the small digraph gets its capital; the title-case one stays
        {"ɐ ⱥ", "Ɐ Ⱥ"},                // 2 bytes become 3, and 3 become 2
        {"ᾀ", "ᾈ"},                    // Greek with iota below keeps one letter
        {"東京 ①", "東京 ①"},
        {"\xF0\x90\x90\xA8", "\xF0\x90\x90\xA8"}, // outside the BMP: as Windows, no change
        {std::string("a\0b", 3), std::string("A\0B", 3)},
        {"\xC3" "a\xFF" "b\xE2\x82", "\xC3" "A\xFF" "B\xE2\x82"}, // broken UTF-8 keeps its bytes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(UpperCase(c.text), c.upper);
    }
}

TEST(Text, AsciiUpperCaseKeepsEveryByteInPlace) {
    EXPECT_EQ(AsciiUpperCase("ɐ ab.exe ä"), "ɐ AB.EXE ä");
}

TEST(Text, CaseInsensitiveComparison) {
    EXPECT_TRUE(EqualsIgnoreCase("Run", "RUN"));
    EXPECT_TRUE(EqualsIgnoreCase("Zürich", "ZÜRICH"));
    EXPECT_FALSE(EqualsIgnoreCase("Run", "Runs"));
    EXPECT_TRUE(EqualsIgnoreCase("ɐpp", "ⱯPP")); // of different byte lengths
    EXPECT_TRUE(EqualsIgnoreCase("Драйвер", "ДРАЙВЕР"));
    EXPECT_FALSE(EqualsIgnoreCase("straße", "STRASSE"));
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
