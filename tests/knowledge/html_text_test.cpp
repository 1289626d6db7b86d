#include "knowledge/html_text.h"

#include <gtest/gtest.h>

namespace qb {

TEST(HtmlText, EscapeHtmlNeutralisesMarkupAndQuotes) {
    const struct {
        std::string_view text;
        std::string_view expected;
    } cases[] = {
        {"", ""},
        {"Plain name 2.0", "Plain name 2.0"},
        {"a\"><script>alert('x')</script>", "a&quot;&gt;&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
        {"&amp;", "&amp;amp;"},
        {"<!--sec-->", "&lt;!--sec--&gt;"},
        {"Caf\xC3\xA9 \xE2\x96\xB2", "Caf\xC3\xA9 \xE2\x96\xB2"},
        {std::string_view("a\0b", 3), std::string_view("a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(EscapeHtml(c.text), c.expected);
    }
}

TEST(HtmlText, SearchTermKeepsPlusForBlanksAndEncodesEverythingElse) {
    const struct {
        std::string_view text;
        std::string_view expected;
    } cases[] = {
        {"", ""},
        {"My App 2.0", "My+App+2%2E0"},
        {"Foo Bar 2.1", "Foo+Bar+2%2E1"},
        {"FOO.EXE", "FOO%2EEXE"},
        {"Az09-_~", "Az09-_~"},
        // Characters of the text that mean something in a query are encoded, so they stay text.
        {"a+b", "a%2Bb"},
        {"100%", "100%25"},
        {"already %2E encoded", "already+%252E+encoded"},
        {"x&y=1#z", "x%26y%3D1%23z"},
        {"a\"><script>", "a%22%3E%3Cscript%3E"},
        {"it's", "it%27s"},
        {"C:\\A/B", "C%3A%5CA%2FB"},
        {"tab\there", "tab%09here"},
        {"Caf\xC3\xA9", "Caf%C3%A9"},
        {std::string_view("a\0b", 3), "a%00b"},
        {"\xFF", "%FF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(EncodeSearchTerm(c.text), c.expected);
    }
}

} // namespace qb
