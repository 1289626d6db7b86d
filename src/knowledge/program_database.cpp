#include "knowledge/program_database.h"

#include "inventory/command_line.h"
#include "knowledge/ratings.h"

#include <algorithm>
#include <optional>

namespace qb {

namespace {

constexpr std::string_view kUnknownApplication = "Unknown Application";
constexpr std::string_view kConfirmed = "Confirmed";

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
    const std::string fileName = TargetFileName(command);
    // The main table is read once and never changes: what it answers needs no check of any file.
    if (const std::string_view value = MainTableValue(name, fileName, kConfirmed); !value.empty()) {
        return RatingFromLetter(value);
    }
    RefreshTables();
    std::string key;
    key.reserve(name.size() + 1 + fileName.size());
    key.append(name).push_back('\0');
    key.append(fileName);
    if (const auto kept = ratings_.find(key); kept != ratings_.end()) {
        return kept->second;
    }
    const Rating rating = RatingFromLetter(TablesValue(name, fileName, kConfirmed));
    ratings_.emplace(std::move(key), rating);
    return rating;
}

void ProgramDatabase::RefreshTables() {
    // Each table is refreshed, not only up to the first that changed: a later one changed too would
    // otherwise be seen only at the next lookup, after answers from its old rules were kept.
    const bool names = names_.Refresh();
    const bool fileNames = fileNames_.Refresh();
    const bool patterns = patterns_.Refresh();
    if (names || fileNames || patterns) {
        ratings_.clear();
    }
}

std::string ProgramDatabase::LookupDescription(std::string_view caption, std::string_view commandCell) {
    std::string_view command = commandCell;
    if (command.find(kInvalidPathMarker) != std::string_view::npos) {
        command.remove_prefix(std::min(command.size(), kInvalidPathMarker.size()));
    }
    std::string text = Search(caption, command, "Description", EmptyFileName::Read);
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
                                    EmptyFileName emptyFileName) {
    const std::string fileName = TargetFileName(command);
    if (const std::string_view value = MainTableValue(name, fileName, key); !value.empty()) {
        return std::string(value);
    }
    names_.Refresh();
    if (std::string value = names_.Value(name, key); !value.empty()) {
        return value;
    }
    if (!fileName.empty() || emptyFileName == EmptyFileName::Read) {
        fileNames_.Refresh();
        if (std::string value = fileNames_.Value(fileName, key); !value.empty()) {
            return value;
        }
    }
    return patterns_.SearchPatterns(name, fileName, key);
}

} // namespace qb
