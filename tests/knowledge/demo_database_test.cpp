#include "knowledge/program_database.h"
#include "platform/sandbox/sandbox_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>

namespace qb {

// The shipped database rates the demo system's entries so that its list shows every rating.
TEST(DemoDatabase, RatesTheDemoEntries) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(sandbox::SeedDemoSystem(dir.Path() / "root", error)) << error;
    auto opened = sandbox::SandboxSystem::Open(dir.Path() / "root");
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<sandbox::SandboxSystem>>(opened));
    auto& system = *std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened);
    ProgramDatabase database(system.Files());

    const struct {
        const char* name;
        const char* command;
        Rating rating;
        bool described;
    } cases[] = {
        {"SecurityHealth", "%windir%\\system32\\SecurityHealthSystray.exe", Rating::Required, true},
        {"Tallybird", "\"C:\\Program Files\\Tallybird\\tallybird.exe\" --tray", Rating::UserChoice, true},
        {"AudioPanel", "C:\\Program Files\\Hollowbell Audio\\hbpanel.exe /startup", Rating::NotRequired,
         true},
        {"DriverHelper", "rundll32.exe C:\\WINDOWS\\SYSTEM32\\hbhelper.dll,StartHelper", Rating::Required,
         true},
        {"UpdateCheck", "\"C:\\Program Files (x86)\\Common Files\\Updater\\jucheck.exe\"",
         Rating::NotRequired, true},
        {"CleanupSetup", "C:\\WINDOWS\\SYSTEM32\\cleanmgr.exe /autoclean", Rating::NotRequired, true},
        // RunOnceEx's section command, looked up by what it runs (the command line after "||").
        {"0001\\1", "C:\\WINDOWS\\SYSTEM32\\lpksetup.exe /i de-DE /s", Rating::UserChoice, true},
        {"PrintMonitor", "C:\\WINDOWS\\SYSTEM32\\prnmon.exe", Rating::Required, true},
        {"", "C:\\Users\\User\\AppData\\Local\\Welcome\\welcome.exe", Rating::NotRequired, true},
        {"Lanternfish Sync", "\"C:\\Users\\User\\AppData\\Local\\Lanternfish\\lfsync.exe\" /background",
         Rating::UserChoice, true},
        {"Padnote", "C:\\Program Files\\Padnote\\padnote.exe", Rating::UserChoice, true},
        {"QuickLaunchHelper", " ", Rating::NotRequired, true},
        {"svch0st", "C:\\Users\\User\\AppData\\Roaming\\svch0st.exe", Rating::Harmful, true},
        {"Gamedock Launcher", "\"C:\\Program Files\\Gamedock\\gamedock.exe\" -silent", Rating::UserChoice,
         true},
        {"FinishSetup", "C:\\Users\\User\\Downloads\\setup_helper.exe /finish", Rating::UserChoice, true},
        {"Scanner Monitor", "C:\\Program Files\\Inkwell\\scanmon.exe /monitor", Rating::NotRequired, true},
        {"Padnote Quick Note", "C:\\Program Files\\Padnote\\padnote.exe /quicknote", Rating::UserChoice,
         true},
        {"Weather Widget", "C:\\Program Files\\Skyglass\\skyglass.exe", Rating::UserChoice, true},
        {"PolicyAgent", "C:\\Program Files\\Northgate\\policyagent.exe", Rating::Unknown, true},
        {"Inkwell Updater", "\"C:\\Program Files (x86)\\Inkwell\\inkupd.exe\" /tray", Rating::NotRequired,
         true},
    };
    std::set<Rating> seen;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(database.LookupRating(c.name, c.command), c.rating);
        EXPECT_EQ(database.LookupDescription(c.name, c.command) != "Unknown Application", c.described);
        seen.insert(c.rating);
    }
    EXPECT_EQ(seen.size(), 5u);
    // The two entries of one program tell apart by name.
    EXPECT_NE(database.LookupDescription("Padnote", "C:\\Program Files\\Padnote\\padnote.exe"),
              database.LookupDescription("Padnote Quick Note", "C:\\Program Files\\Padnote\\padnote.exe"));
}

} // namespace qb
