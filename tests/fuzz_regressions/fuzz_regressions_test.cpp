#include "backup/backup_file.h"
#include "checks/reader_checks.h"
#include "knowledge/program_database.h"
#include "platform/sandbox/reg_file.h"
#include "platform/shell_link.h"
#include "platform/text.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <variant>

namespace qb::fuzz {

namespace {

namespace fs = std::filesystem;

using Check = std::function<Finding(std::string_view)>;

struct Target {
    const char* name;
    std::function<Check()> make; // a fresh check per test, so that the backup machine is made once per run
};

const Target kTargets[] = {
    {"reg_file", [] { return Check(CheckRegFile); }},
    {"shell_link", [] { return Check(CheckShellLink); }},
    {"profile_text", [] { return Check(CheckProfileText); }},
    {"entry_table", [] { return Check(CheckEntryTable); }},
    {"command_line", [] { return Check(CheckCommandLine); }},
    {"backup_load",
     [] {
         auto machine = std::make_shared<BackupLoadCheck>();
         return Check([machine](std::string_view bytes) { return machine->Run(bytes); });
     }},
};

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    if (fs::is_directory(folder)) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SavedFuzzInputs : public ::testing::TestWithParam<Target> {};

TEST_P(SavedFuzzInputs, PassTheFuzzTargetsChecks) {
    const Target& target = GetParam();
    const Check check = target.make();
    std::vector<fs::path> inputs = FilesIn(fs::path(QB_FUZZ_REGRESSION_DIR) / target.name);
    const std::vector<fs::path> seeds = FilesIn(fs::path(QB_FUZZ_SEED_DIR) / target.name);
    ASSERT_FALSE(seeds.empty()) << "no seed corpus for " << target.name << " (fuzz/make-seeds makes it)";
    inputs.insert(inputs.end(), seeds.begin(), seeds.end());
    for (const fs::path& input : inputs) {
        SCOPED_TRACE(input.string());
        const Finding finding = check(ReadBytes(input));
        EXPECT_FALSE(finding.has_value()) << *finding;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryTarget, SavedFuzzInputs, ::testing::ValuesIn(kTargets),
                         [](const auto& target) { return std::string(target.param.name); });

// What the fixes for the findings guarantee, stated directly.

TEST(FuzzFindings, AStrayLeadByteDoesNotKeepTheNextLetterLowerCase) {
    const struct {
        std::string_view text;
        std::string_view upper;
    } cases[] = {
        {"\xC3"
         "a.exe",
         "\xC3"
         "A.EXE"},                                  // found by the command-line fuzzer
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"}, // a real letter pair still maps
        {"\xC3\xC3\xA0", "\xC3\xC3\x80"},           // a lead byte after a lead byte starts its own pair
        {"x\xC3", "X\xC3"},                         // a lead byte at the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(UpperCase(c.text), c.upper);
        EXPECT_EQ(UpperCase(UpperCase(c.text)), c.upper);
    }
}

TEST(FuzzFindings, TextThatIsNotUtf8ReadsFromARegFileAsItWillBeWritten) {
    const auto parsed = sandbox::ParseRegFile("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Soft\xC3ware]\r\n"
                                              "\"N\xFF\"=\"a\xC3\"\r\n\"E\"=hex(2):41,ff,00\r\n");
    const auto* tree = std::get_if<sandbox::RegNode>(&parsed);
    ASSERT_NE(tree, nullptr);
    const sandbox::RegNode* key = tree->FindPath("HKEY_CURRENT_USER\\Soft\xEF\xBF\xBDware");
    ASSERT_NE(key, nullptr);
    const RegistryValue* named = key->FindValue("N\xEF\xBF\xBD");
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->data, "a\xEF\xBF\xBD");
    const RegistryValue* expand = key->FindValue("E");
    ASSERT_NE(expand, nullptr);
    EXPECT_EQ(*expand, RegistryValue::ExpandString("A\xEF\xBF\xBD"));
}

TEST(FuzzFindings, ALinkStringEndsAtItsFirstNul) {
    ShellLinkData written;
    written.relativePath = std::string("x.exe\0junk", 10);
    written.arguments = std::string("/a\0/b", 5);
    const auto read = DecodeShellLink(EncodeShellLink(written));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->relativePath, "x.exe");
    EXPECT_EQ(read->targetPath, "x.exe");
    EXPECT_EQ(read->arguments, "/a");
}

TEST(FuzzFindings, OnlyTheItemSectionsABackupHoldsAreRead) {
    // A far-off section under a huge count once cost a round, and memory, for every number below it.
    test::SandboxRoot root;
    root.File("C:\\b.qbk", "[General Info]\r\nNumber of Startup Items=2147483647\r\n"
                           "[Item 2147483646]\r\nProgram Name=Far\r\nLocation=Current User\\Registry\\Run\r\n"
                           "[item 1]\r\nProgram Name=Lower\r\nLocation=Current User\\Registry\\Run\r\n"
                           "[Item 01]\r\nProgram Name=Padded\r\nLocation=Current User\\Registry\\Run\r\n");
    test::ScriptedDialogs dialogs;
    root.System().SetDialogs(dialogs);
    ProgramDatabase database(root.Services().files);
    Inventory inventory;
    CountingIconSink icons;
    ASSERT_TRUE(LoadBackup("C:\\b.qbk", inventory, root.Services(), database, icons).loaded);
    std::vector<std::string> added;
    for (const auto& item : inventory.Items) {
        added.push_back(item->Name);
    }
    // "Item 01" is no name the profile functions find under "Item 1"; "item 1" is.
    EXPECT_EQ(added, (std::vector<std::string>{"Lower", "Far"}));
}

} // namespace

} // namespace qb::fuzz
