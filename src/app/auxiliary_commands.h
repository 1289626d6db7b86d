#pragma once

#include "app/list_rows.h"
#include "platform/platform_services.h"

#include <string>

namespace qb {

// The small commands that hand the selected entry, or the tool, to the shell or the browser pane. What the
// shell could not open is said in an information box, as are the other messages.

// "explore" on the folder of the row's program file.
void OpenProgramFolder(const ListRow* row, PlatformServices services);
// The shell's properties sheet of the row's program file.
void ShowProgramProperties(const ListRow* row, PlatformServices services);
// A web search for the row's name and program file.
void SearchWeb(const ListRow* row, PlatformServices services);
// "Quillbrook.chm" in the tool's directory; false when nothing could show it (the caller then shows the
// help pages itself).
bool OpenHelp(PlatformServices services);
// A link of the information page, in the user's browser.
void OpenLink(std::string_view address, PlatformServices services);
// The start page in the browser pane.
void ShowAbout(PlatformServices services);
// What About says besides: the program and its version.
std::string AboutText(std::string_view version);
void OpenDonationPage(PlatformServices services);
void OpenRecommendation(PlatformServices services);

// The address a web search opens: all the caption's words and the exact phrase of its program file.
std::string WebSearchAddress(std::string_view caption, std::string_view commandCell);
// Why ShellExecute could not open a target, in a sentence, from its result (32 or below) and what it was
// asked to open: "No program is set to open folders." for a folder no file manager takes.
std::string ShellFailureReason(int result, std::string_view verb, std::string_view target);
// The address of the start page the window shows ("file:///" + tool directory + "\mess.htm").
std::string StartPageAddress(FileSystem& files);

inline constexpr std::string_view kSearchEngine = "https://www.google.com/search";
inline constexpr std::string_view kDonationPage = "https://quillbrook.org/donate";

} // namespace qb
