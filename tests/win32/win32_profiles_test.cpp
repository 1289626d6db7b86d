#include "platform/platform_error.h"
#include "platform/text.h"
#include "platform/win32/win32_handles.h"
#include "win32/win32_backend.h"

#include <gtest/gtest.h>

namespace qb::test {

// Another program holds the file open without sharing it, as an editor may: the write fails with the
// tool's error, and the file keeps what it had, for this process too.
TEST(Win32Profiles, AFileLockedByAnotherProgramIsNotWrittenAndReadsAsBefore) {
    Win32Backend backend;
    const std::string path = JoinPath(backend.ScratchFolder(), "locked.ini");
    ASSERT_TRUE(backend.Files().WriteFile(path, "[S]\r\nk=old\r\n"));
    EXPECT_EQ(backend.Profiles().ReadString(path, "S", "k", ""), "old");
    {
        const win32::FileHandle lock(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(lock);
        EXPECT_EQ(PlatformErrorOf([&] { backend.Profiles().WriteString(path, "S", "k", "new"); }),
                  "Unable to write to " + path);
    }
    EXPECT_EQ(backend.Profiles().ReadString(path, "S", "k", ""), "old");
    EXPECT_EQ(backend.Files().ReadFile(path), "[S]\r\nk=old\r\n");
}

TEST(Win32Profiles, ValuesAreCutAtACharacterBoundary) {
    Win32Backend backend;
    std::string value;
    for (int i = 0; i < 1000; ++i) {
        value += "ü東"; // 5 bytes for two characters: 2047 bytes fall inside a character
    }
    const std::string path = JoinPath(backend.ScratchFolder(), "long.ini");
    ASSERT_TRUE(backend.Files().WriteFile(path, "[S]\r\nk=" + value + "\r\n"));
    const std::string read = backend.Profiles().ReadString(path, "S", "k", "");
    EXPECT_LE(read.size(), 2047u);
    EXPECT_GE(read.size(), 2044u);
    EXPECT_EQ(read, value.substr(0, read.size())); // a prefix, and whole characters only:
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(read)), read);
}

} // namespace qb::test
