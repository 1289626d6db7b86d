#include "app/auxiliary_commands.h"

#include "inventory/command_line.h"
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
    return UpperCase(TargetPath(row.commandCell, services.system, services.files));
}

std::string WithTrailingBackslash(std::string folder) {
    if (!folder.empty() && folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

} // namespace

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
    services.shell.OpenWithVerb("explore", target.substr(0, target.rfind('\\') + 1));
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
    services.shell.ShowProperties(target);
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
    services.shell.OpenWithVerb("open", WebSearchAddress(row->caption, row->commandCell));
}

void OpenHelp(PlatformServices services) {
    services.shell.OpenWithVerb("open", JoinPath(services.files.ExecutableDirectory(), "Quillbrook.chm"));
}

void ShowAbout(PlatformServices services) {
    services.browser.Navigate(StartPageAddress(services.files));
}

void OpenDonationPage(PlatformServices services) {
    services.shell.OpenWithVerb("open", kDonationPage);
}

void OpenRecommendation(PlatformServices services) {
    services.shell.OpenWithVerb(
        "open",
        "mailto:?subject=Quillbrook%20keeps%20my%20startup%20list%20tidy"
        "&body=Hello,%0D%0A%0D%0AI%20use%20Quillbrook%20to%20see%20and%20control%20what%20Windows%20"
        "starts%20automatically.%20It%20rates%20every%20entry%20and%20changes%20nothing%20until%20I%20"
        "apply.%20You%20might%20like%20it%20too.%0D%0A");
}

} // namespace qb
