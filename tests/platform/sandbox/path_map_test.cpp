#include "platform/sandbox/path_map.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace qb::sandbox {

TEST(PathMap, MapsDrivesAndResolvesPathsAsWindowsDoes) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.Path() / "drive_c" / "Program Files" / "App");
    const PathMap paths(dir.Path());
    const auto root = dir.Path();
    const struct {
        const char* windows;
        std::optional<std::filesystem::path> host;
    } cases[] = {
        {"C:\\Program Files\\App\\app.exe", root / "drive_c/Program Files/App/app.exe"},
        {"c:\\PROGRAM FILES\\app\\New.exe",
         root / "drive_c/Program Files/App/New.exe"}, // existing spelling kept
        {"C:/Program Files/App", root / "drive_c/Program Files/App"},
        {"C:\\\\Program Files\\.\\App\\\\", root / "drive_c/Program Files/App"},
        {"C:\\a\\..\\..\\..\\Program Files", root / "drive_c/Program Files"},  // never above the drive
        {"C:\\Program Files\\App. \\x", root / "drive_c/Program Files/App/x"}, // trailing dot and blank go
        {"D:\\data", root / "drive_d/data"},
        {"C:\\", root / "drive_c"},
        {"relative\\path", std::nullopt},
        {"C:relative", std::nullopt},
        {"\\\\server\\share\\x", std::nullopt},
        {"", std::nullopt},
        {"1:\\x", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windows);
        EXPECT_EQ(paths.ToHost(c.windows), c.host);
    }
    EXPECT_EQ(paths.ToHost(std::string("C:\\a\0b", 6)), std::nullopt);
}

TEST(PathMap, GivesTheWindowsFormOfHostPaths) {
    const PathMap paths("/srv/root");
    EXPECT_EQ(paths.ToWindows("/srv/root/drive_c/Program Files/x.exe"), "C:\\Program Files\\x.exe");
    EXPECT_EQ(paths.ToWindows("/srv/root/drive_d"), "D:\\");
    EXPECT_EQ(paths.ToWindows("/srv/root/registry.reg"), std::nullopt);
    EXPECT_EQ(paths.ToWindows("/elsewhere/drive_c/x"), std::nullopt);
}

} // namespace qb::sandbox
