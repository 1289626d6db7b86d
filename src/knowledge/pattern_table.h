#pragma once

#include "knowledge/cached_profile.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qb {

// A pattern of the rule file. Only three things count: the text before the first "*" (the prefix), the
// text after the last "*" (the suffix) and the length in characters, stars included; text between the
// first and the last star is ignored. So one star stands for exactly one character, and the suffix is
// looked for anywhere in the text, not only at its end. A pattern whose prefix and suffix are both empty
// (no star, or stars only at its ends) matches only the identical text.
class RulePattern {
public:
    RulePattern() = default;
    explicit RulePattern(std::string pattern);

    // textLength is CharacterCount(text), passed in so that a walk over many rules counts once.
    bool Matches(std::string_view text, std::size_t textLength) const;
    // Every text the pattern matches has this many characters.
    std::size_t Length() const { return length_; }

private:
    std::string pattern_;
    std::size_t prefixSize_ = 0;
    std::size_t suffixStart_ = 0; // pattern_.size() when the suffix is empty
    std::size_t length_ = 0;
};

// Characters of UTF-8 text (bytes that start a character; a stray continuation byte counts for none).
std::size_t CharacterCount(std::string_view text);

// True when the pattern matches the text; both are upper case already. An empty text matches nothing,
// and neither does an empty pattern.
bool MatchRule(std::string_view text, std::string_view pattern);

// The rule file: section "general" holds "count", sections "0" up to count less one hold one rule each,
// with the patterns "Section" (matched against the entry name) and "Filename" (against the target's file
// name) and the values the rule supplies.
class PatternTable {
public:
    PatternTable(FileSystem& files, std::string path);

    // Brings the rules up to date with the file (see CachedProfile::Refresh); true when they were replaced.
    bool Refresh();

    // The value of the key from the first rule, in number order, that matches the name or the file name
    // and has a value for the key; a matching rule without it does not stop the search. Empty when no
    // rule gives one. Checks the file once per call.
    std::string SearchPatterns(std::string_view name, std::string_view fileName, std::string_view key);
    // The same search in the rules as they are, without checking the file.
    std::string Search(std::string_view name, std::string_view fileName, std::string_view key) const;

private:
    struct Rule {
        int number = 0;
        std::string section; // the number in decimal, as a lookup spells it
        RulePattern namePattern;
        RulePattern filePattern;
    };

    void Rebuild();

    CachedProfile profile_;
    // Only rules whose section exists, below the count, in number order: a missing section has no
    // patterns and can match nothing, so a count far above the sections present costs nothing.
    std::vector<Rule> rules_;
    // Positions in rules_, ascending, by the length of the name and of the file-name pattern: a pattern
    // matches only text of its own length, so a lookup visits only the rules that could match it.
    std::unordered_map<std::size_t, std::vector<std::size_t>> byNameLength_;
    std::unordered_map<std::size_t, std::vector<std::size_t>> byFileLength_;
};

} // namespace qb
