#include "changes/apply_engine.h"
#include "platform/sandbox/sandbox_system.h"
#include "support/paths.h"
#include "support/startup_machine.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <variant>

namespace qb {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using namespace test;
using Machine = StartupMachine;

namespace {
// Where 64-bit Windows keeps what 32-bit programs see as HKLM\SOFTWARE\…, as `reg export` shows it.
const std::string kLmRun32 = "All Users\\Registry\\Run (32-bit)";
const std::string kLmRunOnce32 = "All Users\\Registry\\RunOnce (32-bit)";

std::vector<std::string> Listed(const Inventory& inventory) {
    std::vector<std::string> out;
    for (const auto& item : inventory.Items) {
        out.push_back(item->Name.str() + " @ " + item->Location.str() +
                      (item->State == ItemState::Enabled ? " +" : " -"));
    }
    return out;
}
} // namespace

TEST(RegistryViews, ThirtyTwoBitEntriesAreListedAfterTheirNativeCounterpartsAndSharedKeysOnce) {
    Machine m;
    m.root.Value(HKLM, CV + "Run", "Native", "C:\\Apps\\app.exe")
        .Value(HKLM, WOW + "Run", "Old32", "C:\\Apps\\app.exe")
        .Value(HKLM, WOW + "RunDisabled", "Off32", "C:\\Apps\\app.exe")
        .Value(HKLM, WOW + "RunOnce", "Once32", "C:\\Apps\\app.exe")
        .Value(HKLM, CV + "Policies\\Explorer\\Run", "Policy", "C:\\Apps\\app.exe")
        .Value(HKCU, CV + "Run", "Mine", "C:\\Apps\\app.exe");
    m.Load();
    EXPECT_THAT(Listed(m.inventory),
                ElementsAre("Native @ All Users\\Registry\\Run +", "Old32 @ " + kLmRun32 + " +",
                            "Off32 @ " + kLmRun32 + " -", "Policy @ Current User\\Registry\\Explorer Run +",
                            "Once32 @ " + kLmRunOnce32 + " +", "Mine @ Current User\\Registry\\Run +"));
}

TEST(RegistryViews, AThirtyTwoBitSystemHasNoSecondView) {
    Machine m("Architecture=x86");
    m.root.Value(HKLM, CV + "Run", "Native", "C:\\Apps\\app.exe")
        .Value(HKLM, WOW + "Run", "Stray", "C:\\Apps\\app.exe"); // a plain key there, no view
    m.Load();
    EXPECT_THAT(Listed(m.inventory), ElementsAre("Native @ All Users\\Registry\\Run +"));
    // Nothing meant for a 32-bit view lands in the only one there is.
    m.Add("New32", "C:\\Apps\\app.exe", kLmRun32);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_FALSE(m.Value(HKLM, CV + "Run", "New32"));
    EXPECT_FALSE(m.Value(HKLM, WOW + "Run", "New32"));
    EXPECT_THAT(m.NotChanged(), ElementsAre("New32 (" + kLmRun32 + "): not found"));
}

TEST(RegistryViews, ChangesToThirtyTwoBitEntriesStayInTheirView) {
    Machine m;
    m.root.Value(HKLM, WOW + "Run", "On32", "C:\\Apps\\app.exe /on")
        .Value(HKLM, WOW + "RunDisabled", "Off32", "C:\\Apps\\app.exe /off")
        .Value(HKLM, WOW + "Run", "Gone32", "C:\\Apps\\app.exe /gone")
        .Value(HKLM, CV + "Run", "On32", "C:\\Apps\\native.exe"); // the native view's own entry of that name
    m.Load();
    m.Find("On32", kLmRun32).State = ItemState::Disabled;
    m.Find("Off32", kLmRun32).State = ItemState::Enabled;
    m.Find("Gone32", kLmRun32).State = ItemState::Deleted;
    m.Add("Added32", "C:\\Apps\\app.exe", kLmRunOnce32);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), IsEmpty());

    EXPECT_FALSE(m.Value(HKLM, WOW + "Run", "On32"));
    EXPECT_EQ(m.Value(HKLM, WOW + "RunDisabled", "On32"), RegistryValue::String("C:\\Apps\\app.exe /on"));
    EXPECT_EQ(m.Value(HKLM, WOW + "Run", "Off32"), RegistryValue::String("C:\\Apps\\app.exe /off"));
    EXPECT_FALSE(m.Value(HKLM, WOW + "RunDisabled", "Off32"));
    EXPECT_FALSE(m.Value(HKLM, WOW + "Run", "Gone32"));
    EXPECT_TRUE(m.Value(HKLM, WOW + "RunOnce", "Added32"));
    // The native view is untouched.
    EXPECT_EQ(m.Value(HKLM, CV + "Run", "On32"), RegistryValue::String("C:\\Apps\\native.exe"));
    EXPECT_FALSE(m.Value(HKLM, CV + "RunDisabled", "On32"));
    EXPECT_FALSE(m.Value(HKLM, CV + "RunOnce", "Added32"));
}

TEST(RegistryViews, AnEntryMovesBetweenTheViewsByAnEdit) {
    Machine m;
    m.root.Value(HKLM, CV + "Run", "Tool", "C:\\Apps\\app.exe");
    m.Load();
    m.Edit(m.Find("Tool", kLmRun), "Tool", "C:\\Apps\\app.exe", kLmRun32);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_FALSE(m.Value(HKLM, CV + "Run", "Tool"));
    EXPECT_TRUE(m.Value(HKLM, WOW + "Run", "Tool"));
    EXPECT_THAT(m.OnSystem(), ElementsAre("Tool @ " + kLmRun32 + " +"));
}

// A new user sees both: an entry of a 32-bit program, and one that Windows' own settings switched off.
TEST(RegistryViews, TheDemoSystemHoldsAThirtyTwoBitEntryAndOneSwitchedOffByWindows) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(sandbox::SeedDemoSystem(dir.Path() / "root", error)) << error;
    auto opened = sandbox::SandboxSystem::Open(dir.Path() / "root");
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<sandbox::SandboxSystem>>(opened));
    auto& system = *std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened);
    ProgramDatabase database(system.Files());
    CountingIconSink icons;
    Inventory inventory;
    LoadInventory(inventory, system.Services(), database, icons);
    std::vector<std::string> thirtyTwo;
    std::vector<std::string> switchedOff;
    for (const auto& item : inventory.Items) {
        if (item->Location == kLmRun32) {
            thirtyTwo.push_back(item->Name.str() + (item->PathValid ? " valid" : " invalid"));
        }
        if (item->SwitchedOff) {
            switchedOff.push_back(item->Name.str() + " @ " + item->Location.str() +
                                  (item->State == ItemState::Disabled ? " -" : " +"));
        }
    }
    EXPECT_THAT(thirtyTwo, ElementsAre("Inkwell Updater valid"));
    EXPECT_THAT(switchedOff, ElementsAre("Padnote @ Current User\\Registry\\Run -"));
}

} // namespace qb
