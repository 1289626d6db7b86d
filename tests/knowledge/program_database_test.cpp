#include "knowledge/program_database.h"
#include "platform/faults/faulty_services.h"
#include "support/sandbox_root.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace qb {

namespace {

const std::string kToolDirectory = "C:\\Program Files\\Quillbrook\\";

// The four files; a file left nullopt is not there.
struct DatabaseFiles {
    DatabaseFiles(std::optional<std::string> stFile = {}, std::optional<std::string> snFile = {},
                  std::optional<std::string> fnFile = {}, std::optional<std::string> spFile = {})
        : st(std::move(stFile)), sn(std::move(snFile)), fn(std::move(fnFile)), sp(std::move(spFile)) {}
    std::optional<std::string> st;
    std::optional<std::string> sn;
    std::optional<std::string> fn;
    std::optional<std::string> sp;
};

void Write(test::SandboxRoot& root, const DatabaseFiles& files) {
    const std::pair<const char*, const std::optional<std::string>*> named[] = {
        {"st.dat", &files.st}, {"sn.dat", &files.sn}, {"fn.dat", &files.fn}, {"sp.dat", &files.sp}};
    for (const auto& [name, content] : named) {
        if (*content) {
            root.File(kToolDirectory + name, **content);
        }
    }
}

// A rule file with the count and the rule sections given.
std::string Rules(const std::string& count, const std::string& sections) {
    return "[general]\r\ncount=" + count + "\r\n" + sections;
}

} // namespace

TEST(ProgramDatabase, RatingComesFromTheFirstStepWithAValue) {
    const char* fooExe = "C:\\Apps\\foo.exe /min";
    const struct {
        const char* what;
        DatabaseFiles files;
        const char* name;
        const char* command;
        Rating rating;
    } cases[] = {
        {"no files at all", {}, "Foo", fooExe, Rating::Unknown},
        {"main table beats name table",
         {"[Foo]\r\nConfirmed=Y\r\n", "[Foo]\r\nConfirmed=X\r\n"},
         "Foo",
         fooExe,
         Rating::Required},
        {"lower-case y stops the search",
         {"[Foo]\r\nConfirmed=y\r\n", "[Foo]\r\nConfirmed=X\r\n", "[FOO.EXE]\r\nConfirmed=X\r\n",
          Rules("1", "[0]\r\nSection=FOO\r\nConfirmed=X\r\n")},
         "Foo",
         fooExe,
         Rating::Unknown},
        {"a stray letter hides a later good one",
         {"[Foo]\r\nConfirmed=Z\r\n", "[Foo]\r\nConfirmed=Y\r\n"},
         "Foo",
         fooExe,
         Rating::Unknown},
        {"name and file pair in the main table",
         {"[Foo|FOO.EXE]\r\nConfirmed=N\r\n"},
         "Foo",
         fooExe,
         Rating::NotRequired},
        {"pair of another file misses", {"[Foo|BAR.EXE]\r\nConfirmed=N\r\n"}, "Foo", fooExe, Rating::Unknown},
        {"pair with an empty file name", {"[Foo|]\r\nConfirmed=N\r\n"}, "Foo", "", Rating::NotRequired},
        {"name table", {std::nullopt, "[Foo]\r\nConfirmed=U\r\n"}, "Foo", fooExe, Rating::UserChoice},
        {"file table",
         {std::nullopt, std::nullopt, "[foo.exe]\r\nConfirmed=X\r\n"},
         "Foo",
         fooExe,
         Rating::Harmful},
        {"name table before file table",
         {std::nullopt, "[Foo]\r\nConfirmed=N\r\n", "[FOO.EXE]\r\nConfirmed=X\r\n"},
         "Foo",
         fooExe,
         Rating::NotRequired},
        {"file table before rules",
         {std::nullopt, std::nullopt, "[FOO.EXE]\r\nConfirmed=Y\r\n",
          Rules("1", "[0]\r\nSection=FOO\r\nConfirmed=X\r\n")},
         "Foo",
         fooExe,
         Rating::Required},
        {"rules last",
         {std::nullopt, std::nullopt, std::nullopt, Rules("1", "[0]\r\nSection=F*O\r\nConfirmed=N\r\n")},
         "Foo",
         fooExe,
         Rating::NotRequired},
        {"empty value falls through",
         {"[Foo]\r\nConfirmed=\r\n", "[Foo]\r\nConfirmed=Y\r\n"},
         "Foo",
         fooExe,
         Rating::Required},
        {"main table keeps quotes", {"[Foo]\r\nConfirmed=\"Y\"\r\n"}, "Foo", fooExe, Rating::Unknown},
        {"name table drops quotes",
         {std::nullopt, "[Foo]\r\nConfirmed=\"Y\"\r\n"},
         "Foo",
         fooExe,
         Rating::Required},
        {"main table takes the name as given, the profile reading trims it",
         {"[Foo]\r\nConfirmed=X\r\n", "[Foo]\r\nConfirmed=U\r\n"},
         " Foo",
         fooExe,
         Rating::UserChoice},
        {"host program: the whole command is the file name",
         {std::nullopt, std::nullopt, "[RUNDLL32.EXE C:\\X.DLL,RUN]\r\nConfirmed=Y\r\n"},
         "Helper",
         "rundll32.exe c:\\x.dll,Run",
         Rating::Required},
        {"empty command skips the file table",
         {std::nullopt, std::nullopt, "Confirmed=X\r\n[]\r\nConfirmed=X\r\n"},
         "Foo",
         "",
         Rating::Unknown},
        {"empty name reads the name table's empty section",
         {std::nullopt, "[]\r\nConfirmed=N\r\n"},
         "",
         fooExe,
         Rating::NotRequired},
        {"garbage files", {"\xFF\xFE[\x01", "\0\0\0", "[[[[", "]]]=[[["}, "Foo", fooExe, Rating::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::SandboxRoot root;
        Write(root, c.files);
        ProgramDatabase database(root.Services().files);
        EXPECT_EQ(database.LookupRating(c.name, c.command), c.rating);
    }
}

TEST(ProgramDatabase, RulesAreTriedInNumberOrderUntilOneGivesTheKey) {
    const struct {
        const char* what;
        std::string rules;
        const char* name;
        const char* fileName;
        const char* key;
        const char* value;
    } cases[] = {
        {"match by name", Rules("1", "[0]\r\nSection=ABC*\r\nDescription=d\r\n"), "abcd", "", "Description",
         "d"},
        {"match by file name", Rules("1", "[0]\r\nFilename=notepad.exe\r\nDescription=d\r\n"), "x",
         "NOTEPAD.EXE", "Description", "d"},
        {"exact file name only", Rules("1", "[0]\r\nFilename=notepad.exe\r\nDescription=d\r\n"), "x",
         "NOTEPAD2.EXE", "Description", ""},
        {"value returned as stored", Rules("1", "[0]\r\nSection=A\r\nDescription=<b>Mixed</b> Case\r\n"), "a",
         "", "Description", "<b>Mixed</b> Case"},
        {"rule without the key falls through",
         Rules("2", "[0]\r\nSection=A\r\nDescription=d\r\n[1]\r\nSection=A\r\nConfirmed=N\r\n"), "A", "",
         "Confirmed", "N"},
        {"first rule with a value wins",
         Rules("2", "[0]\r\nSection=A\r\nConfirmed=U\r\n[1]\r\nSection=A\r\nConfirmed=N\r\n"), "A", "",
         "Confirmed", "U"},
        {"number order, not file order",
         Rules("2", "[1]\r\nSection=A\r\nConfirmed=N\r\n[0]\r\nSection=A\r\nConfirmed=U\r\n"), "A", "",
         "Confirmed", "U"},
        {"rules at and above the count are not read",
         Rules("1", "[0]\r\nSection=B\r\nConfirmed=U\r\n[1]\r\nSection=A\r\nConfirmed=N\r\n"), "A", "",
         "Confirmed", ""},
        {"count larger than the rules",
         Rules("3", "[0]\r\nSection=B\r\nConfirmed=U\r\n[1]\r\nConfirmed=N\r\n"), "A", "", "Confirmed", ""},
        {"huge count, few rules", Rules("2147483647", "[5]\r\nSection=A\r\nConfirmed=N\r\n"), "A", "",
         "Confirmed", "N"},
        {"hexadecimal count", Rules("0x2", "[1]\r\nSection=A\r\nConfirmed=N\r\n"), "A", "", "Confirmed", "N"},
        {"non-numeric count", Rules("two", "[0]\r\nSection=A\r\nConfirmed=N\r\n"), "A", "", "Confirmed", ""},
        {"negative count", Rules("-1", "[0]\r\nSection=A\r\nConfirmed=N\r\n"), "A", "", "Confirmed", ""},
        {"missing count", "[0]\r\nSection=A\r\nConfirmed=N\r\n", "A", "", "Confirmed", ""},
        {"rule numbers are plain decimals", Rules("2", "[01]\r\nSection=A\r\nConfirmed=N\r\n"), "A", "",
         "Confirmed", ""},
        {"empty name never matches a Section pattern", Rules("1", "[0]\r\nSection=\r\nConfirmed=N\r\n"), "",
         "", "Confirmed", ""},
        {"empty name still matches through Filename",
         Rules("1", "[0]\r\nSection=\r\nFilename=FOO.EXE\r\nConfirmed=N\r\n"), "", "FOO.EXE", "Confirmed",
         "N"},
        {"one star matches only a star", Rules("1", "[0]\r\nSection=*\r\nConfirmed=N\r\n"), "A", "",
         "Confirmed", ""},
        {"patterns are upper-cased, letters beyond ASCII too",
         Rules("1", "[0]\r\nSection=caf\xC3\xA9\r\nConfirmed=N\r\n"), "CAF\xC3\x89", "", "Confirmed", "N"},
        {"quoted pattern", Rules("1", "[0]\r\nSection=\"A*\"\r\nConfirmed=N\r\n"), "AB", "", "Confirmed",
         "N"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::SandboxRoot root;
        Write(root, {std::nullopt, std::nullopt, std::nullopt, c.rules});
        ProgramDatabase database(root.Services().files);
        EXPECT_EQ(database.SearchPatterns(c.name, c.fileName, c.key), c.value);
    }
}

TEST(ProgramDatabase, OneRuleGivesTheRatingAndAnotherTheDescription) {
    test::SandboxRoot root;
    Write(root, {std::nullopt, std::nullopt, std::nullopt,
                 Rules("2", "[0]\r\nSection=Fo*\r\nDescription=From rule 0\r\n"
                            "[1]\r\nFilename=FOO.EXE\r\nConfirmed=N\r\nDescription=From rule 1\r\n")});
    ProgramDatabase database(root.Services().files);
    EXPECT_EQ(database.LookupRating("Foo", "C:\\Apps\\foo.exe"), Rating::NotRequired);
    EXPECT_EQ(database.LookupDescription("Foo", "C:\\Apps\\foo.exe"), "From rule 0");
    EXPECT_EQ(database.LookupDescription("Bar", "C:\\Apps\\foo.exe"), "From rule 1");
}

// An entry whose command changed since it was accepted keeps a name that may be the old program's: rated and
// described by what its command runs, through the steps that name that program (a pair, its file, the
// rules' file patterns), never by the name alone.
TEST(ProgramDatabase, AChangedEntryIsRatedAndDescribedByWhatItsCommandRunsNow) {
    test::SandboxRoot root;
    Write(root, {"[Sync]\r\nConfirmed=U\r\nDescription=The sync tray icon.\r\n"
                 "[Sync|EVIL.EXE]\r\nConfirmed=N\r\nDescription=A pair.\r\n",
                 "[Named]\r\nConfirmed=Y\r\nDescription=Named by sn.\r\n",
                 "[BAD.EXE]\r\nConfirmed=X\r\nDescription=A known bad program.\r\n",
                 Rules("2", "[0]\r\nSection=Rul*\r\nConfirmed=Y\r\nDescription=By name.\r\n"
                            "[1]\r\nFilename=WOR*.EXE\r\nConfirmed=X\r\nDescription=By file.\r\n")});
    ProgramDatabase database(root.Services().files);
    const struct {
        const char* name;
        const char* command;
        Rating byName, byCommand;
        const char* describedByCommand;
    } cases[] = {
        {"Sync", "C:\\Apps\\bad.exe -hide", Rating::UserChoice, Rating::Harmful, "A known bad program."},
        {"Sync", "C:\\Apps\\evil.exe", Rating::UserChoice, Rating::NotRequired, "A pair."},
        {"Sync", "C:\\Apps\\other.exe", Rating::UserChoice, Rating::Unknown, "Unknown Application"},
        {"Named", "C:\\Apps\\other.exe", Rating::Required, Rating::Unknown, "Unknown Application"},
        {"Rule", "C:\\Apps\\other.exe", Rating::Required, Rating::Unknown, "Unknown Application"},
        {"Rule", "C:\\Apps\\worm.exe", Rating::Required, Rating::Harmful, "By file."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " = " + c.command);
        EXPECT_EQ(database.LookupRating(c.name, c.command), c.byName);
        EXPECT_EQ(database.LookupCommandRating(c.name, c.command), c.byCommand);
        EXPECT_EQ(database.LookupCommandDescription(c.name, std::string("[Invalid Path]") + c.command),
                  c.describedByCommand);
    }
}

TEST(ProgramDatabase, DescriptionLookup) {
    const std::string longDescription(5000, 'd');
    const std::string cutAtCharacter = std::string(2046, 'a') + "\xC3\xA9";
    const struct {
        const char* what;
        DatabaseFiles files;
        const char* caption;
        std::string commandCell;
        std::string description;
    } cases[] = {
        {"nothing found", {}, "Foo", "C:\\Apps\\foo.exe", "Unknown Application"},
        {"invalid path marker dropped",
         {std::nullopt, std::nullopt, "[FOO.EXE]\r\nDescription=Found\r\n"},
         "Foo",
         "[Invalid Path]C:\\Gone\\foo.exe",
         "Found"},
        {"invalid path marker and a main table pair",
         {"[Foo|FOO.EXE]\r\nDescription=Pair\r\n"},
         "Foo",
         "[Invalid Path]C:\\Gone\\foo.exe",
         "Pair"},
        {"invalid path and nothing found",
         {},
         "Foo",
         "[Invalid Path]C:\\Gone\\foo.exe",
         "Unknown Application"},
        {"empty command reads the file table's empty section",
         {std::nullopt, std::nullopt, "Description=Nameless\r\n[X]\r\n"},
         "Foo",
         "",
         "Nameless"},
        {"markup kept", {"[Foo]\r\nDescription=<b>bold</b> &amp;\r\n"}, "Foo", "", "<b>bold</b> &amp;"},
        {"main table values are not cut",
         {"[Foo]\r\nDescription=" + longDescription + "\r\n"},
         "Foo",
         "",
         longDescription},
        {"profile values are cut at 2047 bytes",
         {std::nullopt, "[Foo]\r\nDescription=" + longDescription + "\r\n"},
         "Foo",
         "",
         std::string(2047, 'd')},
        {"the cut keeps characters whole",
         {std::nullopt, "[Foo]\r\nDescription=" + cutAtCharacter + "\r\n"},
         "Foo",
         "",
         std::string(2046, 'a')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::SandboxRoot root;
        Write(root, c.files);
        ProgramDatabase database(root.Services().files);
        EXPECT_EQ(database.LookupDescription(c.caption, c.commandCell), c.description);
    }
}

TEST(ProgramDatabase, EmptyFileNameDiffersOnlyBetweenRatingAndDescription) {
    test::SandboxRoot root;
    Write(root, {std::nullopt, std::nullopt, "[]\r\nConfirmed=X\r\nDescription=Nameless\r\n"});
    ProgramDatabase database(root.Services().files);
    EXPECT_EQ(database.LookupRating("Foo", ""), Rating::Unknown);
    EXPECT_EQ(database.LookupValue("Foo", "", "Confirmed"), "");
    EXPECT_EQ(database.LookupDescription("Foo", ""), "Nameless");
}

TEST(ProgramDatabase, EditsToTheProfileFilesShowAtTheNextLookup) {
    const struct {
        const char* file;
        std::string before;
        std::string after; // the same size: only the stamp's time or identity tells them apart
    } cases[] = {
        {"sn.dat", "[Foo]\r\nConfirmed=Y\r\n", "[Foo]\r\nConfirmed=X\r\n"},
        {"fn.dat", "[FOO.EXE]\r\nConfirmed=Y\r\n", "[FOO.EXE]\r\nConfirmed=X\r\n"},
        {"sp.dat", Rules("1", "[0]\r\nSection=F*O\r\nConfirmed=Y\r\n"),
         Rules("1", "[0]\r\nSection=F*O\r\nConfirmed=X\r\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        test::SandboxRoot root;
        root.Folder("C:\\Program Files\\Quillbrook");
        FileSystem& files = root.Services().files;
        const std::string path = kToolDirectory + c.file;
        ProgramDatabase database(files);
        EXPECT_EQ(database.LookupRating("Foo", "C:\\Apps\\foo.exe"), Rating::Unknown);
        ASSERT_TRUE(files.WriteFile(path, c.before)); // appears after the database was made
        EXPECT_EQ(database.LookupRating("Foo", "C:\\Apps\\foo.exe"), Rating::Required);
        ASSERT_TRUE(files.WriteFile(path, c.after));
        EXPECT_EQ(database.LookupRating("Foo", "C:\\Apps\\foo.exe"), Rating::Harmful);
        ASSERT_TRUE(files.DeleteFile(path));
        EXPECT_EQ(database.LookupRating("Foo", "C:\\Apps\\foo.exe"), Rating::Unknown);
    }
}

TEST(ProgramDatabase, TheMainTableIsReadOnceAtCreation) {
    test::SandboxRoot root;
    Write(root, {"[Foo]\r\nConfirmed=Y\r\n"});
    FileSystem& files = root.Services().files;
    ProgramDatabase database(files);
    ASSERT_TRUE(files.WriteFile(kToolDirectory + "st.dat", "[Foo]\r\nConfirmed=X\r\n"));
    EXPECT_EQ(database.LookupRating("Foo", ""), Rating::Required);
    ASSERT_TRUE(files.DeleteFile(kToolDirectory + "st.dat"));
    EXPECT_EQ(database.LookupRating("Foo", ""), Rating::Required);
}

TEST(ProgramDatabase, ManyLookupsReadEachFileOnceAndCheckItOncePerLookup) {
    test::SandboxRoot root;
    std::string rules = Rules("2000", "");
    for (int i = 0; i < 2000; ++i) {
        rules +=
            "[" + std::to_string(i) + "]\r\nFilename=RULE" + std::to_string(i) + ".EXE\r\nConfirmed=N\r\n";
    }
    Write(root, {"[Known]\r\nConfirmed=Y\r\n", "[Other]\r\nConfirmed=U\r\n", "[OTHER.EXE]\r\nConfirmed=U\r\n",
                 rules});
    FaultPlan plan;
    FaultyFileSystem files(root.Services().files, plan);
    ProgramDatabase database(files);

    const int lookups = 1000;
    for (int i = 0; i < lookups; ++i) {
        EXPECT_EQ(database.LookupRating("Entry" + std::to_string(i), "C:\\Apps\\rule1999.exe"),
                  Rating::NotRequired);
    }
    const auto count = [&](const char* operation, const char* file) {
        return std::count_if(plan.Log().begin(), plan.Log().end(), [&](const FaultPlan::Operation& op) {
            return op.name == operation && op.subject == kToolDirectory + file;
        });
    };
    for (const char* file : {"sn.dat", "fn.dat", "sp.dat"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(count("files.read", file), 1);
        EXPECT_EQ(count("files.stamp", file), lookups);
    }
    EXPECT_EQ(count("files.read", "st.dat"), 1);

    // A lookup the main table answers touches no file.
    plan.Reset();
    EXPECT_EQ(database.LookupRating("Known", "C:\\Apps\\known.exe"), Rating::Required);
    EXPECT_TRUE(plan.Log().empty());

    // A changed file is read again, once.
    ASSERT_TRUE(root.Services().files.WriteFile(kToolDirectory + "sp.dat", Rules("0", "")));
    plan.Reset();
    EXPECT_EQ(database.LookupRating("Entry", "C:\\Apps\\rule1999.exe"), Rating::Unknown);
    EXPECT_EQ(database.LookupRating("Entry", "C:\\Apps\\rule1999.exe"), Rating::Unknown);
    EXPECT_EQ(count("files.read", "sp.dat"), 1);
}

TEST(ProgramDatabase, UnreadableFileFallsThroughAndIsTriedAgain) {
    test::SandboxRoot root;
    Write(root, {std::nullopt, "[Foo]\r\nConfirmed=N\r\n", "[FOO.EXE]\r\nConfirmed=X\r\n"});
    FaultPlan plan;
    bool failRead = true;
    plan.FailWhen([&](const FaultPlan::Operation& op) {
        return failRead && op.name == "files.read" && op.subject == kToolDirectory + "sn.dat";
    });
    FaultyFileSystem files(root.Services().files, plan);
    ProgramDatabase database(files);
    EXPECT_EQ(database.LookupRating("Foo", "C:\\Apps\\foo.exe"), Rating::Harmful);
    failRead = false;
    EXPECT_EQ(database.LookupRating("Foo", "C:\\Apps\\foo.exe"), Rating::NotRequired);
}

} // namespace qb
