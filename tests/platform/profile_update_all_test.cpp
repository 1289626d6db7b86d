#include "platform/profile_files.h"
#include "platform/profile_text.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace qb {
namespace {

// The writes one at a time, whose bytes the one-pass writer must give.
std::string OneAtATime(std::string content, const std::vector<ProfileEntry>& entries) {
    for (const auto& entry : entries) {
        content = ProfileUpdate(content, entry.section, entry.key, entry.value);
    }
    return content;
}

struct UpdateCase {
    const char* behaviour;
    std::string content;
    std::vector<ProfileEntry> entries;
};

TEST(ProfileUpdateAll, GivesTheBytesOfOneWriteAfterAnother) {
    const UpdateCase cases[] = {
        {"keys replaced in place keep their spelling and line ends",
         "[Item 0]\nName=old\r\nStatus=Enabled\r[Other]\r\nx=1",
         {{"item 0", "NAME", "new"}, {"Item 0", "status", "Disabled"}, {"Item 0", "Name", "newer"}}},
        {"new keys go below the last non-blank line, above the blank lines before the next header",
         "[A]\r\na=1\r\n\r\n\r\n[B]\r\nb=1\r\n",
         {{"A", "c", "3"}, {"B", "d", "4"}, {"A", "e", "5"}, {"A", "c", "33"}}},
        {"a last line without a line end gets one before a new key", "[A]\r\na=1", {{"A", "b", "2"}}},
        {"a replaced last line without a line end, then a new key",
         "[A]\r\na=1",
         {{"A", "a", "9"}, {"A", "b", "2"}}},
        {"new sections are appended in the order they came, after a line end",
         "[A]\r\na=1",
         {{"C", "c", "1"}, {"B", "b", "1"}, {"C", "d", "2"}, {"A", "e", "3"}}},
        {"only the first of two sections of one name is written",
         "[A]\r\nk=1\r\n[B]\r\n[a]\r\nk=2\r\n",
         {{"A", "k", "new"}, {"A", "n", "new"}}},
        {"a byte order mark stays, and alone it is empty content", "\xEF\xBB\xBF", {{"S", "k", "v"}}},
        {"a header with no key gets its keys right below it", "[A]\r\n\r\n[B]\r\n", {{"A", "k", "v"}}},
        {"keys above the first header are a section apart", "top=1\r\n[A]\r\n", {{"A", "top", "2"}}},
        {"a key holding = is written as given, as one write after another does",
         "[A]\r\n",
         {{"A", "a=b", "1"}, {"A", "a", "2"}}},
        {"a key that reads as a header is left to the one-at-a-time writer",
         "[A]\r\nx=1\r\n",
         {{"A", "[B]", "1"}, {"A", "x", "2"}, {"B", "y", "3"}}},
        {"the section above the first header is left to the one-at-a-time writer",
         "k=1\r\n[A]\r\n",
         {{"", "k", "2"}, {"A", "k", "3"}}},
        {"names are trimmed", "[ A ]\r\n k =1\r\n", {{" a ", " K ", "2"}, {" New ", " n ", "3"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.behaviour);
        EXPECT_EQ(ProfileUpdateAll(c.content, c.entries), OneAtATime(c.content, c.entries));
    }
}

// Random files of every line shape the reader knows, written over with random entries.
TEST(ProfileUpdateAll, AgreesWithOneWriteAfterAnotherOnRandomFiles) {
    std::mt19937 random(4242);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* names[] = {"a", "A", "b", "Item 0", "ITEM 0", "c d", "e"};
    const char* ends[] = {"\r\n", "\n", "\r"};
    for (int round = 0; round < 2000; ++round) {
        std::string content = pick(8) == 0 ? "\xEF\xBB\xBF" : "";
        const int lineCount = pick(12);
        for (int i = 0; i < lineCount; ++i) {
            switch (pick(5)) {
            case 0:
                content += std::string("[") + names[pick(7)] + "]";
                break;
            case 1:
                content += "";
                break;
            case 2:
                content += std::string(pick(2) ? " " : "") + names[pick(7)] + "=" + std::to_string(pick(100));
                break;
            case 3:
                content += "no key here";
                break;
            default:
                content += std::string(names[pick(7)]) + " = v";
                break;
            }
            if (i + 1 < lineCount || pick(2) == 0) {
                content += ends[pick(3)];
            }
        }
        std::vector<ProfileEntry> entries;
        const int entryCount = 1 + pick(8);
        for (int i = 0; i < entryCount; ++i) {
            entries.push_back({names[pick(7)], names[pick(7)], "v" + std::to_string(i)});
        }
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(ProfileUpdateAll(content, entries), OneAtATime(content, entries)) << content;
    }
}

} // namespace
} // namespace qb
