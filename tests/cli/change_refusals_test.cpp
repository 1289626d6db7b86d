// What the change commands refuse, and what they say when the system refuses.

#include "cli/run_cli.h"
#include "inventory/startup_location.h"
#include "support/paths.h"
#include "support/sandbox_root.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace qb::cli {

namespace {

using namespace test::paths;

struct Machine : CliMachine {
    explicit Machine(const std::string& settings = "") : CliMachine(settings) {
        root.Value(RegistryRoot::CurrentUser, CV + "Run", "Padnote", "C:\\padnote.exe")
            .Shortcut(std::string(kStartup) + "\\Padnote Quick Note.lnk", "C:\\padnote.exe");
    }
};

// 32-bit Windows: one registry view.
struct Machine32 : Machine {
    Machine32() : Machine("Architecture=x86") {}
};

} // namespace

TEST(ChangeRefusals, AThirtyTwoBitSystemHasNoThirtyTwoBitPlaceToWriteTo) {
    const std::string kRun32 = "All Users\\Registry\\Run (32-bit)";
    const std::string kNoView = "This system has no place \"" + kRun32 +
                                "\": the 32-bit view exists on 64-bit "
                                "Windows only.";
    ExpectRefusedChangingNothing<Machine32>({
        {{"add", "--name", "Tool", "--command", "C:\\a.exe", "--location", kRun32}, kExitFailed, kNoView},
        {{"edit", "--name", "Padnote", "--location", "Current User\\Registry\\Run", "--new-location", kRun32},
         kExitFailed,
         kNoView},
    });
}

TEST(ChangeRefusals, WhatTheEditorRefusesChangesNothing) {
    const std::string longText(260, 'x');
    const std::vector<Refusal> cases = {
        // Names in other letters are the same name on Windows.
        {{"add", "--name", "padnote", "--command", "C:\\other.exe", "--location",
          "Current User\\Registry\\Run"},
         kExitFailed,
         "You are adding a duplicate of an existing startup item."},
        {{"add", "--name", "PADNOTE", "--command", "C:\\other.exe", "--location",
          "Current User\\Registry\\Run", "--disabled"},
         kExitFailed,
         "You are adding a duplicate of an existing startup item."},
        {{"add", "--name", "padnote quick note", "--command", "C:\\other.exe", "--location",
          "Current User\\Startup Menu"},
         kExitFailed,
         "You are adding a duplicate of an existing startup item."},
        // A record holds 259 bytes: a longer name would reach another entry or none.
        {{"add", "--name", longText, "--command", "C:\\a.exe", "--location", "Current User\\Registry\\Run"},
         kExitUsage,
         "Names and commands hold at most 259 bytes."},
        {{"add", "--name", "Long", "--command", longText, "--location", "Current User\\Registry\\Run"},
         kExitUsage,
         "Names and commands hold at most 259 bytes."},
        {{"delete", "--name", longText, "--location", "Current User\\Registry\\Run"},
         kExitUsage,
         "Names and commands hold at most 259 bytes."},
        // Places no load reads would hold an entry the tool never shows again.
        {{"add", "--name", "X", "--command", "C:\\a.exe", "--location", "Current User\\Registry\\RunOnce Ex"},
         kExitUsage,
         "Unknown location \"Current User\\Registry\\RunOnce Ex\". The places add takes:"},
        {{"disable", "--name", "X", "--location", "Nowhere"},
         kExitUsage,
         "Unknown location \"Nowhere\". The places it takes:"},
        {{"disable", "--name", "Nope", "--location", "Current User\\Registry\\Run"},
         kExitFailed,
         "No entry \"Nope\" at \"Current User\\Registry\\Run\"."},
        // Quotes alone name no program: the value would start nothing, the shortcut would point nowhere.
        {{"add", "--name", "Quote", "--command", "\"", "--location", "Current User\\Registry\\Run"},
         kExitFailed,
         "The command names no program."},
        {{"add", "--name", "Quotes", "--command", "\" \"", "--location", "Current User\\Startup Menu"},
         kExitFailed,
         "The command names no program."},
        {{"edit", "--name", "Padnote", "--location", "Current User\\Registry\\Run", "--new-command", "\"\""},
         kExitFailed,
         "The command names no program."},
    };
    ExpectRefusedChangingNothing<Machine>(cases);
}

TEST(ChangeRefusals, AnUnknownPlaceListsThePlacesAddTakes) {
    Machine m;
    const auto result = m.Run({"add", "--name", "X", "--command", "C:\\a.exe", "--location", "Somewhere"});
    EXPECT_EQ(result.err, "Unknown location \"Somewhere\". The places add takes:\n"
                          "  Current User\\Registry\\Run\n"
                          "  Current User\\Registry\\RunOnce\n"
                          "  All Users\\Registry\\Run\n"
                          "  All Users\\Registry\\Run (32-bit)\n"
                          "  All Users\\Registry\\RunOnce\n"
                          "  All Users\\Registry\\RunOnce (32-bit)\n"
                          "  All Users\\Registry\\RunOnce Ex\n"
                          "  All Users\\Registry\\Run Services\n"
                          "  All Users\\Registry\\Run Services Once\n"
                          "  Current User\\Startup Menu\n"
                          "  All Users\\Startup Menu\n");
}

TEST(ChangeRefusals, ANameInOtherLettersFindsTheEntry) {
    Machine m;
    const auto result =
        m.Run({"disable", "--name", "PADNOTE", "--location", "Current User\\Registry\\Run", "--no-backup"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_THAT(m.Listed(),
                ::testing::Contains("Padnote @ Current User\\Registry\\Run Disabled : C:\\padnote.exe"));
}

// A shortcut that cannot be removed (read-only) is not moved: listed once, where it was, and exit 1 with why.
// The editor trims before it counts, so blanks around a name that fits take no room.
TEST(ChangeRefusals, BlanksAroundATextThatFitsAreNoReasonToRefuse) {
    Machine m;
    const std::string name(259, 'n');
    const auto result = m.Run({"add", "--name", "  " + name + "  ", "--command", " C:\\a.exe ", "--location",
                               "Current User\\Registry\\Run", "--no-backup"});
    EXPECT_EQ(result.status, kExitOk) << result.err;
    EXPECT_EQ(m.Listed({"--location", "Current User\\Registry\\Run"}),
              (std::vector<std::string>{"Padnote @ Current User\\Registry\\Run Enabled : C:\\padnote.exe",
                                        name + " @ Current User\\Registry\\Run Enabled : C:\\a.exe"}));
}

TEST(ChangeRefusals, ARemovalTheSystemRefusesIsReportedAndUndone) {
    Machine m;
    const auto before = m.Listed();
    std::filesystem::permissions(m.root.Host(std::string(CliMachine::kStartup) + "\\Padnote Quick Note.lnk"),
                                 std::filesystem::perms::owner_read);
    const auto result = m.Run({"disable", "--name", "Padnote Quick Note", "--location",
                               "Current User\\Startup Menu", "--no-backup"});
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.out, ""); // stdout lists the changes made: none
    EXPECT_EQ(result.err, "These entries could not be changed and stay as they were:\n"
                          "Padnote Quick Note (Current User\\Startup Menu): access denied\n");
    EXPECT_EQ(m.Listed(), before);
}

} // namespace qb::cli
