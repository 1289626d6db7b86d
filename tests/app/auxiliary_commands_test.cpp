#include "app/auxiliary_commands.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <gtest/gtest.h>

namespace qb {

namespace {

// Keeps what the shell handed to the desktop instead of opening it.
class RecordingDesktop : public sandbox::DesktopHandoff {
public:
    bool Open(std::string_view hostPathOrUrl) override {
        opened.emplace_back(hostPathOrUrl);
        return true;
    }
    bool ShowProperties(std::string_view windowsPath, const std::filesystem::path&) override {
        properties.emplace_back(windowsPath);
        return true;
    }
    std::vector<std::string> opened;
    std::vector<std::string> properties;
};

ListRow Row(const char* caption, const char* commandCell) {
    ListRow row;
    row.caption = caption;
    row.commandCell = commandCell;
    row.location = "All Users\\Registry\\Run";
    return row;
}

} // namespace

TEST(AuxiliaryCommands, FolderAndPropertiesFindAProgramNamedByAReference) {
    test::SandboxRoot root;
    root.File("C:\\WINDOWS\\SYSTEM32\\SecurityHealthSystray.exe");
    test::ScriptedDialogs dialogs;
    RecordingDesktop desktop;
    root.System().SetDialogs(dialogs);
    root.System().SetDesktop(desktop);

    const ListRow valid = Row("SecurityHealth", "%windir%\\system32\\SecurityHealthSystray.exe");
    OpenProgramFolder(&valid, root.Services());
    ShowProgramProperties(&valid, root.Services());
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_TRUE(std::filesystem::equivalent(desktop.opened[0], root.Host("C:\\WINDOWS\\SYSTEM32")))
        << desktop.opened[0];
    EXPECT_EQ(desktop.properties,
              std::vector<std::string>{"C:\\WINDOWS\\SYSTEM32\\SECURITYHEALTHSYSTRAY.EXE"});
    EXPECT_TRUE(dialogs.Messages().empty());

    // A variable that is not set stays in the path, which then leads nowhere.
    const ListRow unset = Row("Unset", "[Invalid Path]%QbNotSet%\\system32\\SecurityHealthSystray.exe");
    OpenProgramFolder(&unset, root.Services());
    ShowProgramProperties(&unset, root.Services());
    EXPECT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.properties.size(), 1u);
    std::vector<std::string> messages;
    for (const auto& shown : dialogs.Messages()) {
        messages.push_back(shown.text);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{"Cannot find the folder of an invalid item.",
                                                  "Cannot open the properties of an invalid item."}));

    // A program that is gone: the window offers neither command for it, and each says why all the same.
    const ListRow gone = Row("Broken", "[Invalid Path]C:\\Gone\\broken.exe");
    OpenProgramFolder(&gone, root.Services());
    ShowProgramProperties(&gone, root.Services());
    EXPECT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.properties.size(), 1u);
    messages.clear();
    for (const auto& shown : dialogs.Messages()) {
        messages.push_back(shown.text);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{"Cannot find the folder of an invalid item.",
                                                  "Cannot open the properties of an invalid item.",
                                                  "Cannot find the folder of an invalid item.",
                                                  "Cannot open the properties of an invalid item."}));
}

// Why the shell could not open something, from its result and what it was asked to open.
TEST(AuxiliaryCommands, AShellFailureSaysWhy) {
    const struct {
        int result;
        const char* verb;
        const char* target;
        const char* reason;
    } cases[] = {
        {31, "explore", "C:\\APPS\\", "No program is set to open folders."},
        {2, "explore", "C:\\APPS\\", "The folder does not exist."},
        {31, "open", "https://quillbrook.org/donate", "No program is set to open web pages."},
        {27, "open", "HTTP://example.org/", "No program is set to open web pages."},
        {31, "open", "mailto:?subject=x", "No mail program is set up."},
        {31, "open", "C:\\Program Files\\Quillbrook\\Quillbrook.chm",
         "No program is set to open files of this kind."},
        {2, "open", "C:\\Program Files\\Quillbrook\\Quillbrook.chm", "The file does not exist."},
        {5, "open", "C:\\x.txt", "Access is denied."},
        {29, "open", "https://example.org/", "The program that opens it did not answer."},
        {0, "open", "https://example.org/", "Windows is out of memory or resources."},
        {12, "open", "https://example.org/", "Windows gave the error code 12."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.result) + " " + c.target);
        EXPECT_EQ(ShellFailureReason(c.result, c.verb, c.target), c.reason);
    }
}

} // namespace qb
