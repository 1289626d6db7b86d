#include "knowledge/entry_table.h"

#include "platform/text.h"

namespace qb {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

} // namespace

EntryTable EntryTable::Parse(std::string_view content) {
    EntryTable table;
    if (content.starts_with(kUtf8Bom)) {
        content.remove_prefix(kUtf8Bom.size());
    }
    // Null while outside any section, or inside a repeated one whose first occurrence already counts.
    Keys* current = nullptr;
    while (!content.empty()) {
        const std::size_t end = content.find_first_of("\r\n");
        std::string_view line = content.substr(0, end);
        if (end == std::string_view::npos) {
            content = {};
        } else {
            const bool crlf = content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n';
            content.remove_prefix(end + (crlf ? 2 : 1));
        }

        line = TrimBlanks(line);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            const auto [it, inserted] =
                table.sections_.try_emplace(UpperCase(TrimBlanks(line.substr(1, line.size() - 2))));
            current = inserted ? &it->second : nullptr;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string_view::npos) {
            continue;
        }
        current->try_emplace(UpperCase(TrimBlanks(line.substr(0, equals))), TrimBlanks(line.substr(equals + 1)));
    }
    return table;
}

std::string_view EntryTable::Value(std::string_view section, std::string_view key) const {
    const auto found = sections_.find(UpperCase(section));
    if (found == sections_.end()) {
        return {};
    }
    const auto value = found->second.find(UpperCase(key));
    return value == found->second.end() ? std::string_view() : std::string_view(value->second);
}

} // namespace qb
