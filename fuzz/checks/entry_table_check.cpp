#include "checks/reader_checks.h"
#include "knowledge/entry_table.h"
#include "platform/text.h"

#include <map>

namespace qb::fuzz {

namespace {

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The table as its rules read, written for plainness rather than speed: upper-cased section ->
// upper-cased key -> value, the first of each name winning.
using Model = std::map<std::string, std::map<std::string, std::string>>;

Model ReadModel(std::string_view content) {
    if (content.substr(0, 3) == "\xEF\xBB\xBF") {
        content.remove_prefix(3);
    }
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (content[i] == '\r' || content[i] == '\n') {
            lines.push_back(content.substr(start, i - start));
            if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < content.size()) {
        lines.push_back(content.substr(start));
    }
    Model model;
    std::map<std::string, std::string>* section = nullptr;
    for (std::string_view line : lines) {
        line = Trim(line);
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const std::string name = UpperCase(Trim(line.substr(1, line.size() - 2)));
            section = model.count(name) != 0 ? nullptr : &model[name];
            continue;
        }
        const auto equals = line.find('=');
        if (section != nullptr && equals != std::string_view::npos) {
            section->emplace(UpperCase(Trim(line.substr(0, equals))),
                             std::string(Trim(line.substr(equals + 1))));
        }
    }
    return model;
}

std::string_view ModelValue(const Model& model, std::string_view section, std::string_view key) {
    const auto s = model.find(UpperCase(section));
    if (s == model.end()) {
        return {};
    }
    const auto k = s->second.find(UpperCase(key));
    return k == s->second.end() ? std::string_view() : std::string_view(k->second);
}

} // namespace

Finding CheckEntryTable(std::string_view input) {
    const auto fields = SplitFields(input);
    const std::string_view content = fields[0];
    const EntryTable table = EntryTable::Parse(content);
    const Model model = ReadModel(content);
    if (table.SectionCount() != model.size()) {
        return std::to_string(table.SectionCount()) + " sections where the rules give " +
               std::to_string(model.size());
    }
    for (const auto& [section, keys] : model) {
        for (const auto& [key, value] : keys) {
            if (table.Value(section, key) != value) {
                return "'" + section + "', '" + key + "' reads '" + std::string(table.Value(section, key)) +
                       "' where the rules give '" + value + "'";
            }
        }
    }
    if (fields.size() >= 3 && table.Value(fields[1], fields[2]) != ModelValue(model, fields[1], fields[2])) {
        return "the given names read '" + std::string(table.Value(fields[1], fields[2])) +
               "' where the rules give '" + std::string(ModelValue(model, fields[1], fields[2])) + "'";
    }
    return std::nullopt;
}

} // namespace qb::fuzz
