#include "knowledge/pattern_table.h"

#include <gtest/gtest.h>

namespace qb {

TEST(MatchRule, OnlyPrefixSuffixAndLengthCount) {
    const struct {
        const char* text;
        const char* pattern;
        bool matches;
    } cases[] = {
        // One star is exactly one character.
        {"ABCD", "ABC*", true},
        {"ABC", "ABC*", false},
        {"ABCDE", "ABC*", false},
        {"XBCD", "ABC*", false},
        // The suffix is looked for anywhere, not only at the end.
        {"AXYZ", "*XYZ", true},
        {"XYZA", "*XYZ", true},
        {"AAXYZ", "*XYZ", false},
        {"ABCD", "*XYZ", false},
        {"ABC", "A*C", true},
        {"ACB", "A*C", true},
        {"BAC", "A*C", false},
        // Text between the first and the last star is ignored.
        {"AQQQC", "A*B*C", true},
        {"ACQQQ", "A*B*C", true},
        {"AQQQQC", "A*B*C", false},
        {"SVCH0ST.EXE", "SVCH*ST.EXE", true},
        {"SVCHOST.EXE", "SVCH*ST.EXE", true},
        {"SVCH00ST.EXE", "SVCH*ST.EXE", false},
        // Without a usable prefix or suffix the pattern is an exact name.
        {"NOTEPAD.EXE", "NOTEPAD.EXE", true},
        {"NOTEPAD.EXEX", "NOTEPAD.EXE", false},
        {"XNOTEPAD.EXE", "NOTEPAD.EXE", false},
        {"*", "*", true},
        {"A", "*", false},
        {"AB", "**", false},
        {"**", "**", true},
        {"A*B", "*A*B*", false},
        {"*A*B*", "*A*B*", true},
        // Empty text never matches; an empty pattern matches no non-empty text.
        {"", "", false},
        {"", "*", false},
        {"A", "", false},
        // Length counts characters, not bytes.
        {"CAF\xC3\x89", "CAF*", true},
        {"CAF\xC3\x89\xC3\x89", "CAF\xC3\x89*", true},
        {"CAFE", "CAF\xC3\x89*", false},
        {"\xC3\x89T", "*T", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " ~ " + c.pattern);
        EXPECT_EQ(MatchRule(c.text, c.pattern), c.matches);
    }
}

} // namespace qb
