#include "app/auxiliary_commands.h"

#include "inventory/command_line.h"
#include "inventory/startup_location.h"
#include "knowledge/info_page.h"
#include "platform/text.h"

namespace qb {

namespace {

constexpr std::string_view kSelectItem = "Please select an item.";

void Tell(PlatformServices& services, std::string_view text) {
    services.dialogs.ShowMessage(text, MessageKind::Information, MessageButtons::Ok);
}

// The row's program file, upper-cased, or "" when its target was not found.
std::string Target(const ListRow& row, PlatformServices& services) {
    return UpperCase(
        TargetPath(AnalysedCommand(row.location, row.commandCell), services.system, services.files));
}

// ShellExecute succeeds above 32. Below, nothing opened it (no file manager, browser or mail program, or a
// missing file): the user is told rather than left waiting, and why, as far as the result says.
bool OpenOrTell(PlatformServices& services, std::string_view verb, std::string_view target,
                std::string_view what) {
    const int result = services.shell.OpenWithVerb(verb, target);
    if (result > 32) {
        return true;
    }
    Tell(services, "Could not open " + std::string(what) + ". " + ShellFailureReason(result, verb, target));
    return false;
}

std::string WithTrailingBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

} // namespace

std::string ShellFailureReason(int result, std::string_view verb, std::string_view target) {
    // What the shell hands the target to: a folder for "explore", else by the address's scheme.
    const std::string upper = UpperCase(target);
    std::string noProgram = "No program is set to open files of this kind.";
    std::string missing = "The file does not exist.";
    if (EqualsIgnoreCase(verb, "explore") || upper.ends_with('\\')) {
        noProgram = "No program is set to open folders.";
        missing = "The folder does not exist.";
    } else if (upper.starts_with("HTTP://") || upper.starts_with("HTTPS://")) {
        noProgram = "No program is set to open web pages.";
    } else if (upper.starts_with("MAILTO:")) {
        noProgram = "No mail program is set up.";
    }
    switch (result) {
    case 0:
    case 8: // SE_ERR_OOM
        return "Windows is out of memory or resources.";
    case 2: // SE_ERR_FNF
    case 3: // SE_ERR_PNF
        return missing;
    case 5: // SE_ERR_ACCESSDENIED
        return "Access is denied.";
    case 26: // SE_ERR_SHARE
        return "The file is in use by another program.";
    case 27: // SE_ERR_ASSOCINCOMPLETE
    case 31: // SE_ERR_NOASSOC
        return noProgram;
    case 28: // SE_ERR_DDETIMEOUT
    case 29: // SE_ERR_DDEFAIL
    case 30: // SE_ERR_DDEBUSY
        return "The program that opens it did not answer.";
    case 32: // SE_ERR_DLLNOTFOUND
        return "A part of the program that opens it is missing.";
    default:
        return "Windows gave the error code " + std::to_string(result) + ".";
    }
}

std::string StartPageAddress(FileSystem& files) {
    return "file:///" + WithTrailingBackslash(files.ExecutableDirectory()) + "mess.htm";
}

void OpenProgramFolder(const ListRow* row, PlatformServices services) {
    if (row == nullptr) {
        Tell(services, kSelectItem);
        return;
    }
    const std::string target = Target(*row, services);
    if (target.empty()) {
        Tell(services, "Cannot find the folder of an invalid item.");
        return;
    }
    const std::string folder = target.substr(0, target.rfind('\\') + 1);
    OpenOrTell(services, "explore", folder, "the folder " + folder);
}

void ShowProgramProperties(const ListRow* row, PlatformServices services) {
    if (row == nullptr) {
        Tell(services, kSelectItem);
        return;
    }
    const std::string target = Target(*row, services);
    if (target.empty()) {
        Tell(services, "Cannot open the properties of an invalid item.");
        return;
    }
    if (!services.shell.ShowProperties(target)) {
        Tell(services, "Could not show the properties of " + target + ".");
    }
}

std::string WebSearchAddress(std::string_view caption, std::string_view commandCell) {
    // The program part of the command: from after its first quote (or its start) through the first ".EXE".
    // A command without ".EXE" is searched for as it stands.
    std::string command = UpperCase(commandCell);
    if (const auto quote = command.find('"'); quote != std::string::npos) {
        command.erase(0, quote + 1);
    }
    if (const auto exe = command.find(".EXE"); exe != std::string::npos) {
        command.erase(exe + 4);
    }
    return std::string(kSearchEngine) + "?as_q=" + SearchWords(caption) + "&as_epq=" + SearchPhrase(command);
}

void SearchWeb(const ListRow* row, PlatformServices services) {
    if (row == nullptr) {
        Tell(services, kSelectItem);
        return;
    }
    const std::string address = WebSearchAddress(row->caption, row->commandCell);
    OpenOrTell(services, "open", address, "the web page " + address);
}

bool OpenHelp(PlatformServices services) {
    return services.shell.OpenWithVerb("open",
                                       JoinPath(services.files.ExecutableDirectory(), "Quillbrook.chm")) > 32;
}

void OpenLink(std::string_view address, PlatformServices services) {
    OpenOrTell(services, "open", address, "the link " + std::string(address));
}

void ShowAbout(PlatformServices services) {
    services.browser.Navigate(StartPageAddress(services.files));
}

std::string AboutText(std::string_view version) {
    return "Quillbrook " + std::string(version) +
           "\n\nShows and changes what Windows starts automatically: the Run keys of the registry and the "
           "Startup folders, for you and for all users.";
}

void OpenDonationPage(PlatformServices services) {
    OpenOrTell(services, "open", kDonationPage, "the web page " + std::string(kDonationPage));
}

void OpenRecommendation(PlatformServices services) {
    OpenOrTell(services, "open",
               "mailto:?subject=Quillbrook%20keeps%20my%20startup%20list%20tidy"
               "&body=Hello,%0D%0A%0D%0AI%20use%20Quillbrook%20to%20see%20and%20control%20what%20Windows%20"
               "starts%20automatically.%20It%20rates%20every%20entry%20and%20changes%20nothing%20until%20I%20"
               "apply.%20You%20might%20like%20it%20too.%0D%0A",
               "a new mail message");
}

} // namespace qb
