#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/faults/faulty_services.h"
#include "support/sandbox_root.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace qb {

namespace {

const std::string kTool = "C:\\Program Files\\Quillbrook\\";
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class CountingIcons : public IconSink {
public:
    void Clear() override { added = 0; }
    std::int32_t Add(const ProgramIcon&) override { return added++; }
    std::int32_t added = 0;
};

const StartupItem* Find(const Inventory& inventory, const std::string& name) {
    for (const auto& item : inventory.Items) {
        if (item->Name.str() == name) {
            return item.get();
        }
    }
    return nullptr;
}

} // namespace

// A load checks each file once, so the next load must check again: whatever changed between two loads
// (an apply of this program, or another program's change) shows in the second, with the database made
// once before both, as the window makes it.
TEST(Reload, AChangeBetweenTwoLoadsShowsInTheNextLoad) {
    const struct {
        const char* what;
        std::function<void(test::SandboxRoot&)> change;
        std::function<std::string(const StartupItem&)> field;
        std::string before;
        std::string after;
    } cases[] = {
        {"a registry value edited",
         [](test::SandboxRoot& root) {
             root.Value(RegistryRoot::CurrentUser, kRun, "App", "C:\\Apps\\second.exe /now");
         },
         [](const StartupItem& item) { return item.Command.str(); }, "c:\\APPS\\APP.EXE",
         "C:\\Apps\\second.exe /now"},
        {"a database table edited",
         [](test::SandboxRoot& root) {
             root.File(kTool + "sn.dat", "[App]\r\nConfirmed=X\r\n; harmful now\r\n");
         },
         [](const StartupItem& item) { return std::to_string(static_cast<int>(item.Rating)); },
         std::to_string(static_cast<int>(Rating::Required)),
         std::to_string(static_cast<int>(Rating::Harmful))},
        {"the process table changed",
         [](test::SandboxRoot& root) { root.Processes("10\tapp.exe\t1048576\t2097152\n"); },
         [](const StartupItem& item) { return std::to_string(item.MemoryKB); }, "4", "1024"},
        {"the target file made", [](test::SandboxRoot& root) { root.File("C:\\Apps\\App.exe"); },
         [](const StartupItem& item) { return item.PathValid ? "valid" : "invalid"; }, "invalid", "valid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::SandboxRoot root;
        root.Value(RegistryRoot::CurrentUser, kRun, "App", "c:\\APPS\\APP.EXE")
            .File("C:\\Apps\\other.exe")
            .File(kTool + "sn.dat", "[App]\r\nConfirmed=Y\r\n")
            .Processes("10\tapp.exe\t4096\t8192\n");
        ProgramDatabase database(root.Services().files);
        Inventory inventory;
        CountingIcons icons;
        LoadInventory(inventory, root.Services(), database, icons);
        const StartupItem* item = Find(inventory, "App");
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(c.field(*item), c.before);

        c.change(root);
        LoadInventory(inventory, root.Services(), database, icons);
        item = Find(inventory, "App");
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(c.field(*item), c.after);
    }
}

// A reload keeps the ratings it found, so each of the tables read again must make it forget them when it
// changes, and a table that appears or goes away counts as a change.
TEST(Reload, ARatingFollowsEachTableItCameFrom) {
    const std::string rule = "[general]\r\ncount=1\r\n[0]\r\nFilename=APP.EXE\r\n";
    const struct {
        const char* what;
        std::string file;
        std::string before; // the file's content at the first load; empty: no file
        std::string after;  // empty: the file removed
        Rating first;
        Rating second;
    } cases[] = {
        {"sn.dat appears", "sn.dat", "", "[App]\r\nConfirmed=X\r\n", Rating::Unknown, Rating::Harmful},
        {"fn.dat edited", "fn.dat", "[APP.EXE]\r\nConfirmed=Y\r\n", "[APP.EXE]\r\nConfirmed=N\r\n; now\r\n",
         Rating::Required, Rating::NotRequired},
        {"sp.dat edited", "sp.dat", rule + "Confirmed=N\r\n", rule + "Confirmed=X\r\n; harmful now\r\n",
         Rating::NotRequired, Rating::Harmful},
        {"sp.dat removed", "sp.dat", rule + "Confirmed=Y\r\n", "", Rating::Required, Rating::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::SandboxRoot root;
        root.Value(RegistryRoot::CurrentUser, kRun, "App", "C:\\Apps\\app.exe");
        if (!c.before.empty()) {
            root.File(kTool + c.file, c.before);
        }
        ProgramDatabase database(root.Services().files);
        Inventory inventory;
        CountingIcons icons;
        LoadInventory(inventory, root.Services(), database, icons);
        ASSERT_NE(Find(inventory, "App"), nullptr);
        EXPECT_EQ(Find(inventory, "App")->Rating, c.first);

        if (c.after.empty()) {
            std::filesystem::remove(root.Host(kTool + c.file));
        } else {
            root.File(kTool + c.file, c.after);
        }
        LoadInventory(inventory, root.Services(), database, icons);
        ASSERT_NE(Find(inventory, "App"), nullptr);
        EXPECT_EQ(Find(inventory, "App")->Rating, c.second);
    }
}

// Every entry of a load asks the database for its rating; the tables behind it are checked once per load,
// and outside a load at every lookup, as before.
TEST(Reload, ALoadChecksEachDatabaseTableOnce) {
    test::SandboxRoot root;
    root.File(kTool + "sn.dat", "[Other]\r\nConfirmed=Y\r\n")
        .File(kTool + "fn.dat", "[OTHER.EXE]\r\nConfirmed=Y\r\n")
        .File(kTool + "sp.dat", "[general]\r\ncount=1\r\n[0]\r\nFilename=RULE*.EXE\r\nConfirmed=N\r\n");
    const int entries = 40;
    for (int i = 0; i < entries; ++i) {
        root.Value(RegistryRoot::CurrentUser, kRun, "Entry" + std::to_string(i),
                   "C:\\Apps\\rule" + std::to_string(i % 10) + ".exe");
    }
    FaultPlan plan;
    FaultyFileSystem files(root.Services().files, plan);
    ProgramDatabase database(files);
    const auto count = [&](const char* operation, const std::string& file) {
        return std::count_if(plan.Log().begin(), plan.Log().end(), [&](const FaultPlan::Operation& op) {
            return op.name == operation && op.subject == kTool + file;
        });
    };
    Inventory inventory;
    CountingIcons icons;
    for (const int loads : {1, 2}) {
        SCOPED_TRACE(loads);
        LoadInventory(inventory, root.Services(), database, icons);
        ASSERT_EQ(inventory.Items.size(), static_cast<std::size_t>(entries));
        EXPECT_EQ(inventory.Items.front()->Rating, Rating::NotRequired);
        for (const char* file : {"sn.dat", "fn.dat", "sp.dat"}) {
            SCOPED_TRACE(file);
            EXPECT_EQ(count("files.stamp", file), loads);
            EXPECT_EQ(count("files.read", file), 1);
        }
    }
    plan.Reset();
    for (int i = 0; i < 3; ++i) {
        database.LookupRating("Entry0", "C:\\Apps\\rule0.exe");
    }
    EXPECT_EQ(count("files.stamp", "sn.dat"), 3);
}

} // namespace qb
