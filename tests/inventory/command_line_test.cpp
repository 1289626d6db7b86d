#include "inventory/command_line.h"
#include "support/sandbox_root.h"

#include <gtest/gtest.h>

namespace qb {

TEST(FindExtension, TheListOrderDecidesNotThePlaceInTheText) {
    const struct {
        const char* command;
        int position;
    } cases[] = {
        {"C:\\APP.EXE /X", 7},
        {"C:\\TOOL.COM /A C:\\B.EXE /X", 20}, // ".EXE " comes before ".COM " in the list
        {"\"C:\\APP.EXE\" /X", 8},            // followed by a quote: second pass
        {"C:\\APP.EXE\"", 7},
        {"C:\\SCRIPTS\\START.BAT", 17}, // at the very end: third pass
        {"C:\\OLD.EXE\\RUN.EXE", 0},    // only the first ".EXE" is tested against the end
        {"C:\\OLD.EXE\\RUN.EXE /X", 15},
        {"C:\\PROGRAM", 0},
        {"", 0},
        {".EXE", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(FindExtension(c.command), c.position);
    }
}

TEST(CommandLine, TargetsAreFoundAsTheWorkedTableSays) {
    test::SandboxRoot root;
    const struct {
        const char* command;
        std::vector<const char*> files; // present on the sandbox's drives
        const char* targetPath;
        const char* targetFileName;
    } cases[] = {
        {"c:\\windows\\notepad.exe", {"C:\\WINDOWS\\notepad.exe"}, "C:\\WINDOWS\\NOTEPAD.EXE", "NOTEPAD.EXE"},
        {"c:\\windows\\notepad.exe", {}, "", "NOTEPAD.EXE"},
        {"notepad", {"C:\\WINDOWS\\SYSTEM32\\notepad.exe"}, "C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE", "NOTEPAD"},
        {"notepad", {"C:\\WINDOWS\\notepad.exe"}, "C:\\WINDOWS\\NOTEPAD.EXE", "NOTEPAD"},
        {"notepad", {}, "", "NOTEPAD"},
        {"notepad /p x", {"C:\\WINDOWS\\notepad.exe"}, "C:\\WINDOWS\\NOTEPAD.EXE", "NOTEPAD"},
        {"\"C:\\Program Files\\App\\app.exe\" /min",
         {"C:\\Program Files\\App\\app.exe"},
         "C:\\PROGRAM FILES\\APP\\APP.EXE",
         "APP.EXE"},
        {"C:\\Program Files\\App\\app.exe /min",
         {"C:\\Program Files\\App\\app.exe"},
         "C:\\PROGRAM FILES\\APP\\APP.EXE",
         "APP.EXE"},
        {"C:\\App\\app.exe \"arg\"", {"C:\\App\\app.exe"}, "", ""},
        {"\"notepad.exe\"", {"C:\\WINDOWS\\SYSTEM32\\notepad.exe"}, "", "NOTEPAD.EXE"},
        {"C:\\Scripts\\start.bat", {"C:\\Scripts\\start.bat"}, "C:\\SCRIPTS\\START.BAT", "START.BAT"},
        {"rundll32.exe shell32.dll,Control_RunDLL",
         {},
         "RUNDLL32.EXE SHELL32.DLL,CONTROL_RUNDLL",
         "RUNDLL32.EXE SHELL32.DLL,CONTROL_RUNDLL"},
        {"[Invalid Path]C:\\X.EXE", {"C:\\X.EXE"}, "C:\\X.EXE", "X.EXE"},
        {"", {}, "", ""},
        {"C:\\Old.exe\\Run.exe", {}, "", "RUN.EXE"},
        {"\\APP.EXE", {}, "", "\\APP.EXE"},
        {"Visit http://example.org", {}, "VISIT HTTP://EXAMPLE.ORG", "VISIT HTTP://EXAMPLE.ORG"},
        {"regedit", {}, "", "REGEDIT"}, // a bare host program matches no marker
        {"c:\\zürich\\äpp.exe", {"C:\\Zürich\\äpp.exe"}, "C:\\ZÜRICH\\ÄPP.EXE", "ÄPP.EXE"},
    };
    auto services = root.Services();
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        // Each row gets its own files; earlier rows' files are removed.
        std::filesystem::remove_all(root.Path() / "drive_c");
        for (const char* file : c.files) {
            root.File(file);
        }
        EXPECT_EQ(TargetPath(c.command, services.system, services.files), c.targetPath) << "row " << round;
        EXPECT_EQ(TargetFileName(c.command), c.targetFileName) << "row " << round;
        ++round;
    }
}

TEST(CommandLine, ReferencesAreExpandedBeforeTheTargetIsLookedFor) {
    test::SandboxRoot root;
    root.Settings("[Environment]\r\nQbApps=C:\\Apps\r\nQbName=tool")
        .File("C:\\WINDOWS\\SYSTEM32\\SecurityHealthSystray.exe")
        .File("C:\\Program Files\\App\\app.exe")
        .File("C:\\Apps\\tool.exe")
        .File("C:\\WINDOWS\\tool.exe");
    const struct {
        const char* command;
        const char* targetPath;
    } cases[] = {
        {"%windir%\\system32\\SecurityHealthSystray.exe", "C:\\WINDOWS\\SYSTEM32\\SECURITYHEALTHSYSTRAY.EXE"},
        {"%SYSTEMROOT%\\System32\\securityhealthsystray.exe",
         "C:\\WINDOWS\\SYSTEM32\\SECURITYHEALTHSYSTRAY.EXE"},
        {"\"%ProgramFiles%\\App\\app.exe\" /min", "C:\\PROGRAM FILES\\APP\\APP.EXE"},
        {"%QbApps%\\%QbName%.exe -x", "C:\\APPS\\TOOL.EXE"},
        {"%QbName% /q", "C:\\WINDOWS\\TOOL.EXE"}, // a bare name, looked for in the system folders
        {"[Invalid Path]%windir%\\system32\\SecurityHealthSystray.exe",
         "C:\\WINDOWS\\SYSTEM32\\SECURITYHEALTHSYSTRAY.EXE"},
        {"%NotSet%\\system32\\SecurityHealthSystray.exe", ""}, // stays as written: no such folder
        {"%windir\\system32\\SecurityHealthSystray.exe", ""},
        {"%windir%\\system32\\missing.exe", ""},
    };
    auto services = root.Services();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(TargetPath(c.command, services.system, services.files), c.targetPath);
    }
    // The file name is read from the command as written.
    EXPECT_EQ(TargetFileName("%windir%\\system32\\SecurityHealthSystray.exe"), "SECURITYHEALTHSYSTRAY.EXE");
}

TEST(CommandLine, ProgramsAreFoundAsWindowsStartsThem) {
    const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
    const struct {
        const char* command;
        const char* environment; // [Environment] lines, on top of the defaults
        std::vector<const char*> files;
        std::vector<std::pair<const char*, const char*>> appPaths; // key name, default value
        const char* program;
    } cases[] = {
        {"C:\\Program Files\\Padnote\\padnote",
         "",
         {"C:\\Program Files\\Padnote\\padnote.exe"},
         {},
         "C:\\Program Files\\Padnote\\padnote.EXE"}, // the extension as PATHEXT spells it
        {"C:/Program Files/Padnote/padnote.exe",
         "",
         {"C:\\Program Files\\Padnote\\padnote.exe"},
         {},
         "C:\\Program Files\\Padnote\\padnote.exe"},
        {"C:/Program Files/Padnote/padnote /min",
         "",
         {"C:\\Program Files\\Padnote\\padnote.exe"},
         {},
         "C:\\Program Files\\Padnote\\padnote.EXE"},
        {"\"C:\\Program Files\\Padnote\\padnote\" /min",
         "",
         {"C:\\Program Files\\Padnote\\padnote.exe"},
         {},
         "C:\\Program Files\\Padnote\\padnote.EXE"},
        // Blanks split an unquoted line shortest first.
        {"C:\\Program Files\\Padnote\\padnote",
         "",
         {"C:\\Program.exe", "C:\\Program Files\\Padnote\\padnote.exe"},
         {},
         "C:\\Program.EXE"},
        // The extensions are tried in PATHEXT's order, and only those.
        {"C:\\Tools\\sync", "", {"C:\\Tools\\sync.bat", "C:\\Tools\\sync.com"}, {}, "C:\\Tools\\sync.COM"},
        {"C:\\Tools\\sync",
         "PATHEXT=.BAT;.EXE",
         {"C:\\Tools\\sync.com", "C:\\Tools\\sync.bat"},
         {},
         "C:\\Tools\\sync.BAT"},
        {"C:\\Tools\\sync", "PATHEXT=.EXE", {"C:\\Tools\\sync.com"}, {}, ""},
        {"C:\\Tools\\sync", "PATHEXT=", {"C:\\Tools\\sync.cmd"}, {}, "C:\\Tools\\sync.CMD"}, // the default
                                                                                             // list
        // A name with an extension, or ending in a dot, gets none added.
        {"C:\\Tools\\sync.", "", {"C:\\Tools\\sync.exe"}, {}, ""},
        // Bare names: the system folders, then PATH, then App Paths.
        {"padnote /p",
         "",
         {"C:\\WINDOWS\\SYSTEM32\\padnote.exe", "C:\\WINDOWS\\padnote.exe"},
         {},
         "C:\\WINDOWS\\SYSTEM32\\padnote.EXE"},
        {"padnote", "", {"C:\\WINDOWS\\padnote.cmd"}, {}, "C:\\WINDOWS\\padnote.CMD"},
        {"padnote", "PATH=C:\\Bin;C:\\Tools", {"C:\\Tools\\padnote.exe"}, {}, "C:\\Tools\\padnote.EXE"},
        {"padnote", "", {"C:\\Tools\\padnote.exe"}, {}, ""},
        {"padnote -x",
         "",
         {"C:\\Apps\\Pad\\pad.exe"},
         {{"padnote.exe", "C:\\Apps\\Pad\\pad.exe"}},
         "C:\\Apps\\Pad\\pad.exe"},
        {"padnote.exe",
         "",
         {"C:\\Apps\\Pad\\pad.exe"},
         {{"padnote.exe", "\"%SystemDrive%\\Apps\\Pad\\pad.exe\""}},
         "C:\\Apps\\Pad\\pad.exe"},
        {"padnote", "", {}, {{"padnote.exe", "C:\\Apps\\Pad\\pad.exe"}}, ""}, // registered, but not there
        {"padnote", "", {"C:\\Apps\\Pad\\pad.exe"}, {{"other.exe", "C:\\Apps\\Pad\\pad.exe"}}, ""},
        // What is truly missing stays missing.
        {"C:\\Program Files\\Padnote\\padnote", "", {}, {}, ""},
        {"C:/Program Files/Padnote/padnote.exe", "", {"C:\\Program Files\\Padnote\\other.exe"}, {}, ""},
        {"Tools\\sync.exe", "", {"C:\\Tools\\sync.exe"}, {}, ""}, // relative: not searched
        {"", "", {}, {}, ""},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        test::SandboxRoot root;
        root.Settings(std::string("[Environment]\r\n") + c.environment);
        for (const char* file : c.files) {
            root.File(file);
        }
        for (const auto& [name, value] : c.appPaths) {
            root.Value(RegistryRoot::LocalMachine, appPaths + name, "", value);
        }
        auto services = root.Services();
        EXPECT_EQ(FindProgram(c.command, services.system, services.files, services.registry), c.program)
            << "row " << round;
        EXPECT_EQ(TargetFound(c.command, services.system, services.files, services.registry),
                  *c.program != '\0')
            << "row " << round;
        ++round;
    }
}

TEST(CommandLine, AFolderNamedLikeAProgramIsNoTarget) {
    test::SandboxRoot root;
    root.Folder("C:\\Tools\\app.exe");
    auto services = root.Services();
    EXPECT_EQ(TargetPath("C:\\Tools\\app.exe", services.system, services.files), "");
}

TEST(CommandLine, ACommandSplitsIntoItsProgramAndArguments) {
    const struct {
        const char* command;
        const char* program;
        const char* arguments;
    } cases[] = {
        {"C:\\Program Files\\App\\app.exe /min", "C:\\Program Files\\App\\app.exe", "/min"},
        {"\"C:\\Program Files\\App\\app.exe\" /min \"x y\"", "C:\\Program Files\\App\\app.exe",
         "/min \"x y\""},
        {"C:\\App\\app.exe", "C:\\App\\app.exe", ""},
        {"  C:\\App\\app.exe   -a  ", "C:\\App\\app.exe", "-a"},
        {"rundll32.exe shell32.dll,Control_RunDLL", "rundll32.exe", "shell32.dll,Control_RunDLL"},
        {"C:\\Tools\\run /now", "C:\\Tools\\run", "/now"}, // no extension: the first word
        {"C:\\Scripts\\start.bat", "C:\\Scripts\\start.bat", ""},
        {"\"unterminated", "unterminated", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const auto split = SplitProgramAndArguments(c.command);
        EXPECT_EQ(split.program, c.program);
        EXPECT_EQ(split.arguments, c.arguments);
    }
}

} // namespace qb
