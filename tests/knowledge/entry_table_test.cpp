#include "knowledge/entry_table.h"

#include <gtest/gtest.h>
#include <string>

namespace qb {

namespace {

// A string literal with its NUL bytes.
template <std::size_t N> std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

} // namespace

TEST(EntryTable, ReadsLinesByItsOwnRules) {
    const std::string longValue(5000, 'd');
    const struct {
        const char* what;
        std::string content;
        std::string section;
        std::string key;
        std::string value;
    } cases[] = {
        {"plain", "[Foo]\r\nConfirmed=Y\r\n", "Foo", "Confirmed", "Y"},
        {"names ignore case", "[Foo]\r\nConfirmed=Y\r\n", "FOO", "CONFIRMED", "Y"},
        {"latin-1 letters fold", "[caf\xC3\xA9]\nk=v\n", "CAF\xC3\x89", "k", "v"},
        {"blanks around everything", "  [ Foo ]  \r\n\t Confirmed \t=\t Y \r\n", "Foo", "Confirmed", "Y"},
        {"quotes are kept", "[Foo]\r\nDescription=\"quoted\"\r\n", "Foo", "Description", "\"quoted\""},
        {"value is everything after the first =", "[Foo]\r\nk=a=b\r\n", "Foo", "k", "a=b"},
        {"no length limit", "[Foo]\r\nk=" + longValue + "\r\n", "Foo", "k", longValue},
        {"LF line ends", "[Foo]\nk=v\n", "Foo", "k", "v"},
        {"CR line ends", "[Foo]\rk=v\r", "Foo", "k", "v"},
        {"no line end at the end", "[Foo]\r\nk=v", "Foo", "k", "v"},
        {"byte order mark", "\xEF\xBB\xBF[Foo]\r\nk=v\r\n", "Foo", "k", "v"},
        {"comment lines skipped", "[Foo]\r\n;k=x\r\nk=v\r\n", "Foo", "k", "v"},
        {"indented comment skipped", "[Foo]\r\n  ;k=x\r\n", "Foo", ";k", ""},
        {"first key wins", "[Foo]\r\nk=1\r\nK=2\r\n", "Foo", "k", "1"},
        {"first section wins", "[Foo]\r\nk=1\r\n[foo]\r\nk=2\r\nj=3\r\n", "Foo", "k", "1"},
        {"keys of a repeated section are not seen", "[Foo]\r\nk=1\r\n[FOO]\r\nj=3\r\n", "Foo", "j", ""},
        {"keys above the first section dropped", "k=v\r\n[Foo]\r\n", "", "k", ""},
        {"empty section name", "[]\r\nk=v\r\n", "", "k", "v"},
        {"section with a pipe", "[Foo|FOO.EXE]\r\nk=v\r\n", "foo|foo.exe", "k", "v"},
        {"caller name is not trimmed", "[Foo]\r\nk=v\r\n", " Foo", "k", ""},
        {"unclosed header is a key line of the section before", "[Foo]\r\n[Bar=1\r\nk=v\r\n", "Foo", "[Bar",
         "1"},
        {"line without = ignored", "[Foo]\r\njunk\r\nk=v\r\n", "Foo", "junk", ""},
        {"empty value", "[Foo]\r\nk=\r\n", "Foo", "k", ""},
        {"truncated header", "[Fo", "Fo", "k", ""},
        {"NUL bytes are ordinary", Bytes("[A\0B]\r\nk=v\0w\r\n"), Bytes("A\0B"), "k", Bytes("v\0w")},
        {"binary garbage", Bytes("\xFF\xFE\0\x01\n[\x80\x81]\n\xC0=\xC1\n"), "\x80\x81", "\xC0", "\xC1"},
        {"garbage before any header", Bytes("\xFF\xFE\0=\x01\n"), "", Bytes("\xFF\xFE\0"), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(EntryTable::Parse(c.content).Value(c.section, c.key), c.value);
    }
}

TEST(EntryTable, EmptyAndMissingContentHasNoSections) {
    EXPECT_EQ(EntryTable::Parse("").SectionCount(), 0u);
    EXPECT_EQ(EntryTable::Parse("\r\n\r\n;only a comment\r\nk=v\r\n").SectionCount(), 0u);
    EXPECT_EQ(EntryTable().Value("Foo", "k"), "");
}

} // namespace qb
