#include "platform/failure_cause.h"
#include "platform/platform_error.h"
#include "platform/sandbox/sandbox_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace qb::sandbox {

using test::TempDir;
using test::WriteText;

namespace {
std::unique_ptr<SandboxSystem> OpenOrFail(const std::filesystem::path& root, bool seed) {
    auto opened = seed ? SandboxSystem::OpenOrSeed(root) : SandboxSystem::Open(root);
    if (auto* error = std::get_if<std::string>(&opened)) {
        ADD_FAILURE() << *error;
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<SandboxSystem>>(opened));
}
} // namespace

TEST(SandboxSystem, SettingsComeFromSandboxIniWithDefaultsForTheRest) {
    TempDir dir;
    WriteText(dir.Path() / "sandbox.ini", "[System]\r\nPlatform=9x\r\nMajorVersion=4\r\n"
                                          "Startup=D:\\Start\\\r\nAdministrator=0\r\n");
    auto system = OpenOrFail(dir.Path(), false);
    ASSERT_NE(system, nullptr);
    const auto services = system->Services();
    EXPECT_EQ(services.system.Version().family, PlatformFamily::Windows9x);
    EXPECT_EQ(services.system.Version().majorVersion, 4);
    EXPECT_EQ(services.system.SystemDirectory(), "C:\\WINDOWS\\SYSTEM32");
    EXPECT_EQ(services.shell.StartupFolderPath(false), "D:\\Start");
    EXPECT_EQ(services.shell.StartupFolderPath(true),
              "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp");
    EXPECT_EQ(services.files.ExecutableDirectory(), "C:\\Program Files\\Quillbrook");
    EXPECT_EQ(services.registry.OpenForWriting(RegistryRoot::LocalMachine, "SOFTWARE", true), nullptr);
    EXPECT_NE(services.registry.OpenForWriting(RegistryRoot::CurrentUser, "SOFTWARE", true), nullptr);
}

TEST(SandboxSystem, TheArchitectureAndMinorVersionComeFromSandboxIni) {
    const struct {
        const char* ini;
        int minor;
        bool x64;
    } cases[] = {
        {"", 0, true},                                      // Windows 10, 64-bit
        {"MajorVersion=6\r\nMinorVersion=1\r\n", 1, true},  // Windows 7
        {"MajorVersion=5\r\nMinorVersion=1\r\n", 1, false}, // before NT 6.0: 32-bit unless told
        {"MajorVersion=5\r\nArchitecture=x64\r\n", 0, true},
        {"Platform=9x\r\nMajorVersion=4\r\n", 0, false},
        {"Architecture=x86\r\n", 0, false},
        {"Architecture=arm\r\n", 0, true}, // not one we know: the default stays
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        TempDir dir;
        WriteText(dir.Path() / "sandbox.ini", std::string("[System]\r\n") + c.ini);
        auto system = OpenOrFail(dir.Path(), false);
        ASSERT_NE(system, nullptr);
        const OsVersion version = system->Services().system.Version();
        EXPECT_EQ(version.minorVersion, c.minor);
        EXPECT_EQ(version.x64, c.x64);
    }
}

TEST(SandboxSystem, TheEnvironmentFollowsTheFoldersAndSandboxIni) {
    const struct {
        const char* ini;
        std::vector<std::pair<const char*, const char*>> expanded; // reference, what it expands to
    } cases[] = {
        {"",
         {{"%windir%", "C:\\WINDOWS"},
          {"%SystemRoot%\\system32", "C:\\WINDOWS\\system32"},
          {"%SystemDrive%", "C:"},
          {"%ProgramFiles%", "C:\\Program Files"},
          {"%ProgramFiles(x86)%", "C:\\Program Files (x86)"},
          {"%CommonProgramFiles(x86)%", "C:\\Program Files (x86)\\Common Files"},
          {"%ProgramData%", "C:\\ProgramData"},
          {"%USERPROFILE%", "C:\\Users\\User"},
          {"%USERNAME%", "User"},
          {"%APPDATA%", "C:\\Users\\User\\AppData\\Roaming"},
          {"%LOCALAPPDATA%", "C:\\Users\\User\\AppData\\Local"},
          {"%TEMP%", "C:\\Users\\User\\AppData\\Local\\Temp"},
          {"%ComSpec%", "C:\\WINDOWS\\SYSTEM32\\cmd.exe"},
          {"%NoSuchVariable%", "%NoSuchVariable%"}}},
        // Folders elsewhere move the variables that live in them.
        {"[System]\r\nWindowsDirectory=D:\\WINNT\r\nSystemDirectory=D:\\WINNT\\system32\r\n"
         "CommonStartup=D:\\Shared\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\r\n"
         "Startup=E:\\Home\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\r\n",
         {{"%WINDIR%", "D:\\WINNT"},
          {"%ProgramFiles%", "D:\\Program Files"},
          {"%ProgramData%", "D:\\Shared"},
          {"%ALLUSERSPROFILE%", "D:\\Shared"},
          {"%USERPROFILE%", "E:\\Home\\ann"},
          {"%USERNAME%", "ann"},
          {"%APPDATA%", "E:\\Home\\ann\\AppData\\Roaming"},
          {"%TMP%", "E:\\Home\\ann\\AppData\\Local\\Temp"}}},
        // Folders of no usual shape leave the variables at their usual place.
        {"[System]\r\nStartup=D:\\Start\r\nCommonStartup=D:\\All\r\n",
         {{"%APPDATA%", "C:\\Users\\User\\AppData\\Roaming"}, {"%ProgramData%", "C:\\ProgramData"}}},
        // [Environment] adds, overrides, builds on what is set before and unsets.
        {"[Environment]\r\nProgramFiles=E:\\Apps\r\nTools=%PROGRAMFILES%\\Tools\r\ntemp=\r\n"
         "Quoted=\"C:\\With Blanks\"\r\n",
         {{"%ProgramFiles%\\x.exe", "E:\\Apps\\x.exe"},
          {"%tools%", "E:\\Apps\\Tools"},
          {"%TEMP%\\a", "%TEMP%\\a"},
          {"%Quoted%", "C:\\With Blanks"},
          {"%windir%", "C:\\WINDOWS"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        TempDir dir;
        WriteText(dir.Path() / "sandbox.ini", c.ini);
        auto system = OpenOrFail(dir.Path(), false);
        ASSERT_NE(system, nullptr);
        for (const auto& [reference, expanded] : c.expanded) {
            EXPECT_EQ(system->Services().system.ExpandEnvironmentStrings(reference), expanded) << reference;
        }
    }
}

TEST(SandboxSystem, ANewRootIsSeededWithTheDemoSystem) {
    TempDir dir;
    const auto root = dir.Path() / "new" / "root";
    auto system = OpenOrFail(root, true);
    ASSERT_NE(system, nullptr);
    auto services = system->Services();
    const std::string tool = services.files.ExecutableDirectory();
    for (const char* file : {"st.dat", "sn.dat", "fn.dat", "sp.dat", "infotpl.dat", "mess.htm"}) {
        EXPECT_TRUE(services.files.FileExists(JoinPath(tool, file))) << file;
    }
    EXPECT_FALSE(services.files.FileExists(JoinPath(tool, "README.md")));
    EXPECT_TRUE(services.files.DirectoryExists(JoinPath(tool, "ShortCutCurrUser")));

    // The Shell Folders values agree with the shell's folders.
    auto shellFolders = services.registry.OpenForReading(
        RegistryRoot::CurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    ASSERT_NE(shellFolders, nullptr);
    EXPECT_EQ(shellFolders->ReadString("Startup"), services.shell.StartupFolderPath(false));

    // Every demo shortcut is a link the shell loads.
    int links = 0;
    for (const auto& folder : {services.shell.StartupFolderPath(true),
                               services.shell.StartupFolderPath(false), JoinPath(tool, "ShortCutCurrUser")}) {
        for (const auto& entry : services.files.FindFiles(folder, "*.lnk")) {
            EXPECT_TRUE(services.shell.LoadShortcut(JoinPath(folder, entry.name)).has_value()) << entry.name;
            ++links;
        }
    }
    EXPECT_GE(links, 3);

    // The demo's programs are executables of the host.
    const auto program = system->Paths().ToHost("C:\\Program Files\\Tallybird\\tallybird.exe");
    ASSERT_TRUE(program.has_value());
    EXPECT_NE(std::filesystem::status(*program).permissions() & std::filesystem::perms::owner_exec,
              std::filesystem::perms::none);
}

TEST(SandboxSystem, AnExistingRootIsUsedAsItIs) {
    TempDir dir;
    WriteText(dir.Path() / "marker.txt", "mine");
    auto system = OpenOrFail(dir.Path(), true);
    ASSERT_NE(system, nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "registry.reg"));
    EXPECT_EQ(system->Registry().OpenForReading(RegistryRoot::CurrentUser, "SOFTWARE"), nullptr);
}

TEST(SandboxSystem, AnUnreadableRegistryStopsTheOpeningWithTheReason) {
    TempDir dir;
    WriteText(dir.Path() / "registry.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n\"v\"=hex:zz\r\n");
    auto opened = SandboxSystem::Open(dir.Path());
    ASSERT_TRUE(std::holds_alternative<std::string>(opened));
    EXPECT_NE(std::get<std::string>(opened).find("registry.reg"), std::string::npos);
    EXPECT_NE(std::get<std::string>(opened).find("line 4"), std::string::npos);
}

TEST(SandboxSystem, TheDefaultRootFollowsTheEnvironment) {
    ::setenv("QUILLBROOK_SYSTEM_ROOT", "/tmp/some root", 1);
    EXPECT_EQ(DefaultSandboxRoot(), "/tmp/some root");
    ::unsetenv("QUILLBROOK_SYSTEM_ROOT");
    ::setenv("XDG_DATA_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(DefaultSandboxRoot(), "/tmp/xdg/quillbrook/system");
    ::unsetenv("XDG_DATA_HOME");
}

} // namespace qb::sandbox

namespace qb::sandbox {

// What Windows keeps from a standard user, the sandbox keeps too, whichever service writes.
TEST(SandboxSystem, AStandardUserCannotChangeTheMachinesFolders) {
    TempDir dir;
    WriteText(dir.Path() / "sandbox.ini", "[System]\r\nAdministrator=0\r\n");
    auto system = OpenOrFail(dir.Path(), false);
    ASSERT_NE(system, nullptr);
    auto services = system->Services();
    const struct {
        const char* folder;
        bool writable;
    } cases[] = {
        {"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp", false},
        {"C:\\Program Files\\Quillbrook", false},
        {"C:\\Program Files (x86)\\Tool", false},
        {"C:\\WINDOWS\\SYSTEM32", false},
        {"C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup", true},
        {"C:\\Program Files Backup", true}, // a name that only begins like a protected folder
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        // The machine's own files are there before the user tries anything.
        const auto host = system->Paths().ToHost(std::string(c.folder) + "\\old.lnk");
        std::filesystem::create_directories(host->parent_path());
        WriteText(*host, "old");
        const std::string folder = c.folder;
        const auto expect = [&](bool done, const char* what) {
            EXPECT_EQ(done, c.writable) << what;
            if (!done) {
                EXPECT_EQ(LastFailure(), FailureCause::AccessDenied) << what;
            }
        };
        expect(services.files.WriteFile(folder + "\\new.txt", "x"), "write");
        expect(services.files.CreateDirectory(folder + "\\Sub"), "create a folder");
        expect(services.files.CopyFile(folder + "\\old.lnk", folder + "\\copy.lnk", true), "copy");
        expect(services.shell.SaveShortcut(folder + "\\made.lnk", {"C:\\a.exe", "", "", "", "", 0, 1}),
               "save a shortcut");
        expect(services.files.DeleteFile(folder + "\\old.lnk"), "delete");
        bool profileWritten = true;
        try {
            services.profiles.WriteString(folder + "\\x.ini", "S", "k", "v");
        } catch (const PlatformError&) {
            profileWritten = false;
        }
        EXPECT_EQ(profileWritten, c.writable) << "write a profile";
    }
}

} // namespace qb::sandbox
