#include "platform/contract/contract_backend.h"
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
    const std::pair<const char*, std::string> files[] = {
        {"desktop.ini", "[.ShellClassInfo]\r\nLocalizedResourceName=x\r\n"},
        {"empty.lnk", ""},
        {"text.lnk", "This is not a link at all, whatever its name says."},
    };
    for (const auto& [name, content] : files) {
        SCOPED_TRACE(name);
        const std::string path = JoinPath(folder, name);
        ASSERT_TRUE(backend->Files().WriteFile(path, content));
        EXPECT_FALSE(backend->ShellService().LoadShortcut(path).has_value());
    }
    EXPECT_FALSE(backend->ShellService().LoadShortcut(JoinPath(folder, "absent.lnk")).has_value());
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
