#include "platform/load_scope.h"
#include "support/sandbox_root.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace qb {

namespace {

const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string RunValue(PlatformServices services) {
    const auto key = services.registry.OpenForReading(RegistryRoot::CurrentUser, kRun);
    const auto value = key ? key->ReadValue("App") : std::nullopt;
    return value ? value->data : "(none)";
}

std::string ProcessMemory(PlatformServices services) {
    const auto memory = services.processes.ReadMemory(10);
    return memory ? std::to_string(memory->workingSetBytes) : "(none)";
}

std::string TargetFound(PlatformServices services) {
    // Spelt in other letters than the disk's, so the folder's listing decides.
    return services.files.FileExists("c:\\APPS\\tool.EXE") ? "found" : "missing";
}

} // namespace

// What another program changes in the middle of a load is not seen by the rest of that load, since each
// file is checked once in it; the next read outside the load sees it, and so does the next load.
TEST(SandboxLoadScope, EachFileIsCheckedOncePerLoad) {
    const struct {
        const char* what;
        std::function<void(test::SandboxRoot&)> before;
        std::function<std::string(PlatformServices)> read;
        std::function<void(test::SandboxRoot&)> change;
        std::string seenBefore;
        std::string seenAfter;
    } cases[] = {
        {"registry.reg",
         [](test::SandboxRoot& root) { root.Value(RegistryRoot::CurrentUser, kRun, "App", "C:\\old.exe"); },
         RunValue,
         [](test::SandboxRoot& root) {
             root.Value(RegistryRoot::CurrentUser, kRun, "App", "C:\\a much longer new.exe");
         },
         "C:\\old.exe", "C:\\a much longer new.exe"},
        {"processes.txt", [](test::SandboxRoot& root) { root.Processes("10\tapp.exe\t4096\t8192\n"); },
         ProcessMemory, [](test::SandboxRoot& root) { root.Processes("10\tapp.exe\t65536\t131072\n"); },
         "4096", "65536"},
        {"a folder of a path", [](test::SandboxRoot& root) { root.File("C:\\Apps\\other.exe"); }, TargetFound,
         [](test::SandboxRoot& root) { root.File("C:\\Apps\\Tool.exe"); }, "missing", "found"},
        {"a target file", [](test::SandboxRoot& root) { root.File("C:\\Apps\\Tool.exe"); }, TargetFound,
         [](test::SandboxRoot& root) { std::filesystem::remove(root.Host("C:\\Apps\\Tool.exe")); }, "found",
         "missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::SandboxRoot root;
        c.before(root);
        const PlatformServices services = root.Services();
        {
            const LoadScope load;
            EXPECT_EQ(c.read(services), c.seenBefore);
            c.change(root);
            EXPECT_EQ(c.read(services), c.seenBefore);
            EXPECT_EQ(c.read(services), c.seenBefore);
        }
        EXPECT_EQ(c.read(services), c.seenAfter);
        const LoadScope next;
        EXPECT_EQ(c.read(services), c.seenAfter);
    }
}

// A change the load makes itself is seen at once: the tidying of a twin goes through the registry.
TEST(SandboxLoadScope, ALoadSeesItsOwnRegistryWrites) {
    test::SandboxRoot root;
    root.Value(RegistryRoot::CurrentUser, kRun, "App", "C:\\old.exe");
    const PlatformServices services = root.Services();
    const LoadScope load;
    EXPECT_EQ(RunValue(services), "C:\\old.exe");
    services.registry.OpenForWriting(RegistryRoot::CurrentUser, kRun, false)
        ->WriteValue("App", RegistryValue::String("C:\\new.exe"));
    EXPECT_EQ(RunValue(services), "C:\\new.exe");
}

} // namespace qb
