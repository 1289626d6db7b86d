#include "bench/root_generator.h"
#include "inventory/command_line.h"
#include "inventory/icon_sink.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/sandbox/sandbox_system.h"
#include "platform/text.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

namespace qb::bench {
namespace {

namespace fs = std::filesystem;

class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "qb-generator-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp");
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::unique_ptr<sandbox::SandboxSystem> OpenRoot(const fs::path& root) {
    auto opened = sandbox::SandboxSystem::Open(root);
    if (auto* error = std::get_if<std::string>(&opened)) {
        ADD_FAILURE() << *error;
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened));
}

struct Shape {
    const char* what;
    GeneratorOptions options;
    bool everyStep; // the tables are large enough for every step to answer some entries
};

const Shape kShapes[] = {
    {"benchmark proportions", {600, 60, 200, 2000, 1000, 1000, 300, 3}, true},
    {"another seed", {600, 60, 200, 2000, 1000, 1000, 300, 11}, true},
    // Tables too small for what the entries want: the overflow falls through to no answer.
    {"tables over budget", {300, 30, 50, 5, 3, 2, 0, 5}, false},
    {"no shortcuts or processes, a full system folder", {300, 0, 0, 500, 500, 500, 100, 9, 400}, true},
};

class GeneratedRootTest : public ::testing::TestWithParam<Shape> {};

TEST_P(GeneratedRootTest, LoadListsEveryEntryAsGenerated) {
    const Shape& shape = GetParam();
    ScratchDir dir;
    const GeneratedRoot generated = GenerateRoot(dir.Path(), shape.options);
    auto system = OpenRoot(dir.Path());
    ASSERT_TRUE(system);
    ProgramDatabase database(system->Files());
    Inventory inventory;
    CountingIconSink icons;
    LoadInventory(inventory, system->Services(), database, icons);

    ASSERT_EQ(inventory.Items.size(), generated.entries.size());
    std::map<std::pair<std::string, std::string>, const StartupItem*> loaded;
    for (const auto& item : inventory.Items) {
        loaded[{std::string(item->Location), std::string(item->Name)}] = item.get();
    }
    ASSERT_EQ(loaded.size(), inventory.Items.size()) << "a name repeats within a location";
    for (const GeneratedEntry& entry : generated.entries) {
        SCOPED_TRACE(entry.label + " / " + entry.name + " / " + entry.command);
        const auto found = loaded.find({entry.label, entry.name});
        ASSERT_NE(found, loaded.end());
        const StartupItem& item = *found->second;
        EXPECT_EQ(std::string(item.Command), entry.command);
        EXPECT_EQ(item.State, entry.enabled ? ItemState::Enabled : ItemState::Disabled);
        EXPECT_EQ(item.PathValid, entry.pathValid);
        EXPECT_EQ(item.MemoryKB != 0, entry.running);
        EXPECT_EQ(database.LookupValue(entry.name, entry.command, "Source"), SourceTag(entry.source));
    }
}

TEST_P(GeneratedRootTest, LoadLeavesTheRegistryAsItWas) {
    ScratchDir dir;
    GenerateRoot(dir.Path(), GetParam().options);
    const std::string before = ReadAll(dir.Path() / "registry.reg");
    auto system = OpenRoot(dir.Path());
    ASSERT_TRUE(system);
    ProgramDatabase database(system->Files());
    Inventory inventory;
    CountingIconSink icons;
    LoadInventory(inventory, system->Services(), database, icons);
    LoadInventory(inventory, system->Services(), database, icons);
    EXPECT_EQ(ReadAll(dir.Path() / "registry.reg"), before);
}

TEST_P(GeneratedRootTest, MixCoversWhatALoadReads) {
    const Shape& shape = GetParam();
    ScratchDir dir;
    const GeneratedRoot generated = GenerateRoot(dir.Path(), shape.options);
    std::map<LookupSource, std::size_t> sources;
    std::set<std::string> labels;
    std::size_t enabled = 0;
    std::size_t valid = 0;
    for (const GeneratedEntry& entry : generated.entries) {
        ++sources[entry.source];
        labels.insert(entry.label);
        enabled += entry.enabled ? 1 : 0;
        valid += entry.pathValid ? 1 : 0;
        // The filler rules are spelled with Q and Z; an entry holding them could match one by accident.
        const std::string fileName = TargetFileName(entry.command);
        EXPECT_EQ(UpperCase(entry.name + fileName).find_first_of("QZ"), std::string::npos) << entry.name;
    }
    const std::size_t total = generated.entries.size();
    EXPECT_NEAR(static_cast<double>(enabled) / static_cast<double>(total), 0.7, 0.1);
    EXPECT_NEAR(static_cast<double>(valid) / static_cast<double>(total), 0.62, 0.1);
    EXPECT_GT(sources[LookupSource::None], total / 4);
    if (shape.everyStep) {
        for (const LookupSource source :
             {LookupSource::MainTable, LookupSource::MainTablePair, LookupSource::NameTable,
              LookupSource::FileTable, LookupSource::Patterns}) {
            EXPECT_GT(sources[source], 0u) << SourceTag(source);
        }
        EXPECT_GE(labels.size(), shape.options.shortcuts > 0 ? 11u : 9u); // nine run keys, two folders
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, GeneratedRootTest, ::testing::ValuesIn(kShapes),
                         [](const ::testing::TestParamInfo<Shape>& row) {
                             return "Shape" + std::to_string(row.index);
                         });

TEST(GenerateRootTest, SameSeedGivesTheSameMachine) {
    const GeneratorOptions options{200, 20, 100, 400, 200, 200, 50, 42};
    ScratchDir first;
    ScratchDir second;
    GenerateRoot(first.Path(), options);
    GenerateRoot(second.Path(), options);
    for (const char* file : {"registry.reg", "processes.txt", "drive_c/Program Files/Quillbrook/st.dat",
                             "drive_c/Program Files/Quillbrook/sp.dat"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(ReadAll(first.Path() / file), ReadAll(second.Path() / file));
    }
}

TEST(GenerateRootTest, DatabaseTablesHaveTheirRequestedSizes) {
    const GeneratorOptions options{100, 10, 20, 321, 123, 77, 40, 1};
    ScratchDir dir;
    GenerateRoot(dir.Path(), options);
    const auto sections = [&](const char* file) {
        const std::string text = ReadAll(dir.Path() / "drive_c/Program Files/Quillbrook" / file);
        std::size_t count = 0;
        for (std::size_t at = text.find("\r\n["); at != std::string::npos; at = text.find("\r\n[", at + 1)) {
            ++count;
        }
        return count + (text.starts_with("[") ? 1 : 0);
    };
    EXPECT_EQ(sections("st.dat"), 321u);
    EXPECT_EQ(sections("sn.dat"), 123u);
    EXPECT_EQ(sections("fn.dat"), 77u);
    EXPECT_EQ(sections("sp.dat"), 41u); // [general] and the rules
}

} // namespace
} // namespace qb::bench
