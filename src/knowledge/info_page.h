#pragma once

#include "inventory/startup_item.h"
#include "knowledge/program_database.h"
#include "platform/platform_services.h"
#include "platform/system_info.h"

#include <string>
#include <string_view>

namespace qb {

// The texts of one list row, as the main list shows them.
struct InfoRow {
    std::string caption;
    std::string commandCell; // "[Invalid Path]" prefix included
    std::string location;
    std::string rating;
};

// The page of one row from the template. The markers are handled in this order, each at its first
// occurrence (case-sensitive) in the page as it stands at that moment:
//   "<!--name-->", "<!--path-->", "<!--locate-->", "<!--rate-->", "<!--comment-->", "<!--Memory-->" get
//   their value inserted just before them and stay (a missing marker puts the value at the very start);
//   "<!--title-->", "<!--sec-->", "<!--file-->", "<!--exe-->" are replaced by theirs (nothing happens when
//   missing); then "<!--cmdfile-->" by the command file (InfoCommandFile).
// Every value taken from the entry is HTML-escaped and the search terms are percent-encoded, so an entry
// can neither inject markup nor forge a marker a later step would find; the description keeps its markup,
// as it is the tool's own shipped data. The template ends at its first NUL byte; the page is cut after
// its first "</html>" (the whole text when there is none).
std::string FillInfoTemplate(std::string_view templateText, const InfoRow& row, std::string_view description,
                             std::string_view memoryText, std::string_view commandFile = {});

// The memory line of a row: current and peak use of the first record with the row's name and location, or
// the "N/A (...)" text for a program that is not running and for systems without memory counters. A program
// that runs but whose memory cannot be read says so.
std::string InfoMemoryText(const InfoRow& row, const Inventory& inventory, SystemInfo& system);

// For an entry that Windows' own startup settings switched off (the first record with the row's name and
// location): a paragraph that says so, with the date when the switch holds one; "" otherwise.
std::string SwitchNote(const InfoRow& row, const Inventory& inventory);

// For an entry that is new, returned or changed since the user last accepted the startup setting (the first
// record with the row's name and location): a paragraph that says so, for a changed one with the command it
// was accepted with ("Was: ...") and the one there now ("Now: ..."); "" otherwise.
std::string ChangeNote(const InfoRow& row, const Inventory& inventory);

// The database's description of the row's program. For an entry whose command changed since it was
// accepted, what its command runs now is described, not the program its name was given for.
std::string RowDescription(const InfoRow& row, const Inventory& inventory, ProgramDatabase& database);

// For a startup folder's file that is no shortcut (the first record with the row's name and location): a
// paragraph that says Windows opens it as it is, or, for a shortcut Windows cannot read, why; "" otherwise.
std::string FileNote(const InfoRow& row, const Inventory& inventory);

// For a registry entry that is both in its run key and, with another command, kept aside disabled in the
// twin (a program put a value of that name back after the user disabled it): a paragraph with both
// commands, what was kept and what is there now; "" otherwise.
std::string KeptCopyNote(const InfoRow& row, const Inventory& inventory);

// Reads "infotpl.dat" from the tool's directory, fills it, writes "info.htm" there and shows that in the
// browser pane. On any failure the "File Error" box says so and the pane keeps its page. Nothing is cached:
// an edited template takes effect at the next call. True when the page was shown.
bool BuildInfoPage(const InfoRow& row, const Inventory& inventory, ProgramDatabase& database,
                   PlatformServices services);

// The search words of a caption: EncodeSearchTerm of it ("My App 2.0" gives "My+App+2%2E0").
std::string SearchWords(std::string_view caption);

// The command text of a Command Path cell: the cell upper-cased, narrowed to the characters strictly
// between its first and last double quote when it has one (empty when it has only one). Raw text; escape
// it before it goes into a page.
std::string InfoCommandText(std::string_view commandCell);

// The program file a command starts, for the page's "Command file" line: the file Windows starts
// (FindProgram), spelt as the file system stores it, without arguments. A program that is not there is
// given as the command writes it.
std::string InfoCommandFile(std::string_view command, PlatformServices services);

// The search phrase of a command: EncodeSearchTerm of its TargetFileName ("FOO.EXE" gives "FOO%2EEXE").
std::string SearchPhrase(std::string_view command);

} // namespace qb
