// Checks of the program database the tool ships (data/st.dat, sn.dat, fn.dat, sp.dat), read with the
// tool's own readers. The files are data that people edit by hand; these checks catch the edits that
// would silently do nothing or do harm: a stray rating letter, a rule that no name can match, two
// tables that rate one program differently, markup that would run on the information page.

#include "inventory/command_line.h"
#include "inventory/icon_sink.h"
#include "inventory/startup_scan.h"
#include "knowledge/cached_profile.h"
#include "knowledge/entry_table.h"
#include "knowledge/pattern_table.h"
#include "knowledge/program_database.h"
#include "platform/profile_files.h"
#include "platform/profile_text.h"
#include "platform/sandbox/embedded_files.h"
#include "platform/sandbox/sandbox_system.h"
#include "platform/text.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

namespace {

constexpr std::array<std::string_view, 4> kDatabaseFiles = {"st.dat", "sn.dat", "fn.dat", "sp.dat"};
constexpr std::array<std::string_view, 5> kLetters = {"Y", "U", "N", "X", "?"};
// An entry name is a registry value name or a shortcut's file name as the list holds it.
constexpr std::size_t kLongestName = 259;

using Problems = std::vector<std::string>;

std::string Join(const Problems& problems) {
    std::string text;
    for (const std::string& problem : problems) {
        text += "\n  " + problem;
    }
    return text;
}

// The bytes the programs carry, the same that a new sandbox root gets in its tool directory.
std::string_view Shipped(std::string_view name) {
    for (const sandbox::EmbeddedFile& file : sandbox::ShippedDataFiles()) {
        if (file.path == name) {
            return file.bytes;
        }
    }
    ADD_FAILURE() << name << " is not among the shipped files";
    return {};
}

bool IsLetter(std::string_view value) {
    return std::find(kLetters.begin(), kLetters.end(), value) != kLetters.end();
}

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

// --- Checks of one piece of text; each gives what is wrong, nothing when all is well. -------------

// Line ends and encoding. The files are edited on Windows as often as here, so they keep CRLF
// throughout; a stray LF-only line would show up as a change of every line in some editors.
Problems TextFileProblems(std::string_view bytes) {
    Problems problems;
    if (bytes.empty()) {
        problems.push_back("empty file");
        return problems;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\0') {
            problems.push_back("NUL byte at " + std::to_string(i));
            break;
        }
        if (c == '\n' && (i == 0 || bytes[i - 1] != '\r')) {
            problems.push_back("LF without CR at " + std::to_string(i));
            break;
        }
        if (c == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) {
            problems.push_back("CR without LF at " + std::to_string(i));
            break;
        }
    }
    if (!bytes.ends_with("\r\n")) {
        problems.push_back("the last line has no line end");
    }
    // UTF-8: a lead byte and exactly as many continuation bytes as it announces, no overlong forms.
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t extra = 0;
        if (lead < 0x80) {
            extra = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
        } else {
            problems.push_back("not UTF-8 at " + std::to_string(i));
            break;
        }
        bool valid = i + extra < bytes.size() || extra == 0;
        for (std::size_t k = 1; valid && k <= extra; ++k) {
            valid = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
        }
        if (!valid) {
            problems.push_back("not UTF-8 at " + std::to_string(i));
            break;
        }
        i += extra + 1;
    }
    return problems;
}

// A description goes into the information page unescaped. Only light markup may take effect there:
// a few formatting tags without attributes, so no script, style, event handler or link can ride in.
// The page template is in the system's ANSI code page, so the text stays ASCII to look the same on
// every system; and the profile reader would drop enclosing quotes and cut long values, which the main
// table's reader does not, so neither may occur.
Problems DescriptionProblems(std::string_view text) {
    static const std::set<std::string, std::less<>> allowedTags = {"b", "i", "em", "strong", "br"};
    Problems problems;
    if (text.empty()) {
        problems.push_back("no description");
        return problems;
    }
    if (text.size() > CachedProfile::kValueLimit) {
        problems.push_back("longer than the profile functions read");
    }
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        problems.push_back("enclosed in quotation marks");
    }
    if (std::any_of(text.begin(), text.end(), [](char c) { return c < 0x20 || c > 0x7E; })) {
        problems.push_back("not printable ASCII");
    }
    const std::string lower = AsciiLower(text);
    for (const std::string_view scheme : {"javascript:", "vbscript:"}) {
        if (lower.find(scheme) != std::string::npos) {
            problems.push_back("holds " + std::string(scheme));
        }
    }
    for (std::size_t open = lower.find('<'); open != std::string::npos; open = lower.find('<', open + 1)) {
        const std::size_t close = lower.find('>', open);
        if (close == std::string::npos) {
            problems.push_back("a tag that does not close");
            break;
        }
        std::string_view tag = std::string_view(lower).substr(open + 1, close - open - 1);
        if (tag.starts_with('/')) {
            tag.remove_prefix(1);
        }
        const std::string_view name = tag.substr(0, tag.find_first_of(" /\t"));
        if (!allowedTags.contains(name)) {
            problems.push_back("the tag <" + std::string(name) + ">");
        }
        if (tag.find('=') != std::string_view::npos) {
            problems.push_back("an attribute in <" + std::string(tag) + ">");
        }
    }
    return problems;
}

// What a command naming such a file gives as its file name, quoted with arguments and bare with them.
bool CommandsGiveFileName(std::string_view fileName) {
    const std::string path = "C:\\Program Files\\Vendor\\" + std::string(fileName);
    return TargetFileName("\"" + path + "\" /start") == fileName &&
           TargetFileName(path + " /start") == fileName;
}

bool NamesHostProgram(std::string_view upperCommand) {
    return std::any_of(kHostProgramList.begin(), kHostProgramList.end(), [&](std::string_view host) {
        return upperCommand.find(host) != std::string_view::npos;
    });
}

// A section of fn.dat, or the file part of a main-table pair, must be spelled as TargetFileName gives
// file names, or no lookup ever reaches it.
Problems FileSectionProblems(std::string_view section) {
    Problems problems;
    if (section != UpperCase(section)) {
        problems.push_back("not upper case");
    }
    if (NamesHostProgram(section)) {
        if (TargetFileName(section) != section) {
            problems.push_back("a host command that does not name itself");
        }
        return problems;
    }
    if (section.find('\\') != std::string_view::npos || !CommandsGiveFileName(section)) {
        problems.push_back("no command gives this file name");
    }
    return problems;
}

enum class PatternKind { Section, Filename };

// A rule's pattern must be able to match a real entry: the stars stand for one character each, so the
// pattern with every star filled in is the shortest proof. A file-name pattern must also come out of
// a command of that file. A pattern whose prefix and suffix are both empty (only stars, or stars at
// both ends) matches nothing but its own spelling.
Problems PatternProblems(std::string_view pattern, PatternKind kind) {
    Problems problems;
    if (pattern.empty()) {
        problems.push_back("empty pattern");
        return problems;
    }
    const std::size_t first = pattern.find('*');
    const std::size_t last = pattern.rfind('*');
    if (first != std::string_view::npos && first == 0 && last + 1 == pattern.size()) {
        problems.push_back("stars at both ends: it matches only its own spelling");
    }
    if (CharacterCount(pattern) > kLongestName) {
        problems.push_back("longer than any entry name");
    }
    std::string witness(pattern);
    std::replace(witness.begin(), witness.end(), '*', 'A');
    const std::string upperWitness = UpperCase(witness);
    if (!MatchRule(upperWitness, UpperCase(pattern))) {
        problems.push_back("does not match " + witness);
    }
    if (kind == PatternKind::Filename) {
        if (CharacterCount(pattern) < 5) {
            problems.push_back("shorter than any file name with an extension");
        }
        if (witness.find('\\') != std::string::npos || !CommandsGiveFileName(upperWitness)) {
            problems.push_back("no command gives a file name like " + upperWitness);
        }
    }
    return problems;
}

// --- The database as the tool reads it. ----------------------------------------------------------

struct Section {
    std::string file; // "st.dat", "sn.dat", "fn.dat"
    std::string name;
    std::string confirmed;
    std::string description;
};

struct Rule {
    int number = 0;
    std::string section;
    std::string filename;
    std::string confirmed;
    std::string description;
};

// Section headers and key names in file order, as written, with the section each key is under: the
// readers keep only the first of each, so this is where repeats show.
struct RawLayout {
    std::vector<std::string> sections;
    std::vector<std::pair<std::string, std::string>> keys; // (section, key)
    std::size_t keysAboveFirstSection = 0;
};

RawLayout ReadLayout(std::string_view content) {
    RawLayout layout;
    std::optional<std::string> current;
    while (!content.empty()) {
        const std::size_t end = content.find("\r\n");
        std::string_view line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view() : content.substr(end + 2);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        if (line.starts_with('[') && line.find(']') != std::string_view::npos) {
            current = std::string(line.substr(1, line.rfind(']') - 1));
            layout.sections.push_back(*current);
        } else if (line.find('=') != std::string_view::npos && !line.starts_with(';')) {
            if (!current) {
                ++layout.keysAboveFirstSection;
            } else {
                layout.keys.emplace_back(*current, std::string(line.substr(0, line.find('='))));
            }
        }
    }
    return layout;
}

// The four files once for all tests: st.dat through EntryTable, the others through the profile reader
// with CachedProfile's cap, which is how ProgramDatabase reads them.
struct ShippedDatabase {
    ShippedDatabase() {
        const std::string_view stContent = Shipped("st.dat");
        entryTable = EntryTable::Parse(stContent);
        stDocument = ProfileDocument::Parse(stContent);
        for (const std::string& name : stDocument.SectionNames()) {
            sections.push_back({"st.dat", name, std::string(entryTable.Value(name, "Confirmed")),
                                std::string(entryTable.Value(name, "Description"))});
        }
        for (const std::string_view file : {"sn.dat", "fn.dat"}) {
            const ProfileDocument document = ProfileDocument::Parse(Shipped(file));
            for (const std::string& name : document.SectionNames()) {
                sections.push_back({std::string(file), name, ProfileValue(document, name, "Confirmed"),
                                    ProfileValue(document, name, "Description")});
            }
        }
        rulesDocument = ProfileDocument::Parse(Shipped("sp.dat"));
        count = ParseProfileInteger(ProfileValue(rulesDocument, "general", "count")).value_or(0);
        for (int i = 0; i < count; ++i) {
            const std::string name = std::to_string(i);
            if (rulesDocument.HasSection(name)) {
                rules.push_back({i, ProfileValue(rulesDocument, name, "Section"),
                                 ProfileValue(rulesDocument, name, "Filename"),
                                 ProfileValue(rulesDocument, name, "Confirmed"),
                                 ProfileValue(rulesDocument, name, "Description")});
            }
        }
    }

    static std::string ProfileValue(const ProfileDocument& document, std::string_view section,
                                    std::string_view key) {
        const std::optional<std::string> value = document.Find(section, key);
        return value ? CutAtCharBoundary(*value, CachedProfile::kValueLimit) : std::string();
    }

    EntryTable entryTable;
    ProfileDocument stDocument;
    ProfileDocument rulesDocument;
    std::vector<Section> sections;
    int count = 0;
    std::vector<Rule> rules;
};

const ShippedDatabase& Database() {
    static const ShippedDatabase database;
    return database;
}

// A sandbox root seeded with the demo system and the shipped files, with the database over it.
class SeededMachine {
public:
    SeededMachine() {
        auto opened = sandbox::SandboxSystem::OpenOrSeed(dir_.Path() / "root");
        if (auto* error = std::get_if<std::string>(&opened)) {
            ADD_FAILURE() << *error;
            return;
        }
        system_ = std::move(std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened));
        database_ = std::make_unique<ProgramDatabase>(system_->Files());
    }
    bool Ready() const { return database_ != nullptr; }
    sandbox::SandboxSystem& System() { return *system_; }
    ProgramDatabase& Database() { return *database_; }

private:
    test::TempDir dir_;
    std::unique_ptr<sandbox::SandboxSystem> system_;
    std::unique_ptr<ProgramDatabase> database_;
};

// Sections and rules that rate one program differently. Tables are read in a fixed order, so a
// disagreement is no error at run time; it is a sign that one of the two places is stale.
Problems ContradictionProblems(const std::vector<Section>& sections, const std::vector<Rule>& rules) {
    std::map<std::string, const Section*> stNames, snNames, fileNames;
    std::vector<std::pair<std::string, const Section*>> pairs; // (name, section) of "name|file"
    std::vector<std::pair<std::string, const Section*>> pairFiles;
    for (const Section& section : sections) {
        const std::string upper = UpperCase(section.name);
        if (section.file == "fn.dat") {
            fileNames[upper] = &section;
        } else if (section.file == "sn.dat") {
            snNames[upper] = &section;
        } else if (const std::size_t bar = upper.find('|'); bar != std::string::npos) {
            pairs.emplace_back(upper.substr(0, bar), &section);
            pairFiles.emplace_back(upper.substr(bar + 1), &section);
        } else {
            stNames[upper] = &section;
        }
    }
    Problems problems;
    const auto differ = [&](const Section& a, const Section& b, const std::string& why) {
        if (a.confirmed != b.confirmed) {
            problems.push_back(a.file + " [" + a.name + "] says " + a.confirmed + ", " + b.file + " [" +
                               b.name + "] says " + b.confirmed + ": " + why);
        }
    };
    for (const auto& [name, section] : pairs) {
        if (const auto found = stNames.find(name); found != stNames.end()) {
            differ(*section, *found->second, "the name alone answers first, so the pair never rates");
        }
    }
    for (const auto& [file, section] : pairFiles) {
        if (const auto found = fileNames.find(file); found != fileNames.end()) {
            differ(*section, *found->second, "the same program file");
        }
    }
    for (const auto& [name, section] : snNames) {
        if (const auto found = stNames.find(name); found != stNames.end()) {
            differ(*section, *found->second, "the same entry name");
        }
    }
    // The first rule that would rate a name or a file of the tables must agree with them, or the same
    // program is rated one way under a listed name and another way under an unlisted one.
    const auto firstRating = [&](const std::string& text, PatternKind kind) -> const Rule* {
        for (const Rule& rule : rules) {
            const std::string& pattern = kind == PatternKind::Section ? rule.section : rule.filename;
            if (!rule.confirmed.empty() && MatchRule(text, UpperCase(pattern))) {
                return &rule;
            }
        }
        return nullptr;
    };
    const auto againstRules = [&](const std::string& text, const Section& section, PatternKind kind) {
        if (const Rule* rule = firstRating(text, kind);
            rule != nullptr && rule->confirmed != section.confirmed) {
            problems.push_back(section.file + " [" + section.name + "] says " + section.confirmed +
                               ", rule " + std::to_string(rule->number) + " says " + rule->confirmed);
        }
    };
    for (const auto& [name, section] : stNames) {
        againstRules(name, *section, PatternKind::Section);
    }
    for (const auto& [name, section] : snNames) {
        againstRules(name, *section, PatternKind::Section);
    }
    for (const auto& [name, section] : pairs) {
        againstRules(name, *section, PatternKind::Section);
    }
    for (const auto& [file, section] : fileNames) {
        againstRules(file, *section, PatternKind::Filename);
    }
    for (const auto& [file, section] : pairFiles) {
        againstRules(file, *section, PatternKind::Filename);
    }
    return problems;
}

// --- The checkers themselves must catch what they are for. ---------------------------------------

TEST(ShippedDatabaseChecks, DescriptionCheckRejectsActiveOrBrokenMarkup) {
    const struct {
        const char* text;
        bool accepted;
    } cases[] = {
        {"Keeps your files in sync. Without it nothing syncs.", true},
        {"Keep it <b>enabled</b>.<br>Really.", true},
        {"<STRONG>Loud</STRONG> but fine", true},
        {"", false},
        {"<script>alert(1)</script>", false},
        {"<SCRIPT src=x></SCRIPT>", false},
        {"<style>body{display:none}</style>", false},
        {"<b onclick=alert(1)>click</b>", false},
        {"<b style=\"color:red\">red</b>", false},
        {"<a href=\"javascript:alert(1)\">x</a>", false},
        {"see JavaScript:void(0)", false},
        {"<img src=x onerror=alert(1)>", false},
        {"an open <b tag", false},
        {"\"quoted whole\"", false},
        {"tab\tinside", false},
        {"caf\xC3\xA9", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DescriptionProblems(c.text).empty(), c.accepted) << Join(DescriptionProblems(c.text));
    }
    EXPECT_FALSE(DescriptionProblems(std::string(CachedProfile::kValueLimit + 1, 'a')).empty());
}

TEST(ShippedDatabaseChecks, PatternCheckRejectsRulesNoEntryCanMatch) {
    const struct {
        const char* pattern;
        PatternKind kind;
        bool accepted;
    } cases[] = {
        {"SVCH*ST", PatternKind::Section, true},
        {"MicrosoftEdgeAutoLaunch_********************************", PatternKind::Section, true},
        {"*Helper", PatternKind::Section, true},
        {"SVCH*ST.EXE", PatternKind::Filename, true},
        {"notepad.exe", PatternKind::Filename, true},
        {"*ELPER.DLL", PatternKind::Filename, true},
        {"", PatternKind::Section, false},
        {"*", PatternKind::Section, false},
        {"*****", PatternKind::Filename, false},
        {"*middle*", PatternKind::Section, false},
        {"HPZTSB**", PatternKind::Filename, false},          // no extension: no command gives such a name
        {"C:\\APPS\\FOO.EXE", PatternKind::Filename, false}, // a file name never holds its folder
        {"A.EX", PatternKind::Filename, false},
        {"FOO*.TXT", PatternKind::Filename, false}, // .TXT is no program extension
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(PatternProblems(c.pattern, c.kind).empty(), c.accepted)
            << Join(PatternProblems(c.pattern, c.kind));
    }
    EXPECT_FALSE(PatternProblems(std::string(kLongestName, 'A') + "*", PatternKind::Section).empty());
}

TEST(ShippedDatabaseChecks, FileSectionCheckWantsTheSpellingOfTargetFileName) {
    const struct {
        const char* section;
        bool accepted;
    } cases[] = {
        {"ONEDRIVE.EXE", true},
        {"NVIDIA GEFORCE EXPERIENCE.EXE", true},
        {"BATTLE.NET.EXE", true},
        {"MSKERNEL32.VBS", true},
        {"RUNDLL32.EXE C:\\WINDOWS\\SYSTEM32\\HBHELPER.DLL,STARTHELPER", true},
        {"OneDrive.exe", false},
        {"C:\\PROGRAM FILES\\APP\\APP.EXE", false},
        {"ONEDRIVE", false},
        {"README.TXT", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        EXPECT_EQ(FileSectionProblems(c.section).empty(), c.accepted);
    }
}

TEST(ShippedDatabaseChecks, TextFileCheckWantsCrlfUtf8) {
    const struct {
        std::string_view bytes;
        bool accepted;
    } cases[] = {
        {"[A]\r\nConfirmed=Y\r\n", true},
        {"[A]\r\nDescription=caf\xC3\xA9\r\n", true},
        {"", false},
        {"[A]\nConfirmed=Y\n", false},
        {"[A]\r\nConfirmed=Y\r", false},
        {"[A]\r\nConfirmed=Y", false},
        {std::string_view("[A]\0\r\n", 6), false},
        {"[A]\r\nDescription=caf\xE9\r\n", false},  // Latin-1, not UTF-8
        {"[A]\r\nDescription=\xC3\r\n", false},     // truncated sequence
        {"[A]\r\nDescription=\xC0\xAF\r\n", false}, // overlong form
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
        EXPECT_EQ(TextFileProblems(c.bytes).empty(), c.accepted);
    }
}

TEST(ShippedDatabaseChecks, ContradictionCheckFindsTablesThatDisagree) {
    const std::vector<Rule> rules = {
        {0, "SVCH*ST", "SVCH*ST.EXE", "X", "Lookalike."},
        {1, "", "HELP*R.EXE", "", "Only a description: it rates nothing."},
    };
    const struct {
        const char* what;
        std::vector<Section> sections;
        std::size_t problems;
    } cases[] = {
        {"tables that agree",
         {{"st.dat", "Foo", "U", "d"},
          {"st.dat", "Foo|FOO.EXE", "U", "d"},
          {"fn.dat", "FOO.EXE", "U", "d"},
          {"sn.dat", "Bar", "N", "d"},
          {"fn.dat", "SVCHOST.EXE", "X", "d"},
          {"fn.dat", "HELPER.EXE", "Y", "d"}},
         0},
        {"a pair and the file table",
         {{"st.dat", "Foo|FOO.EXE", "U", "d"}, {"fn.dat", "FOO.EXE", "N", "d"}},
         1},
        {"a pair hidden by its name", {{"st.dat", "Foo", "Y", "d"}, {"st.dat", "foo|FOO.EXE", "N", "d"}}, 1},
        {"the main and the name table", {{"st.dat", "Foo", "Y", "d"}, {"sn.dat", "FOO", "X", "d"}}, 1},
        {"a file and a rule", {{"fn.dat", "SVCHOST.EXE", "U", "d"}}, 1},
        {"a name and a rule", {{"sn.dat", "svch0st", "N", "d"}}, 1},
        {"a pair's file and a rule",
         {{"st.dat", "Host|SVCH0ST.EXE", "X", "d"}, {"st.dat", "Other|SVCHOST.EXE", "Y", "d"}},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Problems problems = ContradictionProblems(c.sections, rules);
        EXPECT_EQ(problems.size(), c.problems) << Join(problems);
    }
}

// --- The shipped files. ----------------------------------------------------------------------------

TEST(ShippedDatabase, FilesAreCrlfTextInUtf8) {
    for (const std::string_view file : kDatabaseFiles) {
        SCOPED_TRACE(file);
        const Problems problems = TextFileProblems(Shipped(file));
        EXPECT_TRUE(problems.empty()) << Join(problems);
    }
}

TEST(ShippedDatabase, NoSectionOrKeyIsRepeatedOrMisspelt) {
    const std::map<std::string_view, std::set<std::string>> keysOf = {
        {"st.dat", {"CONFIRMED", "DESCRIPTION"}},
        {"sn.dat", {"CONFIRMED", "DESCRIPTION"}},
        {"fn.dat", {"CONFIRMED", "DESCRIPTION"}},
        {"sp.dat", {"SECTION", "FILENAME", "CONFIRMED", "DESCRIPTION", "COUNT"}},
    };
    for (const std::string_view file : kDatabaseFiles) {
        SCOPED_TRACE(file);
        const RawLayout layout = ReadLayout(Shipped(file));
        Problems problems;
        if (layout.keysAboveFirstSection != 0) {
            problems.push_back("keys above the first section");
        }
        std::set<std::string> sections;
        for (const std::string& section : layout.sections) {
            if (!sections.insert(UpperCase(section)).second) {
                problems.push_back("[" + section + "] again: only the first counts");
            }
        }
        std::set<std::pair<std::string, std::string>> keys;
        for (const auto& [section, key] : layout.keys) {
            if (!keys.emplace(UpperCase(section), UpperCase(key)).second) {
                problems.push_back("[" + section + "] " + key + " again: only the first counts");
            }
            if (!keysOf.at(file).contains(UpperCase(key))) {
                problems.push_back("[" + section + "] has the unknown key " + key);
            }
        }
        EXPECT_TRUE(problems.empty()) << Join(problems);
    }
}

TEST(ShippedDatabase, MainTableReadsTheSameWithEitherReader) {
    // st.dat is read by the tool's own parser, the others by the profile functions; a value that the
    // two would read differently (quotes, a stray bracket) would act differently if moved between them.
    const ShippedDatabase& database = Database();
    const std::vector<std::string> names = database.stDocument.SectionNames();
    EXPECT_EQ(database.entryTable.SectionCount(), names.size());
    for (const std::string& name : names) {
        for (const std::string& key : database.stDocument.KeyNames(name)) {
            SCOPED_TRACE(name + " " + key);
            EXPECT_EQ(database.entryTable.Value(name, key), database.stDocument.Find(name, key).value_or(""));
        }
    }
}

TEST(ShippedDatabase, EverySectionRatesWithOneOfTheFiveLettersAndDescribesSafely) {
    Problems problems;
    for (const Section& section : Database().sections) {
        const std::string where = section.file + " [" + section.name + "]: ";
        if (!IsLetter(section.confirmed)) {
            problems.push_back(where + "Confirmed is \"" + section.confirmed + "\"");
        }
        for (const std::string& problem : DescriptionProblems(section.description)) {
            problems.push_back(where + problem);
        }
        if (section.name.empty() || CharacterCount(section.name) > kLongestName) {
            problems.push_back(where + "no entry has such a name");
        }
    }
    EXPECT_TRUE(problems.empty()) << Join(problems);
    EXPECT_GE(Database().sections.size(), 400u);
}

TEST(ShippedDatabase, FileNamesAreSpelledAsCommandsGiveThem) {
    Problems problems;
    for (const Section& section : Database().sections) {
        std::string_view fileName;
        if (section.file == "fn.dat") {
            fileName = section.name;
        } else if (section.file == "st.dat" && section.name.find('|') != std::string::npos) {
            fileName = std::string_view(section.name).substr(section.name.find('|') + 1);
            if (fileName.empty()) {
                continue; // an entry whose command is empty
            }
        } else {
            continue;
        }
        for (const std::string& problem : FileSectionProblems(fileName)) {
            problems.push_back(section.file + " [" + section.name + "]: " + problem);
        }
    }
    EXPECT_TRUE(problems.empty()) << Join(problems);
}

TEST(ShippedDatabase, RuleCountMatchesTheRuleSections) {
    const ShippedDatabase& database = Database();
    ASSERT_GT(database.count, 0);
    EXPECT_EQ(database.rules.size(), static_cast<std::size_t>(database.count)) << "a rule section is missing";
    for (const std::string& name : database.rulesDocument.SectionNames()) {
        if (UpperCase(name) == "GENERAL") {
            continue;
        }
        const std::optional<int> number = ParseProfileInteger(name);
        EXPECT_TRUE(number && std::to_string(*number) == name && *number < database.count)
            << "[" << name << "] is no rule below the count: no lookup reads it";
    }
}

TEST(ShippedDatabase, EveryRuleCanMatchAndGivesSomething) {
    Problems problems;
    std::set<std::pair<std::string, std::string>> seen;
    for (const Rule& rule : Database().rules) {
        const std::string where = "rule " + std::to_string(rule.number) + ": ";
        if (rule.section.empty() && rule.filename.empty()) {
            problems.push_back(where + "no pattern");
        }
        if (!rule.section.empty()) {
            for (const std::string& problem : PatternProblems(rule.section, PatternKind::Section)) {
                problems.push_back(where + "Section " + problem);
            }
        }
        if (!rule.filename.empty()) {
            for (const std::string& problem : PatternProblems(rule.filename, PatternKind::Filename)) {
                problems.push_back(where + "Filename " + problem);
            }
        }
        if (rule.confirmed.empty() && rule.description.empty()) {
            problems.push_back(where + "neither a rating nor a description");
        }
        if (!rule.confirmed.empty() && !IsLetter(rule.confirmed)) {
            problems.push_back(where + "Confirmed is \"" + rule.confirmed + "\"");
        }
        if (!rule.description.empty()) {
            for (const std::string& problem : DescriptionProblems(rule.description)) {
                problems.push_back(where + problem);
            }
        }
        if (!seen.emplace(UpperCase(rule.section), UpperCase(rule.filename)).second) {
            problems.push_back(where + "the same patterns as an earlier rule, which answers first");
        }
    }
    EXPECT_TRUE(problems.empty()) << Join(problems);
}

TEST(ShippedDatabase, NoTwoSectionsRateOneProgramDifferently) {
    const Problems problems = ContradictionProblems(Database().sections, Database().rules);
    EXPECT_TRUE(problems.empty()) << Join(problems);
}

// --- Lookups as the tool makes them. ---------------------------------------------------------------

TEST(ShippedDatabase, RatesCommonStartupEntriesAsIntended) {
    SeededMachine machine;
    ASSERT_TRUE(machine.Ready());
    ProgramDatabase& database = machine.Database();
    const std::string edgeGuid = "0123456789ABCDEF0123456789ABCDEF";
    const struct {
        std::string name;
        std::string command;
        Rating rating;
    } cases[] = {
        {"SecurityHealth", "%windir%\\system32\\SecurityHealthSystray.exe", Rating::Required},
        {"OneDrive", "\"C:\\Users\\X\\AppData\\Local\\Microsoft\\OneDrive\\OneDrive.exe\" /background",
         Rating::UserChoice},
        {"Steam", "\"C:\\Program Files (x86)\\Steam\\steam.exe\" -silent", Rating::UserChoice},
        {"MicrosoftEdgeAutoLaunch_" + edgeGuid,
         "\"C:\\Program Files (x86)\\Microsoft\\Edge\\Application\\msedge.exe\" --no-startup-window "
         "--win-session-start /prefetch:5",
         Rating::NotRequired},
        {"GoogleChromeAutoLaunch_" + edgeGuid,
         "\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" --no-startup-window /prefetch:5",
         Rating::NotRequired},
        {"svch0st", "C:\\Users\\X\\AppData\\Roaming\\svch0st.exe", Rating::Harmful},
        {"scvhost", "C:\\Users\\X\\AppData\\Roaming\\scvhost.exe", Rating::Harmful},
        {"Windows Host", "C:\\Users\\X\\AppData\\Local\\Temp\\csrss.exe", Rating::Harmful},
        {"avserve.exe", "C:\\WINDOWS\\avserve.exe", Rating::Harmful},
        {"mssecsvc2", "C:\\ProgramData\\qwerty\\tasksche.exe", Rating::Harmful},
        {"ctfmon", "C:\\Windows\\system32\\ctfmon.exe", Rating::Required},
        {"RtkAudUService",
         "\"C:\\WINDOWS\\System32\\DriverStore\\FileRepository\\realtekservice.inf_amd64\\RtkAudUService64."
         "exe\" "
         "-background",
         Rating::Required},
        {"SynTPEnh", "%ProgramFiles%\\Synaptics\\SynTP\\SynTPEnh.exe", Rating::Required},
        {"VBoxTray", "C:\\Windows\\system32\\VBoxTray.exe", Rating::Required},
        {"RtHDVBg_Dolby", "\"C:\\Program Files\\Realtek\\Audio\\HDA\\RAVBg64.exe\" /FORPCEE4 /RTK_DOLBY",
         Rating::UserChoice},
        {"Discord", "C:\\Users\\X\\AppData\\Local\\Discord\\Update.exe --processStart Discord.exe",
         Rating::UserChoice},
        {"com.squirrel.Teams.Teams",
         "C:\\Users\\X\\AppData\\Local\\Microsoft\\Teams\\Update.exe --processStart \"Teams.exe\" "
         "--process-start-args \"--system-initiated\"",
         Rating::UserChoice},
        {"com.squirrel.slack.slack",
         "C:\\Users\\X\\AppData\\Local\\slack\\slack.exe --process-start-args --startup", Rating::UserChoice},
        {"electron.app.Signal",
         "\"C:\\Users\\X\\AppData\\Local\\Programs\\signal-desktop\\Signal.exe\" --start-in-tray",
         Rating::UserChoice},
        {"Dropbox", "\"C:\\Program Files (x86)\\Dropbox\\Client\\Dropbox.exe\" /systemstartup",
         Rating::UserChoice},
        {"EpicGamesLauncher",
         "\"C:\\Program Files (x86)\\Epic Games\\Launcher\\Portal\\Binaries\\Win32\\EpicGamesLauncher.exe\" "
         "-silent",
         Rating::UserChoice},
        {"Spotify", "\"C:\\Users\\X\\AppData\\Roaming\\Spotify\\Spotify.exe\" --autostart --minimized",
         Rating::UserChoice},
        {"AvastUI.exe", "\"C:\\Program Files\\Avast Software\\Avast\\AvLaunch.exe\" /gui",
         Rating::UserChoice},
        {"egui", "\"C:\\Program Files\\ESET\\ESET Security\\ecmds.exe\" /run /hide /proxy",
         Rating::UserChoice},
        {"TeamViewer", "\"C:\\Program Files\\TeamViewer\\TeamViewer.exe\" --minimize", Rating::UserChoice},
        {"SunJavaUpdateSched", "\"C:\\Program Files (x86)\\Common Files\\Java\\Java Update\\jusched.exe\"",
         Rating::NotRequired},
        {"Adobe ARM", "\"C:\\Program Files (x86)\\Common Files\\Adobe\\ARM\\1.0\\AdobeARM.exe\"",
         Rating::NotRequired},
        {"iTunesHelper", "\"C:\\Program Files\\iTunes\\iTunesHelper.exe\"", Rating::NotRequired},
        {"Google Update", "\"C:\\Users\\X\\AppData\\Local\\Google\\Update\\GoogleUpdate.exe\" /c",
         Rating::NotRequired},
        {"IgfxTray", "C:\\Windows\\system32\\igfxtray.exe", Rating::NotRequired},
        {"NvBackend", "\"C:\\Program Files (x86)\\NVIDIA Corporation\\Update Core\\NvBackend.exe\"",
         Rating::NotRequired},
        {"Logitech Download Assistant",
         "C:\\Windows\\system32\\rundll32.exe C:\\Windows\\System32\\LogiLDA.dll,LogiFetch",
         Rating::NotRequired},
        {"CCleaner Monitoring", "\"C:\\Program Files\\CCleaner\\CCleaner64.exe\" /MONITOR",
         Rating::NotRequired},
        {"UpdateP2GShortCut",
         "\"C:\\Program Files\\CyberLink\\Power2Go\\MUITransfer\\MUIStartMenu.exe\" \"C:\\Program "
         "Files\\CyberLink\\Power2Go\" "
         "UpdateWithCreateOnce \"Software\\CyberLink\\Power2Go\\8.0\"",
         Rating::NotRequired},
        {"HPStatus", "C:\\Program Files\\HP\\hpztsb09.exe", Rating::NotRequired},
        {"Run Script", "powershell.exe -WindowStyle Hidden -File C:\\Users\\X\\a.ps1", Rating::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " = " + c.command);
        EXPECT_EQ(database.LookupRating(c.name, c.command), c.rating);
        EXPECT_NE(database.LookupDescription(c.name, c.command), "Unknown Application");
    }
    // A program the database does not know stays unknown rather than catching a family's rule.
    EXPECT_EQ(database.LookupRating("Foobar Helper", "C:\\Tools\\foobarhelper.exe"), Rating::Unknown);
    EXPECT_EQ(database.LookupDescription("Foobar Helper", "C:\\Tools\\foobarhelper.exe"),
              "Unknown Application");
}

TEST(ShippedDatabase, KnowsEveryEntryOfTheDemoSystem) {
    SeededMachine machine;
    ASSERT_TRUE(machine.Ready());
    Inventory inventory;
    CountingIconSink icons;
    LoadInventory(inventory, machine.System().Services(), machine.Database(), icons);
    ASSERT_GE(inventory.Items.size(), 18u);
    std::set<Rating> seen;
    for (const auto& item : inventory.Items) {
        SCOPED_TRACE("\"" + item->Name.str() + "\" = " + item->Command.str());
        // Every entry has a rating letter in some table, even the one rated "?" on purpose.
        EXPECT_FALSE(machine.Database().LookupValue(item->Name, item->Command, "Confirmed").empty());
        EXPECT_NE(machine.Database().LookupDescription(item->Name, item->Command), "Unknown Application");
        // The organisation's policy agent is the demo's honest unknown.
        EXPECT_EQ(item->Rating == Rating::Unknown, item->Name == "PolicyAgent");
        seen.insert(item->Rating);
    }
    EXPECT_EQ(seen.size(), 5u) << "the demo list shows every rating";
}

} // namespace

} // namespace qb
