#include "platform/contract/contract_backend.h"
#include "platform/profile_text.h"

namespace qb::test {

namespace {
// Files are written through the file service so that every backend reads the same bytes.
std::string PutFile(ContractBackend& backend, const std::string& name, const std::string& content) {
    const std::string path = JoinPath(backend.ScratchFolder(), name);
    EXPECT_TRUE(backend.Files().WriteFile(path, content));
    return path;
}
} // namespace

struct LookupCase {
    const char* content;
    const char* section;
    const char* key;
    std::optional<std::string> expected; // nullopt: the default comes back
};

TEST_P(ProfileContract, ReadsWithTheSemanticsOfTheWindowsProfileFunctions) {
    const LookupCase cases[] = {
        {"[S]\r\nk=v\r\n", "S", "k", "v"},
        {"[S]\r\nk=v\r\n", "s", "K", "v"},       // names without regard to case
        {"[S]\r\nk=v\r\n", "  S ", " k\t", "v"}, // names given are trimmed
        {"[S]\r\n  k \t=  spaced value \t\r\n", "S", "k", "spaced value"},
        {"[S]\r\nk=\"quoted\"\r\n", "S", "k", "quoted"}, // one enclosing pair goes
        {"[S]\r\nk='single'\r\n", "S", "k", "single"},
        {"[S]\r\nk=\"x'\r\n", "S", "k", "\"x'"}, // unequal quotes stay
        {"[S]\r\nk=\"open\r\n", "S", "k", "\"open"},
        {"[S]\r\nk=a \"in\" b\r\n", "S", "k", "a \"in\" b"},      // quotes inside stay
        {"[S]\r\nk=first\r\nk=second\r\n", "S", "k", "first"},    // first duplicate key wins
        {"[S]\r\na=1\r\n[S]\r\nb=2\r\n", "S", "b", std::nullopt}, // only the first section is searched
        {"[S]\r\neq=a=b\r\n", "S", "eq", "a=b"},
        {"[S]\r\nnoequals\r\n", "S", "noequals", std::nullopt},
        {"[S]\r\nk=\r\n", "S", "k", ""},       // empty, not the default
        {"[a]b]\r\nk=v\r\n", "a]b", "k", "v"}, // the name runs to the last ]
        {"  [ s ]\r\nk=v\r\n", "s", "k", "v"},
        {"top=1\r\n[S]\r\nk=v\r\n", "", "top", "1"}, // keys before any section
        {"[S]\nk=lf\n", "S", "k", "lf"},
        {"[S]\rk=cr\r", "S", "k", "cr"},
        {"[S]\r\nk=v\r\n", "Other", "k", std::nullopt},
        {"[S]\r\nk=v\r\n", "S", "other", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        const std::string path = PutFile(*backend, "lookup.ini", c.content);
        EXPECT_EQ(backend->Profiles().ReadString(path, c.section, c.key, "(default)"),
                  c.expected.value_or("(default)"));
    }
}

// The quoting a backup relies on to give back a command with enclosing quotes or surrounding blanks.
TEST_P(ProfileContract, AValueWrittenQuotedReadsBackExactly) {
    const std::string path = JoinPath(backend->ScratchFolder(), "quoted.ini");
    const std::string values[] = {
        R"("C:\Program Files\Tallybird\tallybird.exe" --config "C:\x y\c.ini")",
        R"("C:\Apps\agent.exe")",
        "'single'",
        " lead and trail\t",
        " ",
        "\"\"",
        R"("C:\App\app.exe" /min)",
        "plain",
    };
    for (const auto& value : values) {
        SCOPED_TRACE(value);
        backend->Profiles().WriteString(path, "Item 0", "Command Path", ProfileQuoted(value));
        EXPECT_EQ(backend->Profiles().ReadValue(path, "Item 0", "Command Path"), value);
    }
}

TEST_P(ProfileContract, AMissingFileGivesTheDefault) {
    const std::string path = JoinPath(backend->ScratchFolder(), "absent.ini");
    EXPECT_EQ(backend->Profiles().ReadString(path, "S", "k", "dflt"), "dflt");
    EXPECT_EQ(backend->Profiles().ReadInteger(path, "S", "k", -7), -7);
}

TEST_P(ProfileContract, LongValuesAreCutAt2047Characters) {
    const std::string path = PutFile(*backend, "long.ini", "[S]\r\nk=" + std::string(5000, 'x') + "\r\n");
    EXPECT_EQ(backend->Profiles().ReadString(path, "S", "k", ""), std::string(2047, 'x'));
}

TEST_P(ProfileContract, IntegersAreDecimalOrHexadecimal) {
    const std::string path =
        PutFile(*backend, "int.ini", "[S]\r\ndec=42\r\nhex=0x1F\r\nneg=-3\r\ntext=abc\r\nlead=12abc\r\n");
    EXPECT_EQ(backend->Profiles().ReadInteger(path, "S", "dec", 0), 42);
    EXPECT_EQ(backend->Profiles().ReadInteger(path, "S", "hex", 0), 31);
    EXPECT_EQ(backend->Profiles().ReadInteger(path, "S", "neg", 0), -3);
    EXPECT_EQ(backend->Profiles().ReadInteger(path, "S", "text", 9), 9);
    EXPECT_EQ(backend->Profiles().ReadInteger(path, "S", "lead", 0), 12);
    EXPECT_EQ(backend->Profiles().ReadInteger(path, "S", "missing", 5), 5);
}

TEST_P(ProfileContract, WritingCreatesTheFileAndChangesOnlyWhatItMust) {
    const std::string path = JoinPath(backend->ScratchFolder(), "new.ini");
    backend->Profiles().WriteString(path, "S", "k", "v");
    EXPECT_EQ(backend->Files().ReadFile(path), "[S]\r\nk=v\r\n");

    backend->Profiles().WriteString(path, "S", "second", "2");
    backend->Profiles().WriteString(path, "T", "x", "y");
    backend->Profiles().WriteString(path, "s", "K", "replaced"); // matched in another case
    backend->Profiles().WriteInteger(path, "T", "n", 12);
    EXPECT_EQ(backend->Files().ReadFile(path), "[S]\r\nk=replaced\r\nsecond=2\r\n[T]\r\nx=y\r\nn=12\r\n");
}

TEST_P(ProfileContract, AKeyIsAddedAtTheEndOfItsOwnSection) {
    const std::string path = PutFile(*backend, "middle.ini", "[A]\r\na=1\r\n[B]\r\nb=1\r\n");
    backend->Profiles().WriteString(path, "A", "new", "2");
    EXPECT_EQ(backend->Files().ReadFile(path), "[A]\r\na=1\r\nnew=2\r\n[B]\r\nb=1\r\n");
}

TEST_P(ProfileContract, AWriteIntoAMissingFolderRaisesTheErrorWithThePath) {
    const std::string noFolder = JoinPath(JoinPath(backend->ScratchFolder(), "no such folder"), "x.ini");
    EXPECT_EQ(PlatformErrorOf([&] { backend->Profiles().WriteString(noFolder, "S", "k", "v"); }),
              "Unable to write to " + noFolder);
}

TEST_P(ProfileContract, AWriteToAReadOnlyFileRaisesTheErrorAndChangesNothing) {
    const std::string readOnly = PutFile(*backend, "ro.ini", "[S]\r\nk=old\r\n");
    if (!backend->MakeReadOnly(readOnly)) {
        GTEST_SKIP() << "read-only files are writable here (Wine running as root)";
    }
    EXPECT_EQ(PlatformErrorOf([&] { backend->Profiles().WriteString(readOnly, "S", "k", "new"); }),
              "Unable to write to " + readOnly);
    EXPECT_EQ(backend->Profiles().ReadString(readOnly, "S", "k", ""), "old");
}

} // namespace qb::test

namespace qb::test {

TEST_P(ProfileContract, SectionNamesComeInFileOrder) {
    const std::string path = JoinPath(backend->ScratchFolder(), "sections.ini");
    ASSERT_TRUE(
        backend->Files().WriteFile(path, "[Second]\r\nk=v\r\n[first]\r\n\r\n[Third Part]\r\nx=1\r\n"));
    EXPECT_EQ(backend->Profiles().SectionNames(path),
              (std::vector<std::string>{"Second", "first", "Third Part"}));
    EXPECT_TRUE(backend->Profiles().SectionNames(JoinPath(backend->ScratchFolder(), "absent.ini")).empty());
}

} // namespace qb::test

namespace qb::test {

// Many keys at once give what the keys one at a time give, on every kind of file the tool meets: a backup
// or the accepted setting is read and written in one go, and must read and write exactly as key by key
// through the profile functions does.
TEST_P(ProfileContract, ManyKeysAtOnceAgreeWithOneKeyAtATime) {
    using namespace std::string_literals;
    // Files as the tool writes them (CRLF, no blank lines), where Wine's profile functions agree with
    // Windows'; where they differ (blank lines, "[]", a value's leading blanks) Wine is not the reference.
    const std::string files[] = {
        "",
        "[General]\r\nNumber of Startup Items=2\r\n[Item 0]\r\nProgram Name=\"a\"\r\n[Item 1]\r\nk=0\r\n",
        "[S]\r\nk = spaced \r\nk=second\r\n[s]\r\nother=x\r\n",
        "top=1\r\n[a]b]\r\nk='q'\r\n",
        "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0"s, // UTF-16, as Notepad saves "Unicode"
    };
    const std::vector<ProfileKey> keys = {{"General", "Number of Startup Items"},
                                          {"Item 0", "Program Name"},
                                          {"item 1", "K"},
                                          {"S", "k"},
                                          {"s", "other"},
                                          {"", "top"},
                                          {"a]b", "k"},
                                          {"Missing", "k"}};
    const std::vector<ProfileEntry> writes = {{"General", "Number of Startup Items", "3"},
                                              {"Item 2", "Program Name", "new"},
                                              {"S", "K", "replaced"},
                                              {"item 0", "Status", "Enabled"},
                                              {"New Section", "k", "\"quoted\" value"}};
    int n = 0;
    for (const std::string& content : files) {
        SCOPED_TRACE(n);
        const std::string many = PutFile(*backend, "many" + std::to_string(n) + ".ini", content);
        const std::string one = PutFile(*backend, "one" + std::to_string(n) + ".ini", content);
        ++n;
        std::vector<std::optional<std::string>> oneByOne;
        for (const ProfileKey& key : keys) {
            oneByOne.push_back(backend->Profiles().ReadValue(one, key.section, key.key));
        }
        EXPECT_EQ(backend->Profiles().ReadValues(many, keys), oneByOne);

        backend->Profiles().WriteValues(many, writes);
        for (const ProfileEntry& write : writes) {
            backend->Profiles().WriteString(one, write.section, write.key, write.value);
        }
        EXPECT_EQ(backend->Files().ReadFile(many), backend->Files().ReadFile(one));
    }
    const std::string gone = JoinPath(backend->ScratchFolder(), "absent.ini");
    EXPECT_EQ(backend->Profiles().ReadValues(gone, keys),
              std::vector<std::optional<std::string>>(keys.size(), std::nullopt));
    EXPECT_FALSE(backend->Files().FileExists(gone));
}

} // namespace qb::test
