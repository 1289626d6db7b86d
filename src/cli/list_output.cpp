#include "cli/list_output.h"

#include "cli/json_output.h"
#include "cli/terminal_text.h"
#include "inventory/row_texts.h"
#include "inventory/startup_location.h"
#include "knowledge/ratings.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>

namespace qb::cli {

namespace {

std::string CsvField(std::string_view raw) {
    // A spreadsheet takes a cell that begins with one of these for a formula: a name or command chosen by
    // whoever put the entry there would run in the reader's sheet. A leading quote makes it text again.
    std::string text(raw);
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
        text.insert(0, 1, '\'');
    }
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    return out + "\"";
}

void PrintJson(std::ostream& out, const std::vector<const StartupItem*>& items) {
    auto rows = nlohmann::ordered_json::array();
    for (const StartupItem* item : items) {
        rows.push_back(
            {{"name", item->Name.str()},
             {"command", ShownCommand(*item)}, // whole, with a shortcut's arguments
             {"location", item->Location.str()},
             {"state", StateText(item->State)},
             {"rating", RatingText(item->Rating)},
             // Of a removed entry nothing was looked at.
             {"pathValid", item->Change == ChangeMark::Removed ? nlohmann::ordered_json(nullptr)
                                                               : nlohmann::ordered_json(item->PathValid)},
             {"memoryKB", item->MemoryKB},
             {"peakMemoryKB", item->PeakMemoryKB},
             {"approved", !item->SwitchedOff},
             {"change", item->Change == ChangeMark::None
                            ? nlohmann::ordered_json(nullptr)
                            : nlohmann::ordered_json(ChangeMarkName(item->Change))}});
    }
    WriteJson(out, rows);
}

void PrintCsv(std::ostream& out, const std::vector<const StartupItem*>& items) {
    out << "name,command,location,state,rating,pathValid,memoryKB,peakMemoryKB,change\r\n";
    for (const StartupItem* item : items) {
        out << CsvField(item->Name) << ',' << CsvField(ShownCommand(*item)) << ',' << CsvField(item->Location)
            << ',' << StateText(item->State) << ',' << CsvField(RatingText(item->Rating)) << ','
            << (item->Change == ChangeMark::Removed ? ""
                : item->PathValid                   ? "true"
                                                    : "false")
            << ',' << item->MemoryKB << ',' << item->PeakMemoryKB << ',' << ChangeMarkName(item->Change)
            << "\r\n";
    }
}

void PrintTable(std::ostream& out, const std::vector<const StartupItem*>& items, bool statusOnly) {
    // The change marks get a column when some entry has one; a setting without surprises reads as before.
    const bool marks =
        std::any_of(items.begin(), items.end(), [](const StartupItem* item) { return item->Change != ChangeMark::None; });
    std::vector<std::vector<std::string>> rows;
    rows.push_back(
        {"State", "Program Name", "Rating", statusOnly ? "Status" : "Memory", "Location", "Command Path"});
    if (marks) {
        rows.back().insert(rows.back().begin() + 1, "Change");
    }
    for (const StartupItem* item : items) {
        rows.push_back({std::string(StateText(item->State)), TerminalText(ShownName(item->Name.str())),
                        std::string(RatingText(item->Rating)), MemoryCellText(*item), item->Location.str(),
                        TerminalText(item->Change == ChangeMark::Removed ? ShownCommand(*item)
                                                                         : CommandCellText(*item))});
        if (marks) {
            rows.back().insert(rows.back().begin() + 1, std::string(ChangeMarkName(item->Change)));
        }
    }
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) {
                line.append(widths[c] - DisplayWidth(row[c]) + 2, ' ');
            }
        }
        out << line << '\n';
    }
    out << items.size() << (items.size() == 1 ? " entry" : " entries") << '\n';
}

} // namespace

std::vector<const StartupItem*> ListedItems(const Inventory& inventory, bool all) {
    std::vector<const StartupItem*> listed;
    for (const auto& item : inventory.Items) {
        if (item->State == ItemState::Deleted) {
            continue;
        }
        const StartupLocation* location = FindLocation(item->Location);
        if (all || (location != nullptr && NodeListsLocation(kAllProgramsNode, *location))) {
            listed.push_back(item.get());
        }
    }
    return listed;
}

void PrintList(std::ostream& out, const std::vector<const StartupItem*>& items, ListFormat format,
               bool statusOnly) {
    switch (format) {
    case ListFormat::Json:
        PrintJson(out, items);
        break;
    case ListFormat::Csv:
        PrintCsv(out, items);
        break;
    case ListFormat::Table:
        PrintTable(out, items, statusOnly);
        break;
    }
}

} // namespace qb::cli
