#include "platform/profile_files.h"
#include "platform/profile_text.h"
#include "platform/text.h"

#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace qb {
namespace {

using namespace std::string_view_literals;

struct LookupCase {
    const char* behaviour;
    std::string_view content;
    std::string_view section;
    std::string_view key;
    std::optional<std::string> expected;
};

const LookupCase kLookupCases[] = {
    {"PlainKey", "[s]\r\nk=v\r\n", "s", "k", "v"},
    {"SectionMatchesWithoutCase", "[Sec]\r\nk=v\r\n", "sEC", "k", "v"},
    {"KeyMatchesWithoutCase", "[s]\r\nKeyName=v\r\n", "s", "KEYNAME", "v"},
    {"LatinOneLettersMatchWithoutCase", "[\xC3\x84rger]\r\n\xC3\xBC=v\r\n", "\xC3\xA4rger", "\xC3\x9C", "v"},
    {"CallerNamesAreTrimmed", "[s]\r\nk=v\r\n", " \ts ", "\tk  ", "v"},
    {"BlanksAroundNamesAndValueAreDropped", "[s]\r\n \t k \t=  v  w \t\r\n", "s", "k", "v  w"},
    {"DoubleQuotePairIsDropped", "[s]\r\nk=\"v w\"\r\n", "s", "k", "v w"},
    {"SingleQuotePairIsDropped", "[s]\r\nk='v'\r\n", "s", "k", "v"},
    {"QuotesAreDroppedAfterTrimming", "[s]\r\nk=  \"v\"  \r\n", "s", "k", "v"},
    {"BlanksInsideQuotesStay", "[s]\r\nk=\" v \"\r\n", "s", "k", " v "},
    {"UnequalQuotesStay", "[s]\r\nk=\"x'\r\n", "s", "k", "\"x'"},
    {"OpenQuoteStays", "[s]\r\nk=\"open\r\n", "s", "k", "\"open"},
    {"InnerQuotesStay", "[s]\r\nk=a\"b\"c\r\n", "s", "k", "a\"b\"c"},
    {"OnlyOnePairIsDropped", "[s]\r\nk=\"\"v\"\"\r\n", "s", "k", "\"v\""},
    {"LoneQuoteIsTheValue", "[s]\r\nk=\"\r\n", "s", "k", "\""},
    {"EmptyQuotesGiveEmptyText", "[s]\r\nk=''\r\n", "s", "k", ""},
    {"EmptyValueIsNotMissing", "[s]\r\nk=\r\n", "s", "k", ""},
    {"ValueKeepsLaterEqualsSigns", "[s]\r\neq=a=b\r\n", "s", "eq", "a=b"},
    {"LineWithoutEqualsIsNoKey", "[s]\r\nflag\r\n", "s", "flag", std::nullopt},
    {"FirstDuplicateKeyWins", "[s]\r\nk=1\r\nK=2\r\n", "s", "k", "1"},
    {"FirstDuplicateSectionIsSearched", "[s]\r\na=1\r\n[S]\r\na=2\r\n", "s", "a", "1"},
    {"LaterDuplicateSectionIsNotSearched", "[s]\r\na=1\r\n[S]\r\nb=2\r\n", "s", "b", std::nullopt},
    {"HeaderNameRunsToLastBracket", "[a]b]\r\nk=v\r\n", "a]b", "k", "v"},
    {"HeaderNameIsTrimmed", "[ s ]\r\nk=v\r\n", "s", "k", "v"},
    {"IndentedHeaderCounts", " \t[s]\r\nk=v\r\n", "s", "k", "v"},
    {"TextAfterHeaderIsIgnored", "[s] ; x=1\r\nk=v\r\n", "s", "k", "v"},
    {"TextAfterHeaderIsNoKey", "[s] x=1\r\n", "s", "x", std::nullopt},
    {"BracketInValueIsNoHeader", "[s]\r\nk=[t]\r\nj=w\r\n", "s", "j", "w"},
    {"KeysAboveFirstHeaderAreSectionEmpty", "k=v\r\n[s]\r\n", "", "k", "v"},
    {"KeysAboveFirstHeaderAreNotInNextSection", "k=v\r\n[s]\r\n", "s", "k", std::nullopt},
    {"ExplicitEmptyHeaderWinsOverTopKeys", "\r\nk=top\r\n[]\r\nk=explicit\r\n[s]\r\n", "", "k", "explicit"},
    {"EmptyKeyNameIsAKey", "[s]\r\n=v\r\n", "s", "", "v"},
    {"SemicolonLineIsAKeyByItsName", "[s]\r\n;x=1\r\n", "s", ";x", "1"},
    {"LoneCrEndsLines", "[s]\rk=v\rj=w", "s", "j", "w"},
    {"LfEndsLines", "[s]\nk=v\nj=w\n", "s", "j", "w"},
    {"MixedLineEndsWork", "[a]\r\nk=1\n[s]\rk=2\r\n", "s", "k", "2"},
    {"CrIsNotPartOfValue", "[s]\r\nk=v\r", "s", "k", "v"},
    {"ByteOrderMarkIsIgnored", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "v"},
    {"ByteOrderMarkLaterIsText", "[s]\r\n\xEF\xBB\xBFk=v\r\n", "s", "k", std::nullopt},
    {"NulIsAnOrdinaryCharacter", "[s]\r\nk=a\0b\r\n"sv, "s", "k", std::string("a\0b", 3)},
    {"UnclosedBracketIsNoHeader", "[s]\r\n[t\r\nk=v\r\n", "s", "k", "v"},
    {"UnclosedBracketLineWithEqualsIsAKey", "[s]\r\n[t=1\r\n", "s", "[t", "1"},
    {"MissingSection", "[s]\r\nk=v\r\n", "t", "k", std::nullopt},
    {"MissingKey", "[s]\r\nk=v\r\n", "s", "j", std::nullopt},
    {"KeyInOtherSectionIsMissing", "[s]\r\n[t]\r\nk=v\r\n", "s", "k", std::nullopt},
    {"EmptyContent", "", "", "", std::nullopt},
};

TEST(ProfileText, LookupFollowsGetPrivateProfileString) {
    for (const LookupCase& row : kLookupCases) {
        SCOPED_TRACE(row.behaviour);
        EXPECT_EQ(ProfileLookup(row.content, row.section, row.key), row.expected);
        const ProfileDocument document = ProfileDocument::Parse(row.content);
        EXPECT_EQ(document.Find(row.section, row.key), row.expected);
        if (row.expected) {
            EXPECT_TRUE(document.HasSection(row.section));
        }
    }
}

struct ListingCase {
    const char* behaviour;
    std::string_view content;
    std::vector<std::string> sections;
    std::string_view section;
    std::vector<std::string> keys;
};

TEST(ProfileText, ListingsShowWhatLookupsReach) {
    const ListingCase cases[] = {
        {"SectionsInFileOrderOnce", "[b]\r\n[a]\r\n[B]\r\nx=1\r\n", {"b", "a"}, "b", {}},
        {"KeysInFileOrderOnceWithFirstSpelling", "[s]\r\nb=1\r\na=2\r\nB=3\r\n", {"s"}, "S", {"b", "a"}},
        {"LinesWithoutEqualsAreNotListed",
         "[s]\r\nname1=v\r\nname2=\r\nname3\r\nname4=v\r\n",
         {"s"},
         "s",
         {"name1", "name2", "name4"}},
        {"EmptyKeyNameIsListed", "[s]\r\n=v\r\n", {"s"}, "s", {""}},
        {"TopKeysListAsSectionEmpty", "a=1\r\n[s]\r\nb=2\r\n", {"", "s"}, "", {"a"}},
        {"TopWithoutKeysIsNoSection", "; comment\r\n\r\n[s]\r\n", {"s"}, "", {}},
        {"EmptyHeaderIsListedWhereItStands", "a=1\r\n[s]\r\n[]\r\nb=2\r\n", {"s", ""}, "", {"b"}},
        {"MissingSectionHasNoKeys", "[s]\r\nk=v\r\n", {"s"}, "t", {}},
    };
    for (const ListingCase& row : cases) {
        SCOPED_TRACE(row.behaviour);
        const ProfileDocument document = ProfileDocument::Parse(row.content);
        EXPECT_EQ(document.SectionNames(), row.sections);
        EXPECT_EQ(document.KeyNames(row.section), row.keys);
        for (const std::string& name : row.sections) {
            EXPECT_TRUE(document.HasSection(name)) << name;
        }
    }
}

TEST(ProfileText, HeaderWithoutKeysIsASection) {
    const ProfileDocument document = ProfileDocument::Parse("[empty]\r\n[full]\r\nk=v\r\n");
    EXPECT_TRUE(document.HasSection(" EMPTY "));
    EXPECT_FALSE(document.HasSection("missing"));
    EXPECT_FALSE(document.HasSection(""));
}

struct UpdateCase {
    const char* behaviour;
    std::string_view content;
    std::string_view section;
    std::string_view key;
    std::string_view value;
    std::string_view expected;
};

const UpdateCase kUpdateCases[] = {
    {"NewFile", "", "S", "k", "v", "[S]\r\nk=v\r\n"},
    {"NewFileKeepsByteOrderMark", "\xEF\xBB\xBF", "S", "k", "v", "\xEF\xBB\xBF[S]\r\nk=v\r\n"},
    {"CallerNamesAreTrimmedOnWrite", "", " S\t", " k ", "v", "[S]\r\nk=v\r\n"},
    {"ValueIsWrittenAsGiven", "", "S", "k", " \"q\" ", "[S]\r\nk= \"q\" \r\n"},
    {"NewSectionIsAppended", "[a]\r\nx=1\r\n", "b", "k", "v", "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
    {"NewSectionAfterUnendedLastLine", "[a]\r\nx=1", "b", "k", "v", "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
    {"NewSectionAfterLfFileUsesCrLf", "[a]\nx=1\n", "b", "k", "v", "[a]\nx=1\n[b]\r\nk=v\r\n"},
    {"NewSectionAfterLoneCr", "[a]\rx=1\r", "b", "k", "v", "[a]\rx=1\r[b]\r\nk=v\r\n"},
    {"NewSectionKeepsTrailingBlankLines", "[a]\r\nx=1\r\n\r\n", "b", "k", "v",
     "[a]\r\nx=1\r\n\r\n[b]\r\nk=v\r\n"},
    {"NulBytesBeforeFirstSectionAreKept", "Data \0 before \0 first \0 section"sv, "section1", "key1",
     "string1", "Data \0 before \0 first \0 section\r\n[section1]\r\nkey1=string1\r\n"sv},
    {"NewKeyInMiddleSectionBeforeNextHeader", "[a]\r\nx=1\r\n[b]\r\ny=2\r\n[c]\r\nz=3\r\n", "b", "k", "v",
     "[a]\r\nx=1\r\n[b]\r\ny=2\r\nk=v\r\n[c]\r\nz=3\r\n"},
    {"NewKeyGoesAboveBlankLinesEndingSection", "[a]\r\nx=1\r\n\r\n\t\r\n[b]\r\n", "a", "k", "v",
     "[a]\r\nx=1\r\nk=v\r\n\r\n\t\r\n[b]\r\n"},
    {"NewKeyGoesBelowOtherLinesEndingSection", "[a]\r\nx=1\r\n; note\r\n[b]\r\n", "a", "k", "v",
     "[a]\r\nx=1\r\n; note\r\nk=v\r\n[b]\r\n"},
    {"NewKeyInSectionWithOnlyHeader", "[a]\r\n\r\n[b]\r\n", "A", "k", "v", "[a]\r\nk=v\r\n\r\n[b]\r\n"},
    {"NewKeyAfterUnendedLastLine", "[a]\r\nx=1", "a", "k", "v", "[a]\r\nx=1\r\nk=v\r\n"},
    {"NewKeyAfterUnendedHeader", "[a]", "a", "k", "v", "[a]\r\nk=v\r\n"},
    {"NewKeyKeepsLfEndingsAround", "[a]\nx=1\n[b]\n", "a", "k", "v", "[a]\nx=1\nk=v\r\n[b]\n"},
    {"NewKeyInTrimmedHeaderSection", "[ s ]\r\n", "s", "k", "v", "[ s ]\r\nk=v\r\n"},
    {"NewKeyGoesToFirstDuplicateSection", "[s]\r\na=1\r\n[t]\r\n[S]\r\nb=2\r\n", "s", "b", "3",
     "[s]\r\na=1\r\nb=3\r\n[t]\r\n[S]\r\nb=2\r\n"},
    {"ReplaceKeepsOtherBytes", "[a]\n  x =  1 \n[b]\n y\t=\t2\n\n", "b", "y", "3",
     "[a]\n  x =  1 \n[b]\ny=3\n\n"},
    {"ReplaceKeepsSpellingOfKey", "[Sec]\r\nKeyName=old\r\n", "sec", "keyname", "new",
     "[Sec]\r\nKeyName=new\r\n"},
    {"ReplaceOnlyFirstDuplicateKey", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "9", "[s]\r\nk=9\r\nk=2\r\n"},
    {"ReplaceInUnendedLastLineAddsNoLineEnd", "[s]\r\nk=1", "s", "k", "2", "[s]\r\nk=2"},
    {"ReplaceWithLoneCrEndings", "[s]\rk=1\rj=2", "s", "k", "9", "[s]\rk=9\rj=2"},
    {"ReplaceEmptyValue", "[s]\r\nk=\r\n", "s", "k", "v", "[s]\r\nk=v\r\n"},
    {"ReplaceKeepsByteOrderMark", "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", "2", "\xEF\xBB\xBF[s]\r\nk=2\r\n"},
    {"KeyWithEqualsIsWrittenAsIs", "[s]\r\n", "s", "a=b", "v", "[s]\r\na=b=v\r\n"},
    {"ValueWithEqualsIsWrittenAsIs", "[s]\r\nk=1\r\n", "s", "k", "x=y", "[s]\r\nk=x=y\r\n"},
    {"TopKeyIsReplacedForSectionEmpty", "k=1\r\n[s]\r\n", "", "k", "2", "k=2\r\n[s]\r\n"},
    {"NewTopKeyForSectionEmpty", "k=1\r\n\r\n[s]\r\n", "", "j", "3", "k=1\r\nj=3\r\n\r\n[s]\r\n"},
    {"SectionEmptyWithoutTopKeysIsAppended", ";c\r\n[s]\r\n", "", "k", "v", ";c\r\n[s]\r\n[]\r\nk=v\r\n"},
    {"ExplicitEmptyHeaderTakesSectionEmptyWrites", "k=1\r\n[]\r\nk=2\r\n", "", "k", "3",
     "k=1\r\n[]\r\nk=3\r\n"},
};

TEST(ProfileText, UpdateChangesOnlyTheLinesItMust) {
    for (const UpdateCase& row : kUpdateCases) {
        SCOPED_TRACE(row.behaviour);
        EXPECT_EQ(ProfileUpdate(row.content, row.section, row.key, row.value), row.expected);
    }
}

// Every value other than the one written reads the same afterwards, and the written one reads back.
TEST(ProfileText, UpdateLeavesEveryOtherValueAlone) {
    const std::string_view contents[] = {
        "",
        "top=0\r\n[a]\r\nx=1\r\n\r\n[b]\ny=2\n[A]\rx=dup\r",
        "[a]\r\nx=1\r\n[c]",
        "\xEF\xBB\xBF[b]\r\n;x=1\r\nflag\r\n[ a ]\r\nx = \"1\"\r\n\r\n",
    };
    const std::string_view targets[][2] = {{"a", "x"}, {"a", "new"}, {"b", "y"}, {"", "top"},
                                           {"", "t2"}, {"c", "k"},   {"zz", "k"}};
    for (const std::string_view content : contents) {
        for (const auto& target : targets) {
            SCOPED_TRACE(testing::Message() << "content " << testing::PrintToString(std::string(content))
                                            << " target " << target[0] << "/" << target[1]);
            const ProfileDocument before = ProfileDocument::Parse(content);
            const std::string updated = ProfileUpdate(content, target[0], target[1], "written");
            const ProfileDocument after = ProfileDocument::Parse(updated);
            EXPECT_EQ(after.Find(target[0], target[1]), "written");
            for (const std::string& section : before.SectionNames()) {
                EXPECT_TRUE(after.HasSection(section));
                for (const std::string& key : before.KeyNames(section)) {
                    const bool isTarget =
                        EqualsIgnoreCase(section, target[0]) && EqualsIgnoreCase(key, target[1]);
                    if (!isTarget) {
                        EXPECT_EQ(after.Find(section, key), before.Find(section, key))
                            << section << "/" << key;
                    }
                }
            }
        }
    }
}

TEST(ProfileText, HostileContentDoesNotBreakParsing) {
    std::mt19937 random(20240611);
    std::string garbage(64 * 1024, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(random() & 0xFF);
    }
    const std::string oneMegabyteLine = "[s]\r\nk=" + std::string(1024 * 1024, 'x');
    const std::string bracketLine(1024 * 1024, '[');
    const std::string closingLine = "[" + std::string(1024 * 1024, ']');
    const std::string_view contents[] = {
        garbage,    oneMegabyteLine,   bracketLine, closingLine, "[",        "[\r\n=\r\n",
        "\r",       "\r\r\r\n\n",      "=",         "[]",        "\xEF\xBB", "\xEF\xBB\xBF",
        "\0\0\0"sv, "[\0]\r\n\0=\0"sv,
    };
    for (const std::string_view content : contents) {
        SCOPED_TRACE(testing::Message() << "content of " << content.size() << " bytes");
        const ProfileDocument document = ProfileDocument::Parse(content);
        for (const std::string& section : document.SectionNames()) {
            for (const std::string& key : document.KeyNames(section)) {
                EXPECT_EQ(document.Find(section, key), ProfileLookup(content, section, key));
            }
        }
        const std::string updated = ProfileUpdate(content, "qb-test", "k", "v");
        EXPECT_EQ(updated.substr(0, content.size()), content) << "an appended section keeps the old bytes";
        EXPECT_EQ(ProfileLookup(updated, "qb-test", "k"), "v");
    }
    EXPECT_EQ(ProfileLookup(oneMegabyteLine, "s", "k"), std::string(1024 * 1024, 'x'));
    EXPECT_EQ(ProfileDocument::Parse(closingLine).SectionNames(),
              std::vector<std::string>{std::string(1024 * 1024 - 1, ']')});
}

// Quadratic work on either shape would take minutes; linear work takes well under a second.
TEST(ProfileText, HundredThousandLinesParseInLinearTime) {
    std::string manyKeys = "[s]\r\n";
    std::string manySections;
    for (int i = 0; i < 100000; ++i) {
        manyKeys += "key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
        manySections += "[sec" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    }
    const ProfileDocument keys = ProfileDocument::Parse(manyKeys);
    EXPECT_EQ(keys.KeyNames("s").size(), 100000u);
    EXPECT_EQ(keys.Find("s", "KEY99999"), "99999");
    const ProfileDocument sections = ProfileDocument::Parse(manySections);
    EXPECT_EQ(sections.SectionNames().size(), 100000u);
    EXPECT_EQ(sections.Find("SEC99999", "k"), "99999");
    EXPECT_EQ(ProfileLookup(manySections, "sec99999", "k"), "99999");
    const std::string updated = ProfileUpdate(manyKeys, "s", "key0", "zero");
    EXPECT_EQ(updated.size(), manyKeys.size() + 3);
}

} // namespace
} // namespace qb

namespace qb {

// Building a new file in one pass gives the bytes that one write after another gives.
TEST(ProfileBuild, MatchesWritingTheEntriesOneAfterAnother) {
    const std::vector<std::vector<ProfileEntry>> cases = {
        {},
        {{"General Info", "Description", "x"}, {"General Info", "Count", "2"}, {"Item 0", "Name", "a"}},
        {{"S", "k", "1"}, {"s", "K", "2"}, {" T ", " key ", " spaced "}, {"S", "other", ""}},
        {{"S", "a=b", "1"}, {"S", "a", "2"}}, // a key that reads back as a shorter one
        {{"", "top", "1"}, {"S", "k", "v"}},  // outside any section
        {{"Zürich", "Straße", "Größe"}, {"ZÜRICH", "STRASSE", "x"}},
    };
    for (const auto& entries : cases) {
        std::string expected;
        for (const auto& e : entries) {
            expected = ProfileUpdate(expected, e.section, e.key, e.value);
        }
        EXPECT_EQ(ProfileBuild(entries), expected);
    }
}

} // namespace qb

namespace qb {

// A value that reading would change goes out in one more pair of quotes and comes back whole; every other
// value is written as it is, so files keep their look.
TEST(ProfileQuoted, EveryValueReadsBackAsItWasWritten) {
    const struct {
        std::string_view value;
        std::string_view written;
    } cases[] = {
        {R"("C:\Program Files\Tallybird\tallybird.exe" --config "C:\x y\c.ini")",
         R"(""C:\Program Files\Tallybird\tallybird.exe" --config "C:\x y\c.ini"")"},
        {R"("C:\Apps\agent.exe")", R"(""C:\Apps\agent.exe"")"},
        {"'single'", "\"'single'\""},
        {"\"\"", "\"\"\"\""},
        {"''", "\"''\""},
        {" lead", "\" lead\""},
        {"trail\t", "\"trail\t\""},
        {" ", "\" \""},
        {R"( "C:\a.exe" )", R"(" "C:\a.exe" ")"},
        // Read as written already.
        {"plain", "plain"},
        {"", ""},
        {"\"", "\""},
        {R"("C:\App\app.exe" /min)", R"("C:\App\app.exe" /min)"},
        {R"("x')", R"("x')"},
        {R"(C:\a.exe "arg")", R"(C:\a.exe "arg")"},
        {"in \"side\" quotes", "in \"side\" quotes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ProfileQuoted(c.value), c.written);
        const std::string file = ProfileUpdate("", "S", "k", ProfileQuoted(c.value));
        EXPECT_EQ(ProfileLookup(file, "S", "k"), std::optional<std::string>(c.value));
    }
}

} // namespace qb
