// The command line as a script drives it: edit and move, results as JSON, filtered lists, the version.

#include "cli/run_cli.h"
#include "support/paths.h"
#include "support/sandbox_root.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace qb::cli {

namespace {

using nlohmann::json;

using namespace test::paths;

struct Machine : CliMachine {
    explicit Machine(const std::string& settings = "") : CliMachine(settings) {
        root.File("C:\\Apps\\agent.exe")
            .Value(RegistryRoot::CurrentUser, CV + "Run", "Agent", "C:\\Apps\\agent.exe /tray")
            .Value(RegistryRoot::LocalMachine, CV + "Run", "Machine", "C:\\Apps\\agent.exe /m");
    }
};

} // namespace

TEST(Scripting, EditRenamesChangesTheCommandAndMoves) {
    Machine m;
    auto result =
        m.Run({"edit", "--name", "Agent", "--location", kCuRun, "--new-name", "Helper", "--new-command",
               "C:\\Apps\\agent.exe /quiet", "--new-location", "Current User\\Startup Menu", "--no-backup"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_EQ(result.out, "Edit: Helper (Current User\\Startup Menu) -> Enabled\n");
    EXPECT_THAT(m.Listed(), ::testing::UnorderedElementsAre(
                                "Machine @ All Users\\Registry\\Run Enabled : C:\\Apps\\agent.exe /m",
                                "Helper @ Current User\\Startup Menu Enabled : C:\\Apps\\agent.exe /quiet"));

    // A move between places is an edit of the place; what is not given stays.
    result = m.Run({"edit", "--name", "Machine", "--location", kLmRun, "--new-location", kCuRun, "--json"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    const auto answer = json::parse(result.out);
    EXPECT_EQ(answer["changed"],
              json::parse(R"([{"name": "Machine", "location": "Current User\\Registry\\Run",
                                                  "kind": "Edit", "state": "Enabled"}])"));
    EXPECT_EQ(answer["notChanged"], json::array());
    EXPECT_EQ(answer["backup"], "C:\\Program Files\\Quillbrook\\backup\\Auto-1.qbk");
    EXPECT_THAT(m.Listed(), ::testing::Contains(
                                "Machine @ Current User\\Registry\\Run Enabled : C:\\Apps\\agent.exe /m"));
}

TEST(Scripting, EditRefusesAsTheEditorDoes) {
    const std::vector<Refusal> cases = {
        {{"edit", "--name", "Agent", "--location", kCuRun, "--new-name", "  "},
         kExitFailed,
         "Please enter a program name."},
        {{"edit", "--name", "Machine", "--location", kLmRun, "--new-location", kCuRun, "--new-name", "AGENT"},
         kExitFailed,
         "You are adding a duplicate of an existing startup item."},
        {{"edit", "--name", "Agent", "--location", kCuRun, "--new-name", "a/b", "--new-location",
          "Current User\\Startup Menu"},
         kExitFailed,
         "The name cannot be used for a shortcut in a startup folder. A name for the startup folder cannot "
         "contain "
         "any of the characters \\ / : * ? \" < > | or control characters."},
        {{"edit", "--name", "Nobody", "--location", kCuRun, "--new-name", "X"},
         kExitFailed,
         "No entry \"Nobody\" at \"Current User\\Registry\\Run\"."},
        {{"edit", "--name", "Agent", "--location", "Nowhere", "--new-name", "X"},
         kExitUsage,
         "Unknown location \"Nowhere\". The places --location takes:"},
        {{"edit", "--name", "Agent", "--location", kCuRun, "--new-location",
          "Current User\\Registry\\Run Services"},
         kExitUsage,
         "Unknown location \"Current User\\Registry\\Run Services\". The places --new-location takes:"},
        {{"edit", "--name", "Agent", "--location", kCuRun},
         kExitUsage,
         "Say what to change: --new-name, --new-command or --new-location."},
    };
    ExpectRefusedChangingNothing<Machine>(cases);
}

// Every change command can answer in JSON: what changed, what did not and why, and the automatic backup.
TEST(Scripting, ChangeCommandsAnswerInJson) {
    const struct {
        std::string what;
        std::vector<std::string> args;
        int status;
        std::string answer;
    } cases[] = {
        {"disable",
         {"disable", "--name", "agent", "--location", kCuRun, "--no-backup", "--json"},
         kExitOk,
         R"({"changed": [{"name": "Agent", "location": "Current User\\Registry\\Run", "kind": "Disable",
             "state": "Disabled"}], "notChanged": [], "backup": null, "error": null})"},
        {"enable what is enabled",
         {"enable", "--name", "Agent", "--location", kCuRun, "--json"},
         kExitOk,
         R"({"changed": [], "notChanged": [], "backup": null, "error": null})"},
        {"delete",
         {"delete", "--name", "Agent", "--location", kCuRun, "--no-backup", "--json"},
         kExitOk,
         R"({"changed": [{"name": "Agent", "location": "Current User\\Registry\\Run", "kind": "Delete",
             "state": "Deleted"}], "notChanged": [], "backup": null, "error": null})"},
        {"add disabled",
         {"add", "--name", "New", "--command", "C:\\Apps\\agent.exe", "--location", kCuRun, "--disabled",
          "--no-backup", "--json"},
         kExitOk,
         R"({"changed": [{"name": "New", "location": "Current User\\Registry\\Run", "kind": "Add",
             "state": "Disabled"}], "notChanged": [], "backup": null, "error": null})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Machine m;
        const auto result = m.Run(c.args);
        EXPECT_EQ(result.status, c.status) << result.err;
        EXPECT_EQ(json::parse(result.out), json::parse(c.answer));
    }
}

// A script piping the answer into a JSON reader gets one object also when the command ends early; what it
// said is its error, and the entry it names is among those not changed.
TEST(Scripting, ACommandThatEndsEarlyStillAnswersInJson) {
    const struct {
        std::string what;
        std::string settings;
        std::vector<std::string> args;
        std::string answer;
    } cases[] = {
        {"no such entry",
         "",
         {"disable", "--name", "Nope", "--location", kCuRun, "--json"},
         R"({"changed": [], "notChanged": [{"name": "Nope", "location": "Current User\\Registry\\Run",
             "reason": "No entry \"Nope\" at \"Current User\\Registry\\Run\"."}], "backup": null,
             "error": "No entry \"Nope\" at \"Current User\\Registry\\Run\"."})"},
        {"the editor's refusal",
         "",
         {"edit", "--name", "Agent", "--location", kCuRun, "--new-name", "", "--json"},
         R"({"changed": [], "notChanged": [{"name": "Agent", "location": "Current User\\Registry\\Run",
             "reason": "Please enter a program name."}], "backup": null, "error": "Please enter a program name."})"},
        // A standard user cannot write the tool's folder under Program Files: the automatic backup fails
        // and nothing is changed.
        {"the automatic backup cannot be written",
         "Administrator=0",
         {"disable", "--name", "Agent", "--location", kCuRun, "--json"},
         ""},
        {"no such backup", "", {"restore", "C:\\nowhere.qbk", "--json"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Machine m(c.settings);
        const auto before = m.Listed();
        const auto result = m.Run(c.args);
        EXPECT_EQ(result.status, kExitFailed);
        const json answer = json::parse(result.out);
        if (!c.answer.empty()) {
            EXPECT_EQ(answer, json::parse(c.answer));
        } else {
            // The error is the system's own message, which names a file of this run: compare its shape.
            EXPECT_EQ(answer["changed"], json::array());
            EXPECT_EQ(answer["backup"], nullptr);
            ASSERT_TRUE(answer["error"].is_string());
            EXPECT_EQ(result.err, answer["error"].get<std::string>() + "\n");
            const json named =
                c.args[0] == "restore"
                    ? json::array()
                    : json::array({{{"name", "Agent"}, {"location", kCuRun}, {"reason", answer["error"]}}});
            EXPECT_EQ(answer["notChanged"], named);
        }
        EXPECT_EQ(m.Listed(), before);
    }
}

// The registry's changes are stored once, at the end. When that last write fails, the apply is all or
// nothing: the shortcut that had moved is moved back, the answer lists every change as not made with the
// error, and the next load marks nothing.
TEST(Scripting, WhenTheFinalWriteFailsNothingIsMadeAndTheAnswerSaysSo) {
    Machine m;
    const std::string menu = "Current User\\Startup Menu";
    m.root.Shortcut(std::string(CliMachine::kStartup) + "\\Tool.lnk", "C:\\Apps\\agent.exe");
    const auto run = [&](std::vector<std::string> args) {
        const auto result = m.Run(args);
        EXPECT_EQ(result.status, kExitOk) << result.err;
    };
    run({"list"}); // the first run keeps the setting as it is
    run({"disable", "--name", "Agent", "--location", kCuRun, "--no-backup"});
    run({"backup", "C:\\wanted.qbk"}); // Agent disabled, Tool enabled
    run({"enable", "--name", "Agent", "--location", kCuRun, "--no-backup"});
    run({"disable", "--name", "Tool", "--location", menu, "--no-backup"});

    const auto store = m.root.Path() / "registry.reg";
    std::filesystem::permissions(store, std::filesystem::perms::owner_read |
                                            std::filesystem::perms::group_read |
                                            std::filesystem::perms::others_read);
    const auto result = m.Run({"restore", "C:\\wanted.qbk", "--no-backup", "--json"});
    std::filesystem::permissions(store, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(result.status, kExitFailed);
    const json answer = json::parse(result.out);
    EXPECT_EQ(answer["changed"], json::array());
    ASSERT_TRUE(answer["error"].is_string());
    EXPECT_NE(answer["error"].get<std::string>().find("Agent"), std::string::npos);
    EXPECT_EQ(answer["notChanged"],
              json::array({{{"name", "Agent"}, {"location", kCuRun}, {"reason", answer["error"]}},
                           {{"name", "Tool"}, {"location", menu}, {"reason", answer["error"]}}}));

    const auto listed = json::parse(m.Run({"list", "--json"}).out);
    std::vector<std::string> marks;
    for (const auto& entry : listed) {
        marks.push_back(entry["name"].get<std::string>() + " " + entry["state"].get<std::string>() + " " +
                        (entry["change"].is_null() ? "-" : entry["change"].get<std::string>()));
    }
    EXPECT_THAT(marks,
                ::testing::UnorderedElementsAre("Agent Enabled -", "Tool Disabled -", "Machine Enabled -"));
}

// A shortcut named in Latin-1, as older programs leave them, is no UTF-8: the answer still comes, whole,
// with U+FFFD for the byte, also when the command ends early.
TEST(Scripting, ANameThatIsNotUtf8StillGetsItsJsonAnswer) {
    Machine m;
    m.root.Shortcut(std::string(CliMachine::kStartup) + "\\Caf\xE9.lnk", "C:\\Apps\\agent.exe");
    const std::string menu = "Current User\\Startup Menu";
    const auto moved = m.Run({"disable", "--name", "Caf\xE9", "--location", menu, "--no-backup", "--json"});
    ASSERT_EQ(moved.status, kExitOk) << moved.err;
    EXPECT_EQ(
        json::parse(moved.out)["changed"],
        json::parse(R"([{"name": "Caf\ufffd", "location": "Current User\\Startup Menu", "kind": "Disable",
                  "state": "Disabled"}])"));
    const auto missing = m.Run({"enable", "--name", "Nobody\xE9", "--location", menu, "--json"});
    EXPECT_EQ(missing.status, kExitFailed);
    EXPECT_EQ(json::parse(missing.out)["notChanged"][0]["name"], "Nobody\xEF\xBF\xBD");
}

TEST(Scripting, AStandardUsersRefusalIsInTheJsonWithItsReason) {
    Machine m("Administrator=0");
    const auto result =
        m.Run({"disable", "--name", "Machine", "--location", kLmRun, "--no-backup", "--json"});
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(json::parse(result.out), json::parse(R"({"changed": [], "notChanged": [{"name": "Machine",
        "location": "All Users\\Registry\\Run", "reason": "access denied"}], "backup": null, "error": null})"));
}

TEST(Scripting, RestoreAnswersInJson) {
    Machine m;
    ASSERT_EQ(m.Run({"backup", "C:\\saved.qbk"}).status, kExitOk);
    ASSERT_EQ(m.Run({"delete", "--name", "Agent", "--location", kCuRun, "--no-backup"}).status, kExitOk);
    const auto result = m.Run({"restore", "C:\\saved.qbk", "--no-backup", "--json"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_EQ(json::parse(result.out), json::parse(R"({"changed": [{"name": "Agent", "location":
        "Current User\\Registry\\Run", "kind": "Add", "state": "Enabled"}], "notChanged": [], "backup": null, "error": null})"));
}

TEST(Scripting, ListFiltersAsTheTreeAndTheRatingButtonsDo) {
    Machine m;
    m.root.Value(RegistryRoot::LocalMachine, CV + "Policies\\Explorer\\Run", "Policy", "C:\\Apps\\agent.exe");
    EXPECT_THAT(
        m.Listed({"--location", kLmRun}),
        ::testing::ElementsAre("Machine @ All Users\\Registry\\Run Enabled : C:\\Apps\\agent.exe /m"));
    // A place no tree node shows is listed when asked for by name.
    EXPECT_THAT(m.Listed({"--location", "Current User\\Registry\\Explorer Run"}),
                ::testing::ElementsAre(
                    "Policy @ Current User\\Registry\\Explorer Run Enabled : C:\\Apps\\agent.exe"));
    EXPECT_THAT(
        m.Listed({"--rating", "Unknown", "--location", kCuRun}),
        ::testing::ElementsAre("Agent @ Current User\\Registry\\Run Enabled : C:\\Apps\\agent.exe /tray"));
    EXPECT_THAT(m.Listed({"--rating", "harmful"}), ::testing::ElementsAre());
    const auto bad = m.Run({"list", "--rating", "Dangerous"});
    EXPECT_EQ(bad.status, kExitUsage);
    EXPECT_EQ(bad.err,
              "Unknown rating \"Dangerous\". The ratings:\n  Required\n  User's Choice\n  Not required\n"
              "  Harmful\n  Unknown\n");
    EXPECT_EQ(m.Run({"list", "--location", "Nowhere"}).status, kExitUsage);
}

// A script may not be able to pass an empty name: the unnamed value is also reached as the list shows it,
// unless a value has that very name.
TEST(Scripting, TheUnnamedValueIsNamedAsTheListShowsIt) {
    for (const bool literal : {false, true}) {
        SCOPED_TRACE(literal ? "a value named (Default) too" : "the unnamed value alone");
        Machine m;
        m.root.Value(RegistryRoot::CurrentUser, CV + "Run", "", "C:\\Apps\\agent.exe /unnamed");
        if (literal) {
            m.root.Value(RegistryRoot::CurrentUser, CV + "Run", "(Default)", "C:\\Apps\\agent.exe /literal");
        }
        ASSERT_EQ(m.Run({"disable", "--name", "(Default)", "--location", kCuRun, "--no-backup"}).status,
                  kExitOk);
        std::vector<std::string> expected = {
            "Agent @ Current User\\Registry\\Run Enabled : C:\\Apps\\agent.exe /tray",
            literal ? " @ Current User\\Registry\\Run Enabled : C:\\Apps\\agent.exe /unnamed"
                    : " @ Current User\\Registry\\Run Disabled : C:\\Apps\\agent.exe /unnamed"};
        if (literal) {
            expected.push_back(
                "(Default) @ Current User\\Registry\\Run Disabled : C:\\Apps\\agent.exe /literal");
        }
        std::vector<std::string> listed = m.Listed({"--location", kCuRun});
        std::sort(listed.begin(), listed.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listed, expected);
    }
}

TEST(Scripting, TheCommandLineTellsItsVersion) {
    const auto result = RunCli({"--version"});
    EXPECT_EQ(result.status, kExitOk);
    EXPECT_EQ(result.out, std::string("quillbrook-cli ") + QB_TEST_VERSION + "\n");
}

} // namespace qb::cli
