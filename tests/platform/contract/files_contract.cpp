#include "platform/contract/contract_backend.h"
#include "platform/failure_cause.h"
#include "platform/text.h"

#include <gmock/gmock.h>

namespace qb::test {

using ::testing::ElementsAre;

TEST_P(FilesContract, NamesMatchWithoutRegardToLetterCase) {
    const std::string folder = backend->ScratchFolder();
    ASSERT_TRUE(backend->Files().WriteFile(JoinPath(folder, "MixedCase.TXT"), "content"));
    EXPECT_TRUE(backend->Files().FileExists(JoinPath(folder, "mixedcase.txt")));
    EXPECT_EQ(backend->Files().ReadFile(JoinPath(folder, "MIXEDCASE.txt")), "content");
    ASSERT_TRUE(backend->Files().WriteFile(JoinPath(folder, "MIXEDCASE.TXT"), "replaced"));
    EXPECT_EQ(backend->Files().FindFiles(folder, "*.*").size(), 1u); // the same file, not a second one
}

// A refused call keeps its cause, so that the user reads why and not only that it failed.
TEST_P(FilesContract, AFailedCallTellsWhy) {
    const std::string folder = backend->ScratchFolder();
    const std::string a = JoinPath(folder, "a.txt");
    const std::string b = JoinPath(folder, "b.txt");
    SetLastFailure(FailureCause::Unknown);
    EXPECT_FALSE(backend->Files().DeleteFile(a));
    EXPECT_EQ(LastFailure(), FailureCause::NotFound);
    SetLastFailure(FailureCause::Unknown);
    EXPECT_FALSE(backend->Files().CopyFile(a, b, true));
    EXPECT_EQ(LastFailure(), FailureCause::NotFound);
    ASSERT_TRUE(backend->Files().WriteFile(a, "a"));
    ASSERT_TRUE(backend->Files().WriteFile(b, "b"));
    SetLastFailure(FailureCause::Unknown);
    EXPECT_FALSE(backend->Files().CopyFile(a, b, true));
    EXPECT_EQ(LastFailure(), FailureCause::AlreadyThere);
    if (backend->MakeReadOnly(b)) {
        SetLastFailure(FailureCause::Unknown);
        EXPECT_FALSE(backend->Files().DeleteFile(b));
        EXPECT_EQ(LastFailure(), FailureCause::AccessDenied);
    }
    if (const auto held = backend->HoldOpen(a)) {
        SetLastFailure(FailureCause::Unknown);
        EXPECT_FALSE(backend->Files().DeleteFile(a));
        EXPECT_EQ(LastFailure(), FailureCause::InUse);
        SetLastFailure(FailureCause::Unknown);
        EXPECT_FALSE(backend->Files().WriteFile(a, "changed"));
        EXPECT_EQ(LastFailure(), FailureCause::InUse);
    }
}

// A file written where a folder of that name is: refused with its own cause, not a stale one.
TEST_P(FilesContract, WritingOverAFolderIsRefusedWithItsOwnCause) {
    const std::string folder = backend->ScratchFolder();
    const std::string inner = JoinPath(folder, "Inner");
    ASSERT_TRUE(backend->Files().CreateDirectory(inner));
    SetLastFailure(FailureCause::InUse);
    EXPECT_FALSE(backend->Files().WriteFile(inner, "x"));
    EXPECT_EQ(LastFailure(), FailureCause::AlreadyThere);
    EXPECT_TRUE(backend->Files().DirectoryExists(inner));
}

TEST_P(FilesContract, FilesAndDirectoriesAreToldApart) {
    const std::string folder = backend->ScratchFolder();
    const std::string sub = JoinPath(folder, "Sub");
    const std::string file = JoinPath(folder, "file.exe");
    ASSERT_TRUE(backend->Files().CreateDirectory(sub));
    ASSERT_TRUE(backend->Files().WriteFile(file, "x"));
    EXPECT_TRUE(backend->Files().DirectoryExists(sub));
    EXPECT_FALSE(backend->Files().FileExists(sub));
    EXPECT_TRUE(backend->Files().FileExists(file));
    EXPECT_FALSE(backend->Files().DirectoryExists(file));
    EXPECT_FALSE(backend->Files().FileExists(JoinPath(folder, "absent.exe")));
}

TEST_P(FilesContract, CreatingADirectoryMakesOneLevel) {
    const std::string folder = backend->ScratchFolder();
    EXPECT_FALSE(backend->Files().CreateDirectory(JoinPath(folder, "a\\b")));
    EXPECT_TRUE(backend->Files().CreateDirectory(JoinPath(folder, "a")));
    EXPECT_TRUE(backend->Files().CreateDirectory(JoinPath(folder, "a\\b")));
}

TEST_P(FilesContract, CopyWithoutOverwriteLeavesAnExistingDestinationAlone) {
    const std::string folder = backend->ScratchFolder();
    const std::string source = JoinPath(folder, "source.lnk");
    const std::string destination = JoinPath(folder, "dest.lnk");
    ASSERT_TRUE(backend->Files().WriteFile(source, "new bytes"));
    ASSERT_TRUE(backend->Files().WriteFile(destination, "old bytes"));
    EXPECT_FALSE(backend->Files().CopyFile(source, destination, true));
    EXPECT_EQ(backend->Files().ReadFile(destination), "old bytes");
    EXPECT_EQ(backend->Files().ReadFile(source), "new bytes");

    EXPECT_TRUE(backend->Files().CopyFile(source, JoinPath(folder, "fresh.lnk"), true));
    EXPECT_EQ(backend->Files().ReadFile(JoinPath(folder, "fresh.lnk")), "new bytes");
    EXPECT_TRUE(backend->Files().CopyFile(source, destination, false));
    EXPECT_EQ(backend->Files().ReadFile(destination), "new bytes");
    EXPECT_FALSE(backend->Files().CopyFile(JoinPath(folder, "absent"), JoinPath(folder, "x"), true));
}

TEST_P(FilesContract, DeletedFilesAreGone) {
    const std::string folder = backend->ScratchFolder();
    const std::string file = JoinPath(folder, "gone.txt");
    ASSERT_TRUE(backend->Files().WriteFile(file, "x"));
    EXPECT_TRUE(backend->Files().DeleteFile(file));
    EXPECT_FALSE(backend->Files().FileExists(file));
    EXPECT_FALSE(backend->Files().DeleteFile(file));
}

// Whatever case a path is asked in, its names come back as the file system stores them.
TEST_P(FilesContract, APathComesBackInTheSpellingTheFileSystemStores) {
    const std::string folder = backend->ScratchFolder();
    const auto scratch = StoredSpelling(folder, backend->Files());
    ASSERT_TRUE(scratch.has_value()) << folder;
    EXPECT_TRUE(EqualsIgnoreCase(*scratch, folder)) << *scratch;
    ASSERT_TRUE(backend->Files().CreateDirectory(JoinPath(folder, "Mixed Dir")));
    ASSERT_TRUE(backend->Files().WriteFile(JoinPath(folder, "Mixed Dir\\Agent.Exe"), "x"));
    ASSERT_TRUE(backend->Files().WriteFile(JoinPath(folder, "Mixed Dir\\readme"), "x"));
    const struct {
        std::string asked;
        std::optional<std::string> stored;
    } cases[] = {
        {folder + "\\MIXED DIR\\agent.exe", *scratch + "\\Mixed Dir\\Agent.Exe"},
        {UpperCase(folder) + "\\mixed dir\\README", *scratch + "\\Mixed Dir\\readme"},
        {folder + "\\mixed dir\\", *scratch + "\\Mixed Dir"},
        {std::string(1, static_cast<char>(folder[0] | 0x20)) + folder.substr(1) + "\\mixed dir",
         *scratch + "\\Mixed Dir"},
        {folder.substr(0, 3), folder.substr(0, 3)},
        {folder + "\\Mixed Dir\\gone.exe", std::nullopt},
        {folder + "\\Gone\\Agent.Exe", std::nullopt},
        {folder + "\\Mixed Dir\\Agent.*", std::nullopt},
        {"Mixed Dir\\Agent.Exe", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asked);
        EXPECT_EQ(StoredSpelling(c.asked, backend->Files()), c.stored);
    }
}

TEST_P(FilesContract, FindingFilesFollowsTheWildcardAndMarksDirectories) {
    const std::string folder = backend->ScratchFolder();
    for (const char* name : {"b.lnk", "A.LNK", "readme", "notes.txt"}) {
        ASSERT_TRUE(backend->Files().WriteFile(JoinPath(folder, name), "x"));
    }
    ASSERT_TRUE(backend->Files().CreateDirectory(JoinPath(folder, "dir.lnk")));

    std::vector<std::string> all;
    for (const auto& entry : backend->Files().FindFiles(folder, "*.*")) {
        all.push_back(entry.name + (entry.isDirectory ? "/" : ""));
    }
    std::sort(all.begin(), all.end()); // the order is the file system's own
    EXPECT_THAT(all, ElementsAre("A.LNK", "b.lnk", "dir.lnk/", "notes.txt", "readme"));

    std::vector<std::string> links;
    for (const auto& entry : backend->Files().FindFiles(folder, "*.lnk")) {
        links.push_back(entry.name);
    }
    std::sort(links.begin(), links.end());
    EXPECT_THAT(links, ElementsAre("A.LNK", "b.lnk", "dir.lnk"));
    EXPECT_TRUE(backend->Files().FindFiles(JoinPath(folder, "absent"), "*.*").empty());
}

TEST_P(FilesContract, WritingReplacesTheContentAndTheStampShowsIt) {
    const std::string file = JoinPath(backend->ScratchFolder(), "data.bin");
    ASSERT_TRUE(backend->Files().WriteFile(file, std::string("a\0b", 3)));
    const auto before = backend->Files().Stamp(file);
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(before->size, 3u);
    ASSERT_TRUE(backend->Files().WriteFile(file, "longer content"));
    const auto after = backend->Files().Stamp(file);
    ASSERT_TRUE(after.has_value());
    EXPECT_NE(*before, *after);
    EXPECT_EQ(backend->Files().ReadFile(file), "longer content");
    EXPECT_FALSE(backend->Files().Stamp(JoinPath(backend->ScratchFolder(), "absent")).has_value());
    EXPECT_FALSE(backend->Files().ReadFile(JoinPath(backend->ScratchFolder(), "absent")).has_value());
}

} // namespace qb::test

namespace qb::test {

// What an apply's journal stands on: a rename never replaces and keeps the file's identity, a read-only
// file is told, an append adds to what is there.
TEST_P(FilesContract, AMoveNeverReplacesAndKeepsTheFilesIdentity) {
    auto& files = backend->Files();
    const std::string folder = backend->ScratchFolder();
    const std::string a = JoinPath(folder, "a.lnk");
    const std::string b = JoinPath(folder, "b.lnk");
    ASSERT_TRUE(files.WriteFile(a, "first"));
    ASSERT_TRUE(files.WriteFile(b, "second"));
    const auto stamp = files.Stamp(a);
    ASSERT_TRUE(stamp);
    SetLastFailure(FailureCause::Unknown);
    EXPECT_FALSE(files.MoveFile(a, JoinPath(folder, "B.LNK"))); // taken in other letters too
    EXPECT_EQ(LastFailure(), FailureCause::AlreadyThere);
    EXPECT_EQ(files.ReadFile(b), "second");
    EXPECT_EQ(files.ReadFile(a), "first");
    const std::string c = JoinPath(folder, "c.lnk");
    ASSERT_TRUE(files.MoveFile(a, c));
    EXPECT_FALSE(files.FileExists(a));
    EXPECT_EQ(files.ReadFile(c), "first");
    ASSERT_TRUE(files.Stamp(c));
    EXPECT_EQ(files.Stamp(c)->identity, stamp->identity);
    SetLastFailure(FailureCause::Unknown);
    EXPECT_FALSE(files.MoveFile(a, JoinPath(folder, "d.lnk")));
    EXPECT_EQ(LastFailure(), FailureCause::NotFound);

    EXPECT_FALSE(files.IsReadOnly(c));
    if (backend->MakeReadOnly(c)) {
        EXPECT_TRUE(files.IsReadOnly(c));
    }

    const std::string journal = JoinPath(folder, "journal");
    ASSERT_TRUE(files.AppendFile(journal, "one\n"));
    ASSERT_TRUE(files.AppendFile(journal, "two\n"));
    EXPECT_EQ(files.ReadFile(journal), "one\ntwo\n");
    // A lock that is free is taken, and given back when it ends.
    {
        const auto lock = files.LockFile(JoinPath(folder, "lock"));
        EXPECT_NE(lock, nullptr);
    }
    EXPECT_NE(files.LockFile(JoinPath(folder, "lock")), nullptr);
}

} // namespace qb::test

namespace qb::test {

// A name the user types is taken as Windows takes it: relative to the current folder, with "." and ".."
// resolved, never relative to the Windows folder as the profile functions would take it.
TEST_P(FilesContract, AFullPathIsMadeAsWindowsMakesIt) {
    FileSystem& files = backend->Files();
    const std::string here = files.FullPath(".");
    ASSERT_GE(here.size(), 3u);
    ASSERT_EQ(here.substr(1, 2), ":\\") << here;
    const std::string drive = here.substr(0, 2);
    const std::string parent =
        here.size() > 3 ? here.substr(0, std::max<std::size_t>(here.rfind('\\'), 3)) : here;
    const struct {
        std::string given;
        std::string full;
    } cases[] = {
        {"b.qbk", JoinPath(here, "b.qbk")},
        {"x\\..\\b.qbk", JoinPath(here, "b.qbk")},
        {".\\x/b.qbk", JoinPath(JoinPath(here, "x"), "b.qbk")},
        {"..\\b.qbk", JoinPath(parent, "b.qbk")},
        {"\\b.qbk", drive + "\\b.qbk"},
        {drive + "b.qbk", JoinPath(here, "b.qbk")},
        {"C:\\x\\.\\y\\..\\b.qbk", "C:\\x\\b.qbk"},
        {"C:/x//b.qbk", "C:\\x\\b.qbk"},
        {"C:\\x\\b.qbk. ", "C:\\x\\b.qbk"},
        {"C:\\..\\b.qbk", "C:\\b.qbk"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(files.FullPath(c.given), c.full) << c.given;
    }
}

} // namespace qb::test
