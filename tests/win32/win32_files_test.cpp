#include "platform/text.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_services.h"
#include "support/temp_dir.h"
#include "win32/child_process.h"

#include <gmock/gmock.h>

namespace qb::test {

using ::testing::ElementsAre;

namespace {
std::vector<std::string> Names(const std::vector<FileEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& entry : entries) {
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

TEST(Win32Files, TheExecutableDirectoryHoldsTheRunningProgram) {
    win32::Win32Files files;
    const std::string directory = files.ExecutableDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), '\\');
    EXPECT_TRUE(files.FileExists(JoinPath(directory, "qb_win32_tests.exe")));
}

// The accepted setting is hidden and written again at every change: a hidden file must stay replaceable, or
// the tool would lose track of what the user accepted.
TEST(Win32Files, AHiddenFileIsReplacedAsAnyOther) {
    TempDir dir;
    win32::Win32Files files;
    const std::string path = JoinPath(dir.Path().string(), "Accepted Setting.qbk");
    const auto hidden = [&] {
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    };
    EXPECT_FALSE(files.SetHidden(path)); // no file yet
    ASSERT_TRUE(files.WriteFile(path, "first"));
    EXPECT_FALSE(hidden());
    ASSERT_TRUE(files.SetHidden(path));
    EXPECT_TRUE(hidden());
    EXPECT_TRUE(files.SetHidden(path)); // hidden already
    ASSERT_TRUE(files.WriteFile(path, "second"));
    EXPECT_EQ(files.ReadFile(path), "second");
    EXPECT_FALSE(hidden()); // a new file
    ASSERT_TRUE(files.SetHidden(path));
    EXPECT_TRUE(hidden());
    EXPECT_EQ(Names(files.FindFiles(dir.Path().string(), "*.qbk")),
              std::vector<std::string>{"Accepted Setting.qbk"});
}

TEST(Win32Files, ReplacingAFileWithOneOfTheSameSizeChangesItsStamp) {
    TempDir dir;
    win32::Win32Files files;
    const std::string path = JoinPath(dir.Path().string(), "same.txt");
    ASSERT_TRUE(files.WriteFile(path, "aaaa"));
    const auto first = files.Stamp(path);
    ASSERT_TRUE(files.WriteFile(path, "bbbb")); // same size, likely within one clock tick
    const auto second = files.Stamp(path);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->size, 4u);
    EXPECT_NE(first->identity, second->identity);
    EXPECT_FALSE(files.Stamp(dir.Path().string()).has_value()); // a directory has none
}

TEST(Win32Files, WritingLeavesNoTemporaryFileBehindWhetherItWorksOrNot) {
    TempDir dir;
    win32::Win32Files files;
    const std::string folder = dir.Path().string();
    ASSERT_TRUE(files.WriteFile(JoinPath(folder, "data.bin"), std::string(100000, 'x')));
    ASSERT_TRUE(files.WriteFile(JoinPath(folder, "data.bin"), "short"));
    ASSERT_TRUE(files.CreateDirectory(JoinPath(folder, "sub")));
    EXPECT_FALSE(files.WriteFile(JoinPath(folder, "sub"), "over a directory"));
    EXPECT_FALSE(files.WriteFile(JoinPath(folder, "missing\\x.bin"), "into a missing folder"));
    EXPECT_THAT(Names(files.FindFiles(folder, "*.*")), ElementsAre("data.bin", "sub"));
    EXPECT_EQ(files.ReadFile(JoinPath(folder, "data.bin")), "short");
}

TEST(Win32Files, PatternsMatchLongNamesOnly) {
    TempDir dir;
    win32::Win32Files files;
    const std::string folder = dir.Path().string();
    // "notes.lnkx" has the 8.3 alias NOTES~1.LNK, which FindFirstFile matches against "*.lnk" too.
    for (const char* name : {"a.lnk", "notes.lnkx", "b.lnk.txt"}) {
        ASSERT_TRUE(files.WriteFile(JoinPath(folder, name), "x"));
    }
    EXPECT_THAT(Names(files.FindFiles(folder, "*.lnk")), ElementsAre("a.lnk"));
    EXPECT_THAT(Names(files.FindFiles(folder, "*.*")), ElementsAre("a.lnk", "b.lnk.txt", "notes.lnkx"));
}

TEST(Win32Files, NonAsciiNamesGoThroughTheAnsiFunctionsWhole) {
    TempDir dir;
    win32::Win32Files files;
    const std::string folder = JoinPath(dir.Path().string(), "Zürich – 東京");
    ASSERT_TRUE(files.CreateDirectory(folder));
    const std::string file = JoinPath(folder, "naïve 😀.txt");
    ASSERT_TRUE(files.WriteFile(file, "ok"));
    EXPECT_THAT(Names(files.FindFiles(folder, "*.txt")), ElementsAre("naïve 😀.txt"));
    EXPECT_TRUE(files.CopyFile(file, JoinPath(folder, "Kopie.txt"), true));
    EXPECT_EQ(files.ReadFile(JoinPath(folder, "Kopie.txt")), "ok");
    EXPECT_TRUE(files.DeleteFile(file));
}

TEST(Win32SystemInfo, VersionAndFoldersAreThoseOfThisWindows) {
    win32::Win32SystemInfo system;
    const OsVersion version = system.Version();
    EXPECT_EQ(version.family, PlatformFamily::NT);
    EXPECT_GE(version.majorVersion, 6); // the manifest names Windows 7 to 11
    const std::string windows = system.WindowsDirectory();
    const std::string systemDirectory = system.SystemDirectory();
    ASSERT_GE(windows.size(), 3u);
    EXPECT_EQ(windows[1], ':');
    EXPECT_NE(windows.back(), '\\');
    EXPECT_TRUE(EqualsIgnoreCase(systemDirectory, windows + "\\system32")) << systemDirectory;
    win32::Win32Files files;
    EXPECT_TRUE(files.DirectoryExists(systemDirectory));
}

} // namespace qb::test
