// What the user reads when the system refuses a change: the refusal's own cause.
#include "changes/apply_engine.h"
#include "support/startup_machine.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace qb {

using namespace test;

namespace {

// A small file system of its own over a folder, filled to its last byte, and taken away again at the end.
// Mounting needs a machine that lets a test do so; elsewhere Mounted() says no.
class FullFolder {
public:
    explicit FullFolder(std::filesystem::path folder) : folder_(std::move(folder)) {
        std::filesystem::create_directories(folder_);
        mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=64k") == 0;
        if (!mounted_) {
            return;
        }
        const int fd = ::open((folder_ / "filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        const std::string block(4096, '\0');
        while (fd >= 0 && ::write(fd, block.data(), block.size()) > 0) {
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    FullFolder(const FullFolder&) = delete;
    FullFolder& operator=(const FullFolder&) = delete;
    ~FullFolder() {
        if (mounted_) {
            ::umount2(folder_.c_str(), MNT_DETACH);
        }
    }
    bool Mounted() const { return mounted_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

} // namespace

// The disabled shortcuts' folder has no room left: the shortcut copied there (disable) and the one made there
// (an add, disabled) fail, the user's shortcut stays, and the reason is the full disk, not "refused".
TEST(FailureCauses, AFullDiskIsToldAsTheDiskIsFull) {
    const struct {
        const char* what;
        bool add;
    } cases[] = {{"disable, which copies the shortcut", false}, {"an add, made disabled", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StartupMachine m;
        m.root.Shortcut(kUserStartup + "\\Tool.lnk", "C:\\Apps\\app.exe");
        FullFolder full(m.root.Host(kTool + "\\ShortCutCurrUser"));
        if (!full.Mounted()) {
            GTEST_SKIP() << "this machine does not let a test mount a small file system";
        }
        m.Load();
        if (c.add) {
            m.Add("Other", "C:\\Apps\\app.exe", kCuMenu, ItemState::Disabled);
        } else {
            m.Find("Tool", kCuMenu).State = ItemState::Disabled;
        }
        ApplyEngine engine(m.inventory, m.Services());
        const ApplyReport report = engine.Apply(false, false);
        ASSERT_EQ(report.notChanged.size(), 1u);
        EXPECT_EQ(report.notChanged[0].reason, "the disk is full");
        EXPECT_TRUE(m.Exists(kUserStartup + "\\Tool.lnk"));
    }
}

} // namespace qb
