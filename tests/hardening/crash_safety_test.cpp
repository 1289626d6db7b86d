#include "backup/backup_file.h"
#include "changes/apply_engine.h"
#include "hardening/hardening_support.h"
#include "inventory/icon_sink.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/profile_text.h"
#include "platform/sandbox/host_files.h"
#include "platform/sandbox/sandbox_system.h"
#include "support/process_guard.h"
#include "support/recording_fakes.h"
#include "support/temp_dir.h"

#include <climits>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>
#include <variant>

namespace qb {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kRounds = 200;
const std::string kCrashKey = "Software\\CrashTest";
const std::string kBackupFile = "C:\\Backups\\crash.ini";

// The state a file holds: the round and the step of the write that made it (step 0: the round's one
// uninterrupted write, made after the killed writer).
struct State {
    int round = 0;
    int step = 0;
    friend bool operator==(const State&, const State&) = default;
};

std::string Describe(const State& state) {
    return std::to_string(state.round) + ":" + std::to_string(state.step);
}

// A file that is not one whole state says why.
using Observation = std::variant<State, std::string>;

// Every write gives the file another length, so that a file cut short or made of two writes cannot pass
// for a whole one.
std::string Payload(State state) {
    const auto length = static_cast<std::size_t>((state.round * 131 + state.step * 977) % 12000);
    return std::string(length, static_cast<char>('a' + state.step % 26));
}

std::optional<State> ParseState(std::string_view text) {
    State state;
    char colon = 0;
    const std::string head(text.substr(0, text.find(':', text.find(':') + 1) + 1));
    if (std::sscanf(head.c_str(), "%d:%d%c", &state.round, &state.step, &colon) != 3 || colon != ':') {
        return std::nullopt;
    }
    return state;
}

// Runs the body in a child process that never returns into the test. The body calls ready() once it is
// about to write; Fork returns then (or when the child ended, or after 10 s), so that a kill timed from
// there meets the writes rather than the child's start-up.
pid_t Fork(const std::function<void(const std::function<void()>& ready)>& body) {
    int channel[2];
    if (::pipe(channel) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        try {
            body([&] { ::close(channel[1]); });
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    pollfd wait{channel[0], POLLIN, 0};
    ::poll(&wait, 1, 10000); // the child's end of the pipe closes when it is ready or gone
    ::close(channel[0]);
    return pid;
}

std::size_t TemporaryFiles(const fs::path& dir, const std::string& target) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        count += entry.path().filename().string().starts_with("." + target + ".tmp-") ? 1 : 0;
    }
    return count;
}

// A writer of one file, run in child processes: an endless run of writes that is killed, then one write
// that must finish.
class Writer {
public:
    virtual ~Writer() = default;
    // In the child: the writes of steps first, first + 1, ... up to last; ready() before the first.
    virtual void Write(int round, int first, int last, const std::function<void()>& ready) = 0;
    // What the file holds now.
    virtual Observation Observe() = 0;
    // The files whose atomic-write temporaries must not pile up: (folder, file name).
    virtual std::vector<std::pair<fs::path, std::string>> Files() = 0;
};

// registry.reg, written through the sandbox's registry: a large file of bystander values and one value
// that each write replaces.
class RegistryWriter : public Writer {
public:
    RegistryWriter() {
        sandbox::RegNode tree;
        tree.CreatePath("HKEY_LOCAL_MACHINE");
        sandbox::RegNode& bystanders = tree.CreatePath("HKEY_CURRENT_USER\\Software\\Bystanders");
        for (int i = 0; i < 400; ++i) {
            bystanders.SetValue(
                "Value " + std::to_string(i),
                RegistryValue::String("C:\\Apps\\program" + std::to_string(i) + ".exe /with arguments"));
        }
        tree.CreatePath("HKEY_CURRENT_USER\\" + kCrashKey)
            .SetValue("Step", RegistryValue::String(Text({0, 0})));
        base_ = std::move(tree);
        if (!sandbox::WriteHostFileAtomically(File(), sandbox::FormatRegFile(base_))) {
            throw std::runtime_error("cannot write the first registry file");
        }
    }

    void Write(int round, int first, int last, const std::function<void()>& ready) override {
        sandbox::SandboxRegistry registry(File(), true);
        const auto key = registry.OpenForWriting(RegistryRoot::CurrentUser, kCrashKey, true);
        ready();
        for (int step = first; key && step <= last; ++step) {
            key->WriteValue("Step", RegistryValue::String(Text({round, step})));
        }
    }

    Observation Observe() override {
        const auto bytes = sandbox::ReadHostFile(File());
        if (!bytes) {
            return "the registry file is gone";
        }
        auto parsed = sandbox::ParseRegFile(*bytes);
        if (const auto* error = std::get_if<sandbox::RegParseError>(&parsed)) {
            return "the registry file does not parse: line " + std::to_string(error->line) + ": " +
                   error->message;
        }
        const sandbox::RegNode* key =
            std::get<sandbox::RegNode>(parsed).FindPath("HKEY_CURRENT_USER\\" + kCrashKey);
        const RegistryValue* step = key != nullptr ? key->FindValue("Step") : nullptr;
        const auto state = step != nullptr ? ParseState(step->data) : std::nullopt;
        if (!state) {
            return "the registry file holds no step";
        }
        // Byte for byte the file one whole write makes: the bystanders and the value of that step.
        sandbox::RegNode expected = base_.Clone();
        expected.FindPath("HKEY_CURRENT_USER\\" + kCrashKey)
            ->SetValue("Step", RegistryValue::String(Text(*state)));
        if (*bytes != sandbox::FormatRegFile(expected)) {
            return "the registry file of step " + Describe(*state) + " is not the whole file of that write";
        }
        return *state;
    }

    std::vector<std::pair<fs::path, std::string>> Files() override { return {{dir_.Path(), "registry.reg"}}; }

private:
    static std::string Text(State state) { return Describe(state) + ":" + Payload(state); }
    fs::path File() const { return dir_.Path() / "registry.reg"; }

    test::TempDir dir_;
    sandbox::RegNode base_;
};

// A backup file, written by WriteBackup with its index entry in the registry. The entries of each write
// name its step, and their number changes from write to write.
class BackupWriter : public Writer {
public:
    BackupWriter() {
        fs::create_directories(dir_.Path() / "drive_c" / "Backups");
        Write(0, 0, 0, [] {});
    }

    void Write(int round, int first, int last, const std::function<void()>& ready) override {
        auto opened = sandbox::SandboxSystem::Open(dir_.Path());
        auto& system = *std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened);
        test::FixedClock clock({2024, 5, 6, 7, 8, 9});
        const PlatformServices real = system.Services();
        const PlatformServices services{real.registry, real.profiles,  real.files,
                                        real.shell,    real.processes, real.system,
                                        real.dialogs,  real.browser,   clock};
        ready();
        for (int step = first; step <= last; ++step) {
            Inventory inventory;
            for (int i = 0; i < Count({round, step}); ++i) {
                StartupItem item;
                item.Name = Name({round, step}, i);
                item.Command =
                    "C:\\Apps\\" + std::to_string(i) + ".exe " + Payload({round, step}).substr(0, 200);
                item.Location = "Current User\\Registry\\Run";
                item.LoadedState = item.State = i % 2 == 0 ? ItemState::Enabled : ItemState::Disabled;
                inventory.Append(std::move(item));
            }
            inventory.MarkLoaded();
            WriteBackup(kBackupFile, inventory, services);
        }
    }

    Observation Observe() override {
        const auto bytes = sandbox::ReadHostFile(BackupHost());
        if (!bytes) {
            return "the backup file is gone";
        }
        if (!bytes->ends_with("\r\n")) {
            return "the backup file ends inside a line";
        }
        const auto document = ProfileDocument::Parse(*bytes);
        const auto first = document.Find("Item 0", "Program Name");
        const auto state = first ? ParseState(*first) : std::nullopt;
        if (!state) {
            return "the backup file names no step";
        }
        if (document.Find("General Info", "Number of Startup Items") != std::to_string(Count(*state))) {
            return "the backup file of step " + Describe(*state) + " has another count";
        }
        for (int i = 0; i < Count(*state); ++i) {
            const std::string section = "Item " + std::to_string(i);
            if (document.Find(section, "Program Name") != Name(*state, i) ||
                document.Find(section, "Status") != (i % 2 == 0 ? "Enabled" : "Disabled") ||
                !document.Find(section, "Command Path") || !document.Find(section, "Location")) {
                return "the backup file of step " + Describe(*state) + " is not whole at " + section;
            }
        }
        // The registry, where the same runs record the backup in the index, stays readable too.
        sandbox::SandboxRegistry registry(dir_.Path() / "registry.reg", true);
        if (const auto error = registry.Check()) {
            return "the registry file does not parse: " + error->message;
        }
        return *state;
    }

    std::vector<std::pair<fs::path, std::string>> Files() override {
        return {{dir_.Path(), "registry.reg"}, {BackupHost().parent_path(), "crash.ini"}};
    }

private:
    static int Count(State state) { return 1 + (state.round * 7 + state.step * 13) % 16; }
    static std::string Name(State state, int i) { return Describe(state) + ": entry " + std::to_string(i); }
    fs::path BackupHost() const { return dir_.Path() / "drive_c" / "Backups" / "crash.ini"; }

    test::TempDir dir_;
};

struct WriterCase {
    const char* what;
    std::function<std::unique_ptr<Writer>()> make;
};

void PrintTo(const WriterCase& writer, std::ostream* out) {
    *out << writer.what;
}

class CrashSafety : public ::testing::TestWithParam<WriterCase> {};

} // namespace

// A writer killed at any moment leaves the file it was writing as it was before its last write or as that
// write made it, never cut short or mixed; the lock it may have held dies with it, so the next writer
// finishes; and the temporary files of killed writers do not pile up.
TEST_P(CrashSafety, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    test::Watchdog watchdog(120s, GetParam().what);
    const auto writer = GetParam().make();

    // Kills land anywhere from the moment the child is ready to write until it has made three writes.
    const pid_t calibration = Fork([&](const auto& ready) { writer->Write(0, 1, 3, ready); });
    const test::ProcessGuard calibrationGuard(calibration);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(test::WaitForChild(calibration, 20s), 0);
    const auto window =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);

    std::mt19937 random(20241208);
    std::uniform_int_distribution<long long> delay(0, window.count());
    State before{0, 0};
    ASSERT_EQ(std::get<State>(writer->Observe()), (State{0, 3}));
    const pid_t first = Fork([&](const auto& ready) { writer->Write(0, 0, 0, ready); });
    const test::ProcessGuard firstGuard(first);
    ASSERT_EQ(test::WaitForChild(first, 20s), 0);
    int untouched = 0, leftTemporaries = 0;
    for (int round = 1; round <= kRounds && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        watchdog.Doing(std::string(GetParam().what) + ", round " + std::to_string(round));

        const pid_t pid = Fork([&](const auto& ready) { writer->Write(round, 1, INT_MAX, ready); });
        const test::ProcessGuard guard(pid);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(pid, SIGKILL);
        ASSERT_TRUE(test::WaitForChild(pid, 10s));

        const Observation killed = writer->Observe();
        ASSERT_TRUE(std::holds_alternative<State>(killed)) << std::get<std::string>(killed);
        const State after = std::get<State>(killed);
        if (after == before) {
            ++untouched;
        } else {
            EXPECT_EQ(after.round, round) << "neither the old state " << Describe(before) << " nor a new one";
            EXPECT_GE(after.step, 1);
        }
        for (const auto& [dir, name] : writer->Files()) {
            leftTemporaries += TemporaryFiles(dir, name) > 0 ? 1 : 0;
        }

        // The next writer is not kept waiting by a lock of the killed one.
        const pid_t nextPid = Fork([&](const auto& ready) { writer->Write(round, 0, 0, ready); });
        const test::ProcessGuard nextGuard(nextPid);
        const auto next = test::WaitForChild(nextPid, 10s);
        ASSERT_TRUE(next) << "the next writer was still waiting after 10 s";
        ASSERT_EQ(next, 0);
        const Observation written = writer->Observe();
        ASSERT_TRUE(std::holds_alternative<State>(written)) << std::get<std::string>(written);
        EXPECT_EQ(std::get<State>(written), (State{round, 0}));
        before = {round, 0};
        // A write that succeeded clears the temporary files killed writers left beside its file.
        for (const auto& [dir, name] : writer->Files()) {
            EXPECT_EQ(TemporaryFiles(dir, name), 0u) << name;
        }
    }
    std::printf("%s: %d of %d kills came before the first write finished, %d left a temporary file "
                "(kill window %lld us)\n",
                GetParam().what, untouched, kRounds, leftTemporaries, static_cast<long long>(window.count()));
    // Kills that never met a write in progress would prove nothing.
    EXPECT_GT(leftTemporaries, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Writers, CrashSafety,
    ::testing::Values(WriterCase{"registry.reg",
                                 [] { return std::unique_ptr<Writer>(std::make_unique<RegistryWriter>()); }},
                      WriterCase{"backup file",
                                 [] { return std::unique_ptr<Writer>(std::make_unique<BackupWriter>()); }}),
    [](const auto& param) { return param.index == 0 ? std::string("Registry") : std::string("BackupFile"); });

namespace {

const std::string kRunPath = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kTwinPath = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunDisabled";

// The value names of a key in the tree.
std::set<std::string> NamesIn(const sandbox::RegNode& tree, const std::string& path) {
    std::set<std::string> names;
    if (const sandbox::RegNode* key = tree.FindPath(path)) {
        for (const auto& [name, value] : key->Values()) {
            names.insert(name);
        }
    }
    return names;
}

// In a child: loads the root, switches every entry to the other state and applies, as the tool does. With
// a timing file, the apply's duration in microseconds is written there.
void SwitchEverything(const fs::path& root, const std::function<void()>& ready, const fs::path& timing = {}) {
    auto opened = sandbox::SandboxSystem::Open(root);
    auto& system = *std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened);
    ProgramDatabase database(system.Files());
    CountingIconSink icons;
    Inventory inventory;
    LoadInventory(inventory, system.Services(), database, icons);
    for (const auto& item : inventory.Items) {
        item->State = item->State == ItemState::Enabled ? ItemState::Disabled : ItemState::Enabled;
    }
    ready();
    const auto started = std::chrono::steady_clock::now();
    ApplyEngine(inventory, system.Services()).Apply(false, false);
    if (!timing.empty()) {
        test::WriteText(timing, std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(
                                                   std::chrono::steady_clock::now() - started)
                                                   .count()));
    }
}

} // namespace

// An apply killed at any moment leaves the registry as it was before it or as the whole apply made it:
// never some entries switched and others not, never one in both keys or in neither.
TEST(CrashSafety, AKilledApplyLeavesTheRegistryAsItWasOrAsTheWholeApplyMadeIt) {
    test::Watchdog watchdog(120s, "a killed apply");
    test::TempDir dir;
    constexpr int kEntries = 300;
    std::set<std::string> all;
    {
        sandbox::RegNode tree;
        tree.CreatePath("HKEY_LOCAL_MACHINE");
        sandbox::RegNode& run = tree.CreatePath(kRunPath);
        for (int i = 0; i < kEntries; ++i) {
            const std::string name = "Program " + std::to_string(i);
            run.SetValue(name,
                         RegistryValue::String("C:\\Apps\\program" + std::to_string(i) + ".exe /start"));
            all.insert(name);
        }
        ASSERT_TRUE(
            sandbox::WriteHostFileAtomically(dir.Path() / "registry.reg", sandbox::FormatRegFile(tree)));
        fs::create_directories(dir.Path() / "drive_c"); // where the apply keeps its journal
    }
    // Which key holds every entry now; an error when the file is not one of the two whole states.
    const auto observe = [&]() -> std::variant<bool, std::string> {
        const auto bytes = sandbox::ReadHostFile(dir.Path() / "registry.reg");
        auto parsed = sandbox::ParseRegFile(bytes.value_or(std::string()));
        if (!bytes || std::holds_alternative<sandbox::RegParseError>(parsed)) {
            return std::string("the registry file is not whole");
        }
        const auto& tree = std::get<sandbox::RegNode>(parsed);
        const auto run = NamesIn(tree, kRunPath);
        const auto twin = NamesIn(tree, kTwinPath);
        if (run == all && twin.empty()) {
            return true;
        }
        if (run.empty() && twin == all) {
            return false;
        }
        return std::to_string(run.size()) + " entries enabled and " + std::to_string(twin.size()) +
               " disabled, of " + std::to_string(kEntries);
    };

    // Kills land anywhere from the moment the child starts its apply until a while after it would have
    // finished, so that some meet the apply at work and some come after it.
    test::TempDir timingDir;
    const fs::path timing = timingDir.Path() / "apply-us";
    const pid_t timed = Fork([&](const auto& ready) { SwitchEverything(dir.Path(), ready, timing); });
    const test::ProcessGuard timedGuard(timed);
    ASSERT_EQ(test::WaitForChild(timed, 20s), 0);
    const auto window = std::chrono::microseconds(std::stoll(test::ReadText(timing)));
    ASSERT_EQ(std::get<bool>(observe()), false);

    std::mt19937 random(20250301);
    std::uniform_int_distribution<long long> delay(0, window.count() * 3 / 2);
    int untouched = 0, whole = 0;
    bool enabled = false;
    for (int round = 1; round <= 60 && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        watchdog.Doing("a killed apply, round " + std::to_string(round));
        const pid_t pid = Fork([&](const auto& ready) { SwitchEverything(dir.Path(), ready); });
        const test::ProcessGuard guard(pid);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(pid, SIGKILL);
        ASSERT_TRUE(test::WaitForChild(pid, 10s)) << "the apply did not end when killed";
        const auto seen = observe();
        ASSERT_TRUE(std::holds_alternative<bool>(seen)) << std::get<std::string>(seen);
        (std::get<bool>(seen) == enabled ? untouched : whole) += 1;
        enabled = std::get<bool>(seen);
    }
    std::printf(
        "killed apply: %d kills left the registry as it was, %d found the apply done (apply %lld us)\n",
        untouched, whole, static_cast<long long>(window.count()));
    // Kills that all came too early or too late would prove nothing.
    EXPECT_GT(untouched, 0);
    EXPECT_GT(whole, 0);
}

} // namespace qb
