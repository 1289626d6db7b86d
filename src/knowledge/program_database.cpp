#include "knowledge/program_database.h"

#include "inventory/command_line.h"
#include "knowledge/ratings.h"

#include <algorithm>
#include <optional>

namespace qb {

namespace {

constexpr std::string_view kUnknownApplication = "Unknown Application";
constexpr std::string_view kConfirmed = "Confirmed";
constexpr std::size_t kMostKeptRatings = 1 << 17;

EntryTable LoadEntryTable(FileSystem& files, const std::string& path) {
    const std::optional<std::string> content = files.ReadFile(path);
    return content ? EntryTable::Parse(*content) : EntryTable();
}

} // namespace

ProgramDatabase::ProgramDatabase(FileSystem& files)
    : entries_(LoadEntryTable(files, JoinPath(files.ExecutableDirectory(), "st.dat"))),
      names_(files, JoinPath(files.ExecutableDirectory(), "sn.dat")),
      fileNames_(files, JoinPath(files.ExecutableDirectory(), "fn.dat")),
      patterns_(files, JoinPath(files.ExecutableDirectory(), "sp.dat")) {}

Rating ProgramDatabase::LookupRating(std::string_view name, std::string_view command) {
    if (ratings_.size() > kMostKeptRatings) {
        ratings_.clear(); // a long session's edited commands never pile up
    }
    std::string key;
    key.reserve(name.size() + 1 + command.size());
    key.append(name).push_back('\0');
    key.append(command);
    // The main table is read once and never changes: what it answered needs no check of any file.
    auto kept = ratings_.find(key);
    if (kept != ratings_.end() && kept->second.fromMainTable) {
        return kept->second.rating;
    }
    if (kept == ratings_.end()) {
        if (const std::string_view value = MainTableValue(name, TargetFileName(command), kConfirmed);
            !value.empty()) {
            const Rating rating = RatingFromLetter(value);
            ratings_.emplace(std::move(key), KeptRating{rating, true});
            return rating;
        }
    }
    if (RefreshTables() || kept == ratings_.end()) {
        const Rating rating = RatingFromLetter(TablesValue(name, TargetFileName(command), kConfirmed));
        ratings_.insert_or_assign(std::move(key), KeptRating{rating, false});
        return rating;
    }
    return kept->second.rating;
}

bool ProgramDatabase::RefreshTables() {
    // Each table is refreshed, not only up to the first that changed: a later one changed too would
    // otherwise be seen only at the next lookup, after answers from its old rules were kept.
    const bool names = names_.Refresh();
    const bool fileNames = fileNames_.Refresh();
    const bool patterns = patterns_.Refresh();
    if (!(names || fileNames || patterns)) {
        return false;
    }
    std::erase_if(ratings_, [](const auto& kept) { return !kept.second.fromMainTable; });
    return true;
}

std::string ProgramDatabase::LookupDescription(std::string_view caption, std::string_view commandCell) {
    std::string_view command = commandCell;
    if (command.find(kInvalidPathMarker) != std::string_view::npos) {
        command.remove_prefix(std::min(command.size(), kInvalidPathMarker.size()));
    }
    std::string text = Search(caption, command, "Description", EmptyFileName::Read);
    return text.empty() ? std::string(kUnknownApplication) : text;
}

Rating ProgramDatabase::LookupCommandRating(std::string_view name, std::string_view command) {
    return RatingFromLetter(Search(name, command, kConfirmed, EmptyFileName::Skip, ByName::No));
}

std::string ProgramDatabase::LookupCommandDescription(std::string_view caption,
                                                      std::string_view commandCell) {
    std::string_view command = commandCell;
    if (command.find(kInvalidPathMarker) != std::string_view::npos) {
        command.remove_prefix(std::min(command.size(), kInvalidPathMarker.size()));
    }
    std::string text = Search(caption, command, "Description", EmptyFileName::Read, ByName::No);
    return text.empty() ? std::string(kUnknownApplication) : text;
}

std::string ProgramDatabase::LookupValue(std::string_view name, std::string_view command,
                                         std::string_view key) {
    return Search(name, command, key, EmptyFileName::Skip);
}

std::string ProgramDatabase::SearchPatterns(std::string_view name, std::string_view fileName,
                                            std::string_view key) {
    return patterns_.SearchPatterns(name, fileName, key);
}

std::string_view ProgramDatabase::MainTableValue(std::string_view name, std::string_view fileName,
                                                 std::string_view key) const {
    if (const std::string_view value = entries_.Value(name, key); !value.empty()) {
        return value;
    }
    std::string pair;
    pair.reserve(name.size() + 1 + fileName.size());
    pair.append(name).append("|").append(fileName);
    return entries_.Value(pair, key);
}

std::string ProgramDatabase::TablesValue(std::string_view name, std::string_view fileName,
                                         std::string_view key) const {
    if (std::string value = names_.Value(name, key); !value.empty()) {
        return value;
    }
    if (!fileName.empty()) {
        if (std::string value = fileNames_.Value(fileName, key); !value.empty()) {
            return value;
        }
    }
    return patterns_.Search(name, fileName, key);
}

std::string ProgramDatabase::Search(std::string_view name, std::string_view command, std::string_view key,
                                    EmptyFileName emptyFileName, ByName byName) {
    const std::string fileName = TargetFileName(command);
    if (byName == ByName::No) {
        // A pair names the program along with the entry; the name alone may name the one that was there.
        std::string pair;
        pair.append(name).append("|").append(fileName);
        if (const std::string_view value = entries_.Value(pair, key); !value.empty()) {
            return std::string(value);
        }
    } else if (const std::string_view value = MainTableValue(name, fileName, key); !value.empty()) {
        return std::string(value);
    }
    names_.Refresh();
    if (byName == ByName::Yes) {
        if (std::string value = names_.Value(name, key); !value.empty()) {
            return value;
        }
    }
    if (!fileName.empty() || emptyFileName == EmptyFileName::Read) {
        fileNames_.Refresh();
        if (std::string value = fileNames_.Value(fileName, key); !value.empty()) {
            return value;
        }
    }
    // An empty name matches no rule's name pattern.
    return patterns_.SearchPatterns(byName == ByName::Yes ? name : std::string_view(), fileName, key);
}

} // namespace qb
