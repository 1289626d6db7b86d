#include "changes/apply_engine.h"
#include "inventory/startup_switch.h"
#include "platform/faults/fault_plan.h"
#include "support/paths.h"
#include "support/startup_machine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using namespace test;
using Machine = StartupMachine;

namespace {
const std::string kApproved = CV + "Explorer\\StartupApproved\\";

RegistryValue Bytes(std::initializer_list<unsigned char> bytes) {
    return RegistryValue::Binary(std::string(bytes.begin(), bytes.end()));
}
// Off since 2026-03-01 12:34 UTC, with flag bytes as Task Manager leaves them.
const RegistryValue kOffWithDate =
    Bytes({0x03, 0x00, 0x00, 0x00, 0x00, 0x6C, 0x04, 0xAE, 0x77, 0xA9, 0xDC, 0x01});
const RegistryValue kOffNoDate = Bytes({0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
const RegistryValue kOn = Bytes({0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});

std::vector<std::string> Listed(const Inventory& inventory) {
    std::vector<std::string> out;
    for (const auto& item : inventory.Items) {
        out.push_back(item->Name.str() + " @ " + item->Location.str() +
                      (item->State == ItemState::Enabled ? " +" : " -") + (item->SwitchedOff ? " off" : ""));
    }
    return out;
}
} // namespace

TEST(StartupSwitch, OnlyTwelveBinaryBytesWithBitZeroSetAreOff) {
    const struct {
        const char* what;
        std::optional<RegistryValue> value;
        bool off;
    } cases[] = {
        {"missing", std::nullopt, false},
        {"on", kOn, false},
        {"off", kOffNoDate, true},
        {"off, other flags", Bytes({0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), true},
        {"on, other flags", Bytes({0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false},
        {"eleven bytes", Bytes({0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false},
        {"thirteen bytes", Bytes({0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false},
        {"a DWORD", RegistryValue::Dword(3), false},
        {"a string", RegistryValue::String(std::string(12, '\x03')), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SwitchedOffAt(c.value).has_value(), c.off);
    }
    EXPECT_EQ(FileTimeText(*SwitchedOffAt(kOffWithDate)), "2026-03-01 12:34 UTC");
    EXPECT_EQ(*SwitchedOffAt(kOffNoDate), 0u);
    EXPECT_EQ(FileTimeText(0), "");
    // Switching on clears bit 0 and the time, and keeps the other flag bytes.
    EXPECT_EQ(SwitchedOn(Bytes({0x07, 0xAA, 0xBB, 0xCC, 1, 2, 3, 4, 5, 6, 7, 8})),
              Bytes({0x06, 0xAA, 0xBB, 0xCC, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(StartupSwitch, EntriesSwitchedOffByWindowsAreListedDisabledInTheirOwnPlace) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "Off", "C:\\Apps\\app.exe")
        .Value(HKCU, CV + "Run", "On", "C:\\Apps\\app.exe")
        .Value(HKCU, CV + "Run", "Odd", "C:\\Apps\\app.exe")
        .Value(HKCU, CV + "RunOnce", "Off", "C:\\Apps\\app.exe") // RunOnce has no switch
        .Value(HKCU, kApproved + "Run", "Off", kOffWithDate)
        .Value(HKCU, kApproved + "Run", "On", kOn)
        .Value(HKCU, kApproved + "Run", "Odd", Bytes({0x03, 0, 0}))
        .Value(HKLM, WOW + "Run", "Old32", "C:\\Apps\\app.exe")
        .Value(HKLM, CV + "Run", "Old32", "C:\\Apps\\app.exe")
        .Value(HKLM, kApproved + "Run32", "Old32",
               kOffNoDate) // the 32-bit view's switch, not the native one's
        .Shortcut(kUserStartup + "\\Tool.lnk", "C:\\Apps\\app.exe")
        .Value(HKCU, kApproved + "StartupFolder", "Tool.lnk", kOffNoDate);
    m.Load();
    EXPECT_THAT(Listed(m.inventory),
                ElementsAre("Old32 @ All Users\\Registry\\Run +",
                            "Old32 @ All Users\\Registry\\Run (32-bit) - off",
                            "Off @ Current User\\Registry\\Run - off", "On @ Current User\\Registry\\Run +",
                            "Odd @ Current User\\Registry\\Run +", "Off @ Current User\\Registry\\RunOnce +",
                            "Tool @ Current User\\Startup Menu - off"));
    EXPECT_EQ(FileTimeText(m.Find("Off", kCuRun).SwitchedOffAt), "2026-03-01 12:34 UTC");
}

TEST(StartupSwitch, SystemsBeforeWindowsEightHaveNoSwitches) {
    Machine m("MajorVersion=6\r\nMinorVersion=1");
    m.root.Value(HKCU, CV + "Run", "Off", "C:\\Apps\\app.exe")
        .Value(HKCU, kApproved + "Run", "Off", kOffNoDate);
    m.Load();
    EXPECT_THAT(Listed(m.inventory), ElementsAre("Off @ Current User\\Registry\\Run +"));
}

TEST(StartupSwitch, EnablingSwitchesOnWhereTheEntryIs) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "Off", "C:\\Apps\\app.exe")
        .Value(HKCU, kApproved + "Run", "Off", Bytes({0x07, 0xAA, 0xBB, 0xCC, 1, 2, 3, 4, 5, 6, 7, 8}))
        .Shortcut(kUserStartup + "\\Tool.lnk", "C:\\Apps\\app.exe")
        .Value(HKCU, kApproved + "StartupFolder", "Tool.lnk", kOffWithDate);
    m.Load();
    m.Find("Off", kCuRun).State = ItemState::Enabled;
    m.Find("Tool", kCuMenu).State = ItemState::Enabled;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), IsEmpty());
    EXPECT_EQ(m.Value(HKCU, kApproved + "Run", "Off"),
              Bytes({0x06, 0xAA, 0xBB, 0xCC, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(m.Value(HKCU, kApproved + "StartupFolder", "Tool.lnk"), kOn);
    EXPECT_TRUE(m.Value(HKCU, CV + "Run", "Off")); // nothing moved
    EXPECT_FALSE(m.Value(HKCU, CV + "RunDisabled", "Off"));
    EXPECT_TRUE(m.Exists(kUserStartup + "\\Tool.lnk"));
    EXPECT_THAT(Listed(m.inventory),
                ElementsAre("Off @ Current User\\Registry\\Run +", "Tool @ Current User\\Startup Menu +"));
}

TEST(StartupSwitch, EnablingFromTheTwinClearsAStaleOffAndDisablingLeavesTheSwitchAlone) {
    Machine m;
    m.root.Value(HKCU, CV + "RunDisabled", "Back", "C:\\Apps\\app.exe")
        .Value(HKCU, kApproved + "Run", "Back", kOffNoDate)
        .Value(HKCU, CV + "Run", "Away", "C:\\Apps\\app.exe")
        .Value(HKCU, kApproved + "Run", "Away", kOn);
    m.Load();
    m.Find("Back", kCuRun).State = ItemState::Enabled;
    m.Find("Away", kCuRun).State = ItemState::Disabled;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), IsEmpty());
    EXPECT_TRUE(m.Value(HKCU, CV + "Run", "Back"));
    EXPECT_EQ(m.Value(HKCU, kApproved + "Run", "Back"), kOn);
    EXPECT_TRUE(m.Value(HKCU, CV + "RunDisabled", "Away")); // Quillbrook's own way
    EXPECT_EQ(m.Value(HKCU, kApproved + "Run", "Away"), kOn);
    EXPECT_THAT(m.OnSystem(),
                ElementsAre("Away @ Current User\\Registry\\Run -", "Back @ Current User\\Registry\\Run +"));
}

TEST(StartupSwitch, DeletingAnEntryTakesItsSwitchAlong) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "Off", "C:\\Apps\\app.exe")
        .Value(HKCU, kApproved + "Run", "Off", kOffNoDate)
        .Value(HKCU, CV + "RunDisabled", "Twin", "C:\\Apps\\app.exe")
        .Value(HKCU, kApproved + "Run", "Twin", kOffNoDate)
        .Value(HKCU, kApproved + "Run", "Other", kOffNoDate);
    m.Load();
    m.Find("Off", kCuRun).State = ItemState::Deleted;
    m.Find("Twin", kCuRun).State = ItemState::Deleted;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), IsEmpty());
    EXPECT_FALSE(m.Value(HKCU, CV + "Run", "Off"));
    EXPECT_FALSE(m.Value(HKCU, CV + "RunDisabled", "Twin"));
    EXPECT_FALSE(m.Value(HKCU, kApproved + "Run", "Off"));
    EXPECT_FALSE(m.Value(HKCU, kApproved + "Run", "Twin"));
    EXPECT_TRUE(m.Value(HKCU, kApproved + "Run", "Other")); // another name's switch stays
}

// A switch under the old name outlives a rename or a move: a program that later comes back under that name
// would start switched off, and Windows' settings would list a name that is gone.
TEST(StartupSwitch, RenamingOrMovingAnEntryTakesTheSwitchOfItsOldNameAlong) {
    const struct {
        const char* what;
        const char* newName;
        std::string newLocation;
    } cases[] = {
        {"renamed", "Renamed", kCuRun},
        {"moved", "Entry", kLmRun},
        {"renamed and moved", "Renamed", kLmMenu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Machine m;
        m.root.Value(HKCU, CV + "Run", "Entry", "C:\\Apps\\app.exe")
            .Value(HKCU, kApproved + "Run", "Entry", kOn)
            .Value(HKCU, kApproved + "Run", "Other", kOffNoDate);
        m.Load();
        m.Edit(m.Find("Entry", kCuRun), c.newName, "C:\\Apps\\app.exe", c.newLocation);
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), IsEmpty());
        EXPECT_THAT(m.OnSystem(), ElementsAre(std::string(c.newName) + " @ " + c.newLocation + " +"));
        EXPECT_FALSE(m.Value(HKCU, kApproved + "Run", "Entry"));
        EXPECT_TRUE(m.Value(HKCU, kApproved + "Run", "Other")); // another name's switch stays
    }
}

// The entry moved or went, but its switch could not follow: not "stay as they were", which would be untrue.
TEST(StartupSwitch, ASwitchThatCannotFollowItsEntryIsToldAsAChangeMadeInPart) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "Gone", "C:\\Apps\\app.exe")
        .Value(HKCU, kApproved + "Run", "Gone", kOffNoDate)
        .Value(HKCU, CV + "RunDisabled", "Back", "C:\\Apps\\app.exe")
        .Value(HKCU, kApproved + "Run", "Back", kOffNoDate)
        .Value(HKCU, CV + "Run", "Refused", "C:\\Apps\\app.exe");
    m.Load();
    m.Find("Gone", kCuRun).State = ItemState::Deleted;
    m.Find("Back", kCuRun).State = ItemState::Enabled;
    m.Find("Refused", kCuRun).State = ItemState::Disabled;
    FaultPlan plan;
    plan.FailWith(FailureCause::AccessDenied);
    plan.FailWhen([](const FaultPlan::Operation& operation) {
        return operation.name == "registry.open-write" &&
               operation.subject.find("StartupApproved") != std::string::npos;
    });
    plan.FailWhen([](const FaultPlan::Operation& operation) {
        return operation.name == "registry.delete-value" &&
               operation.subject.ends_with("CurrentVersion\\Run\\Refused");
    });
    FaultyMachineServices faulty(m.Services(), plan);
    ASSERT_EQ(m.Apply(faulty.Services()), ApplyOutcome::Applied);
    ASSERT_EQ(m.dialogs.Messages().size(), 1u);
    EXPECT_EQ(
        m.dialogs.Messages()[0].text,
        "These entries could not be changed and stay as they were:\n"
        "Refused (Current User\\Registry\\Run): access denied\n"
        "\n"
        "These entries were changed, but not wholly:\n"
        "Back (Current User\\Registry\\Run): enabled, but Windows' own switch stays off: access denied\n"
        "Gone (Current User\\Registry\\Run): deleted, but Windows' own switch of that name stays: access "
        "denied");
    EXPECT_THAT(m.OnSystem(), ElementsAre("Back @ Current User\\Registry\\Run -",
                                          "Refused @ Current User\\Registry\\Run +"));
    EXPECT_EQ(m.Value(HKCU, kApproved + "Run", "Gone"), kOffNoDate);
}

TEST(StartupSwitch, AStandardUserCannotSwitchOnAMachineEntryAndIsTold) {
    Machine m("Administrator=0");
    m.root.Value(HKLM, CV + "Run", "Off", "C:\\Apps\\app.exe")
        .Value(HKLM, kApproved + "Run", "Off", kOffNoDate);
    m.Load();
    m.Find("Off", kLmRun).State = ItemState::Enabled;
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
    EXPECT_THAT(m.NotChanged(), ElementsAre("Off (All Users\\Registry\\Run): access denied"));
    EXPECT_EQ(m.Value(HKLM, kApproved + "Run", "Off"), kOffNoDate);
    EXPECT_THAT(m.OnSystem(), ElementsAre("Off @ All Users\\Registry\\Run -"));
}

} // namespace qb
