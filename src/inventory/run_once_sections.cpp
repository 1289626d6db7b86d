#include "inventory/run_once_sections.h"

#include "platform/text.h"

#include <algorithm>

namespace qb {

namespace {

constexpr std::string_view kDepend = "Depend";

} // namespace

std::optional<SectionValueName> SplitSectionEntryName(std::string_view name) {
    const auto cut = name.find('\\');
    if (cut == std::string_view::npos) {
        return std::nullopt;
    }
    return SectionValueName{std::string(name.substr(0, cut)), std::string(name.substr(cut + 1))};
}

std::string SectionEntryName(std::string_view section, std::string_view value) {
    return std::string(section) + "\\" + std::string(value);
}

bool IsSectionsKeySetting(std::string_view valueName) {
    return EqualsIgnoreCase(valueName, "Title") || EqualsIgnoreCase(valueName, "Flags");
}

bool IsSection(std::string_view subkeyName) {
    return !EqualsIgnoreCase(subkeyName, kDepend);
}

void SortAsRun(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return UpperCase(a) < UpperCase(b); });
}

std::string_view SectionCommandTarget(std::string_view command) {
    if (command.starts_with("||")) {
        return TrimBlanks(command.substr(2));
    }
    // A DLL's path holds no '|', which Windows forbids in file names; a command line may, as an argument.
    const auto pipe = command.find('|');
    if (pipe == std::string_view::npos || command.find('|', pipe + 1) == std::string_view::npos) {
        return command;
    }
    std::string_view dll = TrimBlanks(command.substr(0, pipe));
    if (dll.size() >= 2 && dll.front() == '"' && dll.back() == '"') {
        dll = dll.substr(1, dll.size() - 2);
    }
    return dll.empty() ? command : dll;
}

std::optional<std::string> SectionEntryNameProblem(std::string_view name) {
    const auto split = SplitSectionEntryName(name);
    if (!split) {
        if (IsSectionsKeySetting(name)) {
            return "\"" + std::string(name) + "\" is a setting of the key, not a command.";
        }
        return std::nullopt;
    }
    if (split->section.empty()) {
        return std::string("The section's name before the backslash is empty.");
    }
    if (!IsSection(split->section)) {
        return std::string("\"Depend\" lists DLLs to load, not commands.");
    }
    if (split->value.empty()) {
        return std::string("The name after the backslash is empty: a section's unnamed value is its title.");
    }
    return std::nullopt;
}

} // namespace qb
