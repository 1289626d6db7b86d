#include "checks/reader_checks.h"
#include "platform/profile_files.h"
#include "platform/profile_text.h"
#include "platform/text.h"

#include <unordered_set>

namespace qb::fuzz {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// What GetPrivateProfileString gives back for a value written as is.
std::string ReadBack(std::string_view value) {
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// A write that must read back as itself: names and value on one line, a key that is a key (not empty, no
// '=' that would shorten it, no '[' that could make its line a header).
bool ReadsBackAsWritten(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view name = Trim(key);
    return !HasLineBreak(section) && !HasLineBreak(key) && !HasLineBreak(value) && !name.empty() &&
           name.find('=') == std::string_view::npos && name.front() != '[';
}

std::string Show(const std::optional<std::string>& value) {
    return value ? "'" + *value + "'" : "nothing";
}

Finding CheckDocument(std::string_view content, const ProfileDocument& document) {
    std::unordered_set<std::string> seenSections;
    for (const std::string& section : document.SectionNames()) {
        if (!seenSections.insert(UpperCase(section)).second) {
            return "the section '" + section + "' is listed twice";
        }
        if (!document.HasSection(section)) {
            return "the listed section '" + section + "' is not found";
        }
        std::unordered_set<std::string> seenKeys;
        for (const std::string& key : document.KeyNames(section)) {
            if (!seenKeys.insert(UpperCase(key)).second) {
                return "the key '" + key + "' is listed twice in '" + section + "'";
            }
            const auto value = document.Find(section, key);
            if (!value) {
                return "the listed key '" + key + "' of '" + section + "' is not found";
            }
            const auto lookup = ProfileLookup(content, section, key);
            if (lookup != value) {
                return "ProfileLookup gives " + Show(lookup) + " for '" + section + "', '" + key +
                       "' where the document gives " + Show(value);
            }
        }
    }
    return std::nullopt;
}

Finding CheckUpdate(std::string_view content, const ProfileDocument& before, std::string_view section,
                    std::string_view key, std::string_view value) {
    const std::string updated = ProfileUpdate(content, section, key, value);
    if (!ReadsBackAsWritten(section, key, value)) {
        return std::nullopt;
    }
    const ProfileDocument after = ProfileDocument::Parse(updated);
    if (auto finding = CheckDocument(updated, after)) {
        return "after an update, " + *finding;
    }
    const auto written = after.Find(section, key);
    if (written != ReadBack(value)) {
        return "the updated key reads back " + Show(written) + ", not '" + ReadBack(value) + "'";
    }
    const std::string sectionName = UpperCase(Trim(section));
    const std::string keyName = UpperCase(Trim(key));
    for (const std::string& s : before.SectionNames()) {
        for (const std::string& k : before.KeyNames(s)) {
            if (UpperCase(s) == sectionName && UpperCase(k) == keyName) {
                continue;
            }
            if (after.Find(s, k) != before.Find(s, k)) {
                return "updating '" + std::string(key) + "' changed '" + s + "', '" + k + "' from " +
                       Show(before.Find(s, k)) + " to " + Show(after.Find(s, k));
            }
        }
    }
    return std::nullopt;
}

Finding CheckBuild(const std::vector<ProfileEntry>& entries) {
    std::string oneByOne;
    for (const auto& entry : entries) {
        if (!ReadsBackAsWritten(entry.section, entry.key, entry.value)) {
            return std::nullopt;
        }
        oneByOne = ProfileUpdate(oneByOne, entry.section, entry.key, entry.value);
    }
    if (ProfileBuild(entries) != oneByOne) {
        return "ProfileBuild differs from the updates made one at a time";
    }
    return std::nullopt;
}

} // namespace

Finding CheckProfileText(std::string_view input) {
    const auto fields = SplitFields(input);
    const std::string_view content = fields[0];
    const ProfileDocument document = ProfileDocument::Parse(content);
    if (auto finding = CheckDocument(content, document)) {
        return finding;
    }
    const auto field = [&fields](std::size_t i) {
        return i < fields.size() ? fields[i] : std::string_view();
    };
    if (ProfileLookup(content, field(1), field(2)) != document.Find(field(1), field(2))) {
        return "ProfileLookup and the document disagree on the given names";
    }
    if (auto finding = CheckUpdate(content, document, field(1), field(2), field(3))) {
        return finding;
    }
    std::vector<ProfileEntry> entries;
    for (std::size_t i = 1; i < fields.size(); i += 3) {
        entries.push_back({std::string(field(i)), std::string(field(i + 1)), std::string(field(i + 2))});
    }
    return CheckBuild(entries);
}

} // namespace qb::fuzz
