#include "inventory/shell_folders.h"
#include "platform/faults/faulty_services.h"
#include "support/paths.h"
#include "support/sandbox_root.h"

#include <gtest/gtest.h>

namespace qb {

namespace {
using namespace test::paths;
} // namespace

TEST(ShellFolders, StartupFoldersComeFromTheShellWithoutATrailingBackslash) {
    test::SandboxRoot root;
    root.Settings("Startup=C:\\Start\\\\");
    EXPECT_EQ(StartupFolderPath(root.Services().shell, false), "C:\\Start");
    EXPECT_EQ(StartupFolderPath(root.Services().shell, true), kCommonStartup);
}

TEST(ShellFolders, AShortcutStartsTheProgramWithTheRestOfTheCommandAsArguments) {
    test::SandboxRoot root;
    root.Folder(kUserStartup).Folder(kCommonStartup);
    auto& shell = root.Services().shell;
    const struct {
        const char* command;
        bool allUsers;
        std::string folder;
        const char* target;
        const char* arguments;
    } cases[] = {
        {"\"C:\\Program Files\\App\\app.exe\" /min", false, kUserStartup, "C:\\Program Files\\App\\app.exe",
         "/min"},
        {"C:\\Program Files\\App\\app.exe --tray", true, kCommonStartup, "C:\\Program Files\\App\\app.exe",
         "--tray"},
        {"C:\\Tools\\plain.exe", false, kUserStartup, "C:\\Tools\\plain.exe", ""},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const std::string name = "Entry " + std::to_string(i++);
        ASSERT_TRUE(CreateStartupShortcut(shell, c.command, name, kShortcutDescription, c.allUsers));
        const auto link = shell.LoadShortcut(JoinPath(c.folder, name + ".lnk"));
        ASSERT_TRUE(link.has_value());
        EXPECT_EQ(link->target, c.target);
        EXPECT_EQ(link->arguments, c.arguments);
        EXPECT_EQ(link->description, "Shortcut created by Quillbrook");
        EXPECT_EQ(link->showCommand, 1); // SW_SHOW is stored as a normal window
    }
}

TEST(ShellFolders, AnEntrysShortcutCarriesTheArgumentsItKeepsApart) {
    const struct {
        const char* command;
        const char* arguments; // the record's own, kept apart from a loaded or restored shortcut's target
        const char* target;
        const char* expectedArguments;
    } cases[] = {
        {"C:\\Program Files\\App\\app.exe", "--config \"C:\\x y\\c.ini\"", "C:\\Program Files\\App\\app.exe",
         "--config \"C:\\x y\\c.ini\""},
        {"\"C:\\Program Files\\App\\app.exe\"", "/min", "C:\\Program Files\\App\\app.exe", "/min"},
        {"\"C:\\App\\app.exe\" /tray", "", "C:\\App\\app.exe", "/tray"},
        // A command given arguments of its own (typed in the editor) keeps them.
        {"C:\\App\\new.exe /x", "--old", "C:\\App\\new.exe", "/x"},
        {"C:\\App\\app.exe", "", "C:\\App\\app.exe", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        StartupItem item;
        item.Command = c.command;
        item.Arguments = c.arguments;
        const ShortcutInfo link = ShortcutForRecord(item);
        EXPECT_EQ(link.target, c.target);
        EXPECT_EQ(link.arguments, c.expectedArguments);
        EXPECT_EQ(link.description, "Shortcut created by Quillbrook");
        EXPECT_EQ(link.workingDirectory, "");
    }
}

TEST(ShellFolders, CreatingAShortcutReplacesOneOfTheSameName) {
    test::SandboxRoot root;
    root.Folder(kUserStartup);
    auto& shell = root.Services().shell;
    ASSERT_TRUE(CreateStartupShortcut(shell, "C:\\old.exe", "Tool", kShortcutDescription, false));
    ASSERT_TRUE(CreateStartupShortcut(shell, "C:\\new.exe", "Tool", kShortcutDescription, false));
    EXPECT_EQ(shell.LoadShortcut(JoinPath(kUserStartup, "Tool.lnk"))->target, "C:\\new.exe");
    EXPECT_EQ(root.Services().files.FindFiles(kUserStartup, "*.*").size(), 1u);
}

TEST(ShellFolders, NoShortcutIsWrittenAnywhereWithoutAStartupFolder) {
    test::SandboxRoot root;
    root.Folder(kUserStartup);
    FaultPlan plan;
    plan.FailOperation("shell.startup-folder");
    FaultyShell shell(root.Services().shell, plan);
    EXPECT_FALSE(CreateStartupShortcut(shell, "C:\\app.exe", "Tool", kShortcutDescription, false));
    for (const auto& operation : plan.Log()) {
        EXPECT_NE(operation.name, "shell.save-shortcut");
    }
}

TEST(ShellFolders, CopyingWithoutOverwriteKeepsBothFilesWhenTheDestinationExists) {
    test::SandboxRoot root;
    root.File("C:\\Kept\\Tool.lnk", "kept").File("C:\\Start\\Tool.lnk", "live");
    auto& files = root.Services().files;
    EXPECT_FALSE(CopyFileNoOverwrite(files, "C:\\Kept\\Tool.lnk", "C:\\Start\\Tool.lnk"));
    EXPECT_EQ(files.ReadFile("C:\\Start\\Tool.lnk"), "live");
    EXPECT_EQ(files.ReadFile("C:\\Kept\\Tool.lnk"), "kept");
    EXPECT_TRUE(CopyFileNoOverwrite(files, "C:\\Kept\\Tool.lnk", "C:\\Start\\Other.lnk"));
    EXPECT_EQ(files.ReadFile("C:\\Start\\Other.lnk"), "kept");
}

} // namespace qb
