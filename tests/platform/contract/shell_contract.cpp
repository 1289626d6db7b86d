#include "platform/contract/contract_backend.h"
#include "platform/known_folders.h"
#include "platform/link_bytes.h"
#include "platform/text.h"

namespace qb::test {

TEST_P(ShellContract, StartupFoldersAreFullPathsWithoutATrailingBackslash) {
    for (const bool allUsers : {true, false}) {
        SCOPED_TRACE(allUsers ? "all users" : "current user");
        const std::string folder = backend->ShellService().StartupFolderPath(allUsers);
        ASSERT_GE(folder.size(), 3u);
        EXPECT_EQ(folder[1], ':');
        EXPECT_NE(folder.back(), '\\');
    }
    EXPECT_NE(backend->ShellService().StartupFolderPath(true),
              backend->ShellService().StartupFolderPath(false));
}

TEST_P(ShellContract, ASavedShortcutLoadsBackWithWhatItHolds) {
    const std::string folder = backend->ScratchFolder();
    const std::string target = JoinPath(folder, "Program Files\\app.exe");
    ASSERT_TRUE(backend->Files().CreateDirectory(JoinPath(folder, "Program Files")));
    ASSERT_TRUE(backend->Files().WriteFile(target, "MZ"));

    const ShortcutInfo cases[] = {
        {target, "", "Shortcut created by Quillbrook", "", "", 0, 5},
        {target, "/min --profile \"Work Files\"", "with arguments", folder, target, 2, 7},
        {target, "", "Zürich – 東京", "", "", 0, 1},
    };
    int i = 0;
    for (const auto& link : cases) {
        SCOPED_TRACE(link.description);
        const std::string path = JoinPath(folder, "link" + std::to_string(i++) + ".lnk");
        ASSERT_TRUE(backend->ShellService().SaveShortcut(path, link));
        const auto loaded = backend->ShellService().LoadShortcut(path);
        ASSERT_TRUE(loaded.has_value());
        // The target may come back in its 8.3 form: compare the file it names.
        EXPECT_TRUE(EqualsIgnoreCase(loaded->target, target) || loaded->target.find('~') != std::string::npos)
            << loaded->target;
        EXPECT_EQ(loaded->arguments, link.arguments);
        EXPECT_EQ(loaded->description, link.description);
        EXPECT_EQ(loaded->workingDirectory, link.workingDirectory);
        EXPECT_EQ(loaded->iconLocation, link.iconLocation);
        EXPECT_EQ(loaded->iconIndex, link.iconIndex);
    }
}

TEST_P(ShellContract, SavingOverAnExistingShortcutReplacesIt) {
    const std::string folder = backend->ScratchFolder();
    const std::string path = JoinPath(folder, "Tool.lnk");
    ASSERT_TRUE(backend->ShellService().SaveShortcut(path, {"C:\\first.exe", "", "first", "", "", 0, 1}));
    ASSERT_TRUE(backend->ShellService().SaveShortcut(path, {"C:\\second.exe", "", "second", "", "", 0, 1}));
    const auto loaded = backend->ShellService().LoadShortcut(path);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->description, "second");
    EXPECT_TRUE(EqualsIgnoreCase(loaded->target, "C:\\second.exe")) << loaded->target;
}

TEST_P(ShellContract, AShortcutToAMissingFileStillLoads) {
    const std::string path = JoinPath(backend->ScratchFolder(), "Dangling.lnk");
    ASSERT_TRUE(
        backend->ShellService().SaveShortcut(path, {"C:\\Nowhere\\gone.exe", "", "gone", "", "", 0, 1}));
    const auto loaded = backend->ShellService().LoadShortcut(path);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_TRUE(EqualsIgnoreCase(loaded->target, "C:\\Nowhere\\gone.exe")) << loaded->target;
}

TEST_P(ShellContract, FilesThatAreNotShortcutsDoNotLoad) {
    const std::string folder = backend->ScratchFolder();
    const struct {
        const char* name;
        std::string content;
        const char* problem;
    } files[] = {
        {"desktop.ini", "[.ShellClassInfo]\r\nLocalizedResourceName=x\r\n", "the file is not a shortcut"},
        {"empty.lnk", "", "the file is empty"},
        {"text.lnk", "This is not a link at all, whatever its name says.", "the file is not a shortcut"},
        {"cut.lnk", test::lnk::Header(0x80).substr(0, 40), "the file is cut short"},
        {"block.lnk", test::lnk::Header(0x80) + test::lnk::Le32(0x40) + "abcd",
         "a block runs past the end of the file"},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const std::string path = JoinPath(folder, file.name);
        ASSERT_TRUE(backend->Files().WriteFile(path, file.content));
        const auto load = backend->ShellService().LoadShortcut(path);
        EXPECT_FALSE(load.has_value());
        EXPECT_EQ(load.problem, file.problem);
    }
    const auto absent = backend->ShellService().LoadShortcut(JoinPath(folder, "absent.lnk"));
    EXPECT_FALSE(absent.has_value());
    EXPECT_EQ(absent.problem, "the file is not there");
}

TEST_P(ShellContract, SavingIntoAMissingFolderFails) {
    const std::string path = JoinPath(backend->ScratchFolder(), "no folder\\x.lnk");
    EXPECT_FALSE(backend->ShellService().SaveShortcut(path, {"C:\\x.exe", "", "", "", "", 0, 1}));
}

TEST_P(ShellContract, TheStandardApplicationIconHasPixels) {
    const ProgramIcon icon = backend->ShellService().StandardApplicationIcon();
    EXPECT_GT(icon.width, 0);
    EXPECT_EQ(icon.pixels.size(), static_cast<std::size_t>(icon.width * icon.height));
}

} // namespace qb::test

namespace qb::test {

// Links saved by the Windows shell itself (see tests/data/lnk/README.md).
TEST_P(ShellContract, ShortcutsWrittenByTheWindowsShellLoad) {
    const struct {
        const char* file;
        const char* target;
        const char* description;
        const char* arguments;
    } cases[] = {
        {"lnk/plain.lnk", "C:\\windows\\notepad.exe", "Edit text files", ""},
        {"lnk/all_fields.lnk", "C:\\windows\\system32\\cmd.exe", "", "/k echo hello"},
        {"lnk/spaces.lnk", "C:\\Program Files\\Common Files\\My App\\run me.exe", "", ""},
        {"lnk/missing_target.lnk", "C:\\No Such Folder\\gone.exe", "", "--quiet"},
        {"lnk/non_ascii.lnk", "C:\\Program Files\\Zürich Tools\\app.exe", "Zürich – 日本", "--stadt=Zürich"},
        {"lnk/bare_name.lnk", "C:\\windows\\system32\\notepad.exe", "Bare name", ""},
        {"lnk/network.lnk", "\\\\server\\share\\app.exe", "Network path", ""},
    };
    const std::string folder = backend->ScratchFolder();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = backend->PlaceFixture(c.file, folder);
        const auto link = backend->ShellService().LoadShortcut(path);
        ASSERT_TRUE(link.has_value());
        EXPECT_TRUE(EqualsIgnoreCase(link->target, c.target) || link->target.find('~') != std::string::npos)
            << link->target;
        if (*c.description != '\0') {
            EXPECT_EQ(link->description, c.description);
        }
        EXPECT_EQ(link->arguments, c.arguments);
    }
}

} // namespace qb::test

namespace qb::test {

// Links built byte by byte whose target only the system's own folders give: each backend must resolve
// them to its own Windows folder and profile, and read the rest as Windows does.
TEST_P(ShellContract, ItemListsAndFolderBlocksResolveToThisSystemsFolders) {
    using namespace lnk;
    SystemInfo& system = backend->SystemService();
    const std::string windows = system.WindowsDirectory();
    const std::string profile = system.ExpandEnvironmentStrings("%USERPROFILE%");
    const std::string myComputer = GuidItem(root_id::kMyComputer);
    const std::string oldWindows = NamedItem("OldWin", u"OldWin", true);
    const std::string notepad = NamedItem("notepad.exe", u"notepad.exe");
    const auto notepadOffset = static_cast<std::uint32_t>(myComputer.size() + 0x19 + oldWindows.size());
    const std::string folder = backend->ScratchFolder();
    const std::string parent = folder.substr(0, folder.find_last_of('\\'));
    const std::u16string relative = u"..\\qb-relative.exe";
    const struct {
        const char* what;
        std::string bytes;
        std::string target;
    } cases[] = {
        {"the Windows folder as root",
         Header(0x81) + IdList({GuidItem(folder_id::kWindows), notepad}) + Le32(0),
         JoinPath(windows, "notepad.exe")},
        {"the user's files as root",
         Header(0x81) + IdList({GuidItem(root_id::kUsersFiles), NamedItem("qb-app.exe", u"qb-app.exe")}) +
             Le32(0),
         JoinPath(profile, "qb-app.exe")},
        {"a known folder block re-roots the list",
         Header(0x81) + IdList({myComputer, DriveItem('C'), oldWindows, notepad}) +
             KnownFolderBlock(folder_id::kWindows, notepadOffset) + Le32(0),
         JoinPath(windows, "notepad.exe")},
        {"a special folder block re-roots the list (CSIDL_WINDOWS)",
         Header(0x81) + IdList({myComputer, DriveItem('C'), oldWindows, notepad}) +
             SpecialFolderBlock(0x24, notepadOffset) + Le32(0),
         JoinPath(windows, "notepad.exe")},
        {"a relative path resolves against the link's folder",
         Header(0x88) + Le16(static_cast<std::uint16_t>(relative.size())) + Utf16(relative) + Le32(0),
         JoinPath(parent, "qb-relative.exe")},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = JoinPath(folder, "built" + std::to_string(i++) + ".lnk");
        ASSERT_TRUE(backend->Files().WriteFile(path, c.bytes));
        const auto link = backend->ShellService().LoadShortcut(path);
        ASSERT_TRUE(link.has_value()) << link.problem;
        EXPECT_TRUE(EqualsIgnoreCase(link->target, c.target) || link->target.find('~') != std::string::npos)
            << link->target << " instead of " << c.target;
    }
}

// The arguments Windows runs, hidden behind a description that declares more than 260 characters.
TEST_P(ShellContract, ArgumentsHiddenBehindAnOverlongCountAreSeen) {
    using namespace lnk;
    const std::u16string hidden = u"/c start qb.exe";
    const std::string bytes = Header(0x2 | 0x4 | 0x20 | 0x80) + LinkInfo("C:\\windows\\system32\\cmd.exe") +
                              Le16(static_cast<std::uint16_t>(260 + 1 + hidden.size())) +
                              Utf16(std::u16string(260, u' ')) +
                              Le16(static_cast<std::uint16_t>(hidden.size())) + Utf16(hidden) + Le32(0);
    const std::string path = JoinPath(backend->ScratchFolder(), "hidden.lnk");
    ASSERT_TRUE(backend->Files().WriteFile(path, bytes));
    const auto link = backend->ShellService().LoadShortcut(path);
    ASSERT_TRUE(link.has_value()) << link.problem;
    EXPECT_EQ(link->arguments, "/c start qb.exe");
    EXPECT_EQ(link->description, std::string(260, ' '));
}

} // namespace qb::test
