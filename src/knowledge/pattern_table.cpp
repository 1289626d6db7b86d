#include "knowledge/pattern_table.h"

#include "platform/profile_files.h"
#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace qb {

namespace {

// The rule number a section name stands for: the decimal a lookup of rule i would spell ("7", not "07"
// or "+7"); nullopt for any other name.
std::optional<int> RuleNumber(std::string_view name) {
    if (name.empty() || (name.size() > 1 && name.front() == '0')) {
        return std::nullopt;
    }
    int number = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (error != std::errc() || end != name.data() + name.size() || number < 0) {
        return std::nullopt;
    }
    return number;
}

} // namespace

std::size_t CharacterCount(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

RulePattern::RulePattern(std::string pattern) : pattern_(std::move(pattern)) {
    const std::size_t first = pattern_.find('*');
    const std::size_t last = pattern_.rfind('*');
    prefixSize_ = first == std::string::npos ? 0 : first;
    suffixStart_ = last == std::string::npos ? pattern_.size() : last + 1;
    length_ = CharacterCount(pattern_);
}

bool RulePattern::Matches(std::string_view text, std::size_t textLength) const {
    if (text.empty()) {
        return false;
    }
    const std::string_view pattern = pattern_;
    const std::string_view prefix = pattern.substr(0, prefixSize_);
    const std::string_view suffix = pattern.substr(suffixStart_);
    if (prefix.empty() && suffix.empty()) {
        return text == pattern;
    }
    return textLength == length_ && text.starts_with(prefix) &&
           (suffix.empty() || text.find(suffix) != std::string_view::npos);
}

bool MatchRule(std::string_view text, std::string_view pattern) {
    return RulePattern(std::string(pattern)).Matches(text, CharacterCount(text));
}

PatternTable::PatternTable(FileSystem& files, std::string path) : profile_(files, std::move(path)) {}

void PatternTable::Rebuild() {
    rules_.clear();
    const int count = ParseProfileInteger(profile_.Value("general", "count")).value_or(0);
    for (const std::string& name : profile_.Document().SectionNames()) {
        const std::optional<int> number = RuleNumber(name);
        if (!number || *number >= count) {
            continue;
        }
        rules_.push_back(Rule{*number, name, RulePattern(UpperCase(profile_.Value(name, "Section"))),
                              RulePattern(UpperCase(profile_.Value(name, "Filename")))});
    }
    std::sort(rules_.begin(), rules_.end(), [](const Rule& a, const Rule& b) { return a.number < b.number; });
    byNameLength_.clear();
    byFileLength_.clear();
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        byNameLength_[rules_[i].namePattern.Length()].push_back(i);
        byFileLength_[rules_[i].filePattern.Length()].push_back(i);
    }
}

bool PatternTable::Refresh() {
    if (!profile_.Refresh()) {
        return false;
    }
    Rebuild();
    return true;
}

std::string PatternTable::SearchPatterns(std::string_view name, std::string_view fileName,
                                         std::string_view key) {
    Refresh();
    return Search(name, fileName, key);
}

std::string PatternTable::Search(std::string_view name, std::string_view fileName,
                                 std::string_view key) const {
    if (rules_.empty()) {
        return {};
    }
    const std::string upperName = UpperCase(name);
    const std::string upperFileName = UpperCase(fileName);
    const std::size_t nameLength = CharacterCount(upperName);
    const std::size_t fileNameLength = CharacterCount(upperFileName);
    static const std::vector<std::size_t> kNone;
    const auto candidates = [](const auto& index, std::size_t length) -> const std::vector<std::size_t>& {
        const auto it = index.find(length);
        return it == index.end() ? kNone : it->second;
    };
    const auto& byName = candidates(byNameLength_, nameLength);
    const auto& byFile = candidates(byFileLength_, fileNameLength);
    // Both lists ascend: walking them together visits the candidates in rule-number order.
    std::size_t i = 0, j = 0;
    while (i < byName.size() || j < byFile.size()) {
        std::size_t position = 0;
        if (j == byFile.size() || (i < byName.size() && byName[i] <= byFile[j])) {
            position = byName[i];
        } else {
            position = byFile[j];
        }
        while (i < byName.size() && byName[i] == position) {
            ++i;
        }
        while (j < byFile.size() && byFile[j] == position) {
            ++j;
        }
        const Rule& rule = rules_[position];
        // Matching by name or by file name reads the same value, so either match is enough.
        if (rule.namePattern.Matches(upperName, nameLength) ||
            rule.filePattern.Matches(upperFileName, fileNameLength)) {
            std::string value = profile_.Value(rule.section, key);
            if (!value.empty()) {
                return value;
            }
        }
    }
    return {};
}

} // namespace qb
