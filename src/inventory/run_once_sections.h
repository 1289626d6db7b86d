#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// RunOnceEx keeps its commands in sections: subkeys such as "0001", which Windows runs in the order of their
// names, each section's values in the order of theirs. A section's unnamed value is its title (the line its
// progress window shows while the section runs), not a command. The key's own values "Title" and "Flags"
// set up that window, and its subkey "Depend" lists DLLs to keep loaded: none of them is a command. A value
// of a section is either a command line, "||" followed by a command line, or "Dll|Function|Arguments" (the
// function of a DLL, called in Windows' own process).
//
// An entry of a section is named "section\value", split at the first backslash: a section's name never
// holds one, a value's name may. Values directly in the key are listed under their own names; one whose
// name holds a backslash could not be told from an entry of a section and is not listed.

struct SectionValueName {
    std::string section;
    std::string value;
};

// "0001\Setup" gives {"0001", "Setup"}; a name without a backslash (a value directly in the key) gives
// nullopt.
std::optional<SectionValueName> SplitSectionEntryName(std::string_view name);

// The entry's name of a section's value: "0001" and "Setup" give "0001\Setup".
std::string SectionEntryName(std::string_view section, std::string_view value);

// Whether a value directly in the key is one of its settings ("Title", "Flags", in any letter case).
bool IsSectionsKeySetting(std::string_view valueName);

// Whether a subkey of the key is a section: every subkey but "Depend".
bool IsSection(std::string_view subkeyName);

// Names in the order Windows runs them: sorted without regard to letter case.
void SortAsRun(std::vector<std::string>& names);

// What the command-line analysis is given for a section's command, so that the program it runs is looked
// for: the command line after "||"; the DLL of "Dll|Function|Arguments"; any other text as it is.
std::string_view SectionCommandTarget(std::string_view command);

// Why a name cannot be an entry's at a place that keeps sections, or nullopt: an empty section or value
// name (the unnamed value is the section's title), the "Depend" list, and the key's own settings.
std::optional<std::string> SectionEntryNameProblem(std::string_view name);

} // namespace qb
