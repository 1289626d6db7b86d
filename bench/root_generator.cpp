#include "bench/root_generator.h"

#include "inventory/command_line.h"
#include "inventory/startup_location.h"
#include "platform/registry.h"
#include "platform/sandbox/reg_file.h"
#include "platform/sandbox/reg_tree.h"
#include "platform/sandbox/sandbox_registry.h"
#include "platform/sandbox/sandbox_settings.h"
#include "platform/shell_link.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace qb::bench {

namespace fs = std::filesystem;

namespace {

// SplitMix64: the same stream for a seed on every compiler, which <random>'s distributions do not promise.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : static_cast<std::size_t>(Next() % bound); }
    bool Percent(std::size_t percent) { return Below(100) < percent; }
    template <typename T> void Shuffle(std::vector<T>& items) {
        for (std::size_t i = items.size(); i > 1; --i) {
            std::swap(items[i - 1], items[Below(i)]);
        }
    }

private:
    std::uint64_t state_;
};

// Index of the first weight bucket that the draw falls into.
template <std::size_t N> std::size_t Weighted(Random& random, const std::array<std::size_t, N>& weights) {
    std::size_t total = 0;
    for (const std::size_t weight : weights) {
        total += weight;
    }
    std::size_t draw = random.Below(total);
    for (std::size_t i = 0; i < N; ++i) {
        if (draw < weights[i]) {
            return i;
        }
        draw -= weights[i];
    }
    return N - 1;
}

// The machine's vocabulary holds no Q and no Z (see GenerateRoot), and the first four letters of a vendor
// are unique: they start the file names.
constexpr std::array<std::string_view, 46> kVendors = {
    "Skyglass", "Hollowbell", "Inkwell",  "Padnote",   "Northgate", "Gamedock", "Tallybird", "Brightline",
    "Cobalt",   "Driftwood",  "Emberly",  "Fernhill",  "Goldcrest", "Harbor",   "Ironbark",  "Juniper",
    "Kestrel",  "Larkspur",   "Meadow",   "Nimbus",    "Orchard",   "Pinewood", "Redfern",   "Silverleaf",
    "Thistle",  "Umber",      "Valewind", "Willow",    "Yarrow",    "Ashgrove", "Birchway",  "Cedarline",
    "Dunmore",  "Elmhurst",   "Foxglove", "Greyhawk",  "Lantern",   "Marlow",   "Nettle",    "Oakridge",
    "Pebble",   "Rowan",      "Sable",    "Tidewater", "Vantage",   "Wrenfield"};

// No product starts with "Svc" or is "Helper": those shape the names that only the rules know.
constexpr std::array<std::string_view, 40> kProducts = {
    "Sync",    "Updater",  "Tray",      "Agent", "Monitor",   "Launcher", "Notifier", "Assistant",
    "Service", "Daemon",   "Backup",    "Cloud", "Drive",     "Player",   "Panel",    "Mixer",
    "Scanner", "Printer",  "Camera",    "Mouse", "Keyboard",  "Touchpad", "Display",  "Battery",
    "Network", "Wireless", "Bluetooth", "Guard", "Shield",    "Vault",    "Reader",   "Messenger",
    "Chat",    "Mail",     "Calendar",  "Notes", "Clipboard", "Capture",  "Recorder", "Translator"};

// Filler rules are spelled with these, so that they match no entry of the machine.
constexpr std::array<std::string_view, 12> kFillerWords = {"Quasar", "Zenith", "Quartz", "Zodiac",
                                                           "Quest",  "Zephyr", "Quokka", "Zebra",
                                                           "Quiver", "Zinnia", "Quorum", "Zircon"};

constexpr std::array<std::string_view, 8> kArguments = {
    "/background", "-silent", "--minimized", "/tray", "-startup", "/autostart", "/s /n", "--hidden"};

constexpr std::array<std::string_view, 8> kSystemProcesses = {"svchost.exe", "explorer.exe",     "csrss.exe",
                                                              "lsass.exe",   "winlogon.exe",     "dwm.exe",
                                                              "conhost.exe", "RuntimeBroker.exe"};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string Digits(std::size_t value, int width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*zu", width, value);
    return buffer;
}

// A program of the catalogue; k numbers them without gaps, names and file stems never repeat.
struct Program {
    std::size_t vendor = 0;
    std::string name;    // "Skyglass Sync", "Skyglass Sync 3"
    std::string product; // the product's folder, shared by its generations
    std::string stem;    // "skygsync", "skygsync3"
};

Program CatalogueProgram(std::size_t k) {
    // Within a generation the programs come in a scrambled order (7919 is prime to 46 * 40), so that
    // neighbouring numbers are not all one product.
    constexpr std::size_t combinations = kVendors.size() * kProducts.size();
    const std::size_t generation = k / combinations;
    const std::size_t scrambled = (k % combinations) * 7919 % combinations;
    Program program;
    program.vendor = scrambled % kVendors.size();
    const std::string_view product = kProducts[scrambled / kVendors.size()];
    const std::string_view vendor = kVendors[program.vendor];
    program.product = std::string(product);
    program.name = std::string(vendor) + " " + std::string(product);
    program.stem = Lower(vendor.substr(0, 4)) + Lower(product);
    if (generation > 0) {
        program.name += " " + std::to_string(generation + 1);
        program.stem += std::to_string(generation + 1);
    }
    return program;
}

std::string VendorAbbreviation(std::size_t vendor) {
    return Lower(kVendors[vendor].substr(0, 4));
}

// A program that only a rule recognises: "SkyglassHelper00042" running "skygsvc0042.exe".
Program HelperProgram(std::size_t vendor, std::size_t serial) {
    Program program;
    program.vendor = vendor;
    program.name = std::string(kVendors[vendor]) + "Helper" + Digits(serial % 100000, 5);
    program.product = "Helper";
    program.stem = VendorAbbreviation(vendor) + "svc" + Digits(serial % 10000, 4);
    return program;
}

std::string HelperNamePattern(std::size_t vendor) {
    return std::string(kVendors[vendor]) + "Helper*****";
}
std::string HelperFilePattern(std::size_t vendor) {
    return VendorAbbreviation(vendor) + "svc****.exe";
}

const char* RatingLetter(Random& random) {
    static constexpr std::array<const char*, 5> letters = {"Y", "U", "N", "X", "?"};
    return letters[Weighted(random, std::array<std::size_t, 5>{30, 25, 30, 5, 10})];
}

std::string Section(std::string_view name, const char* letter, std::string_view description,
                    std::string_view source) {
    std::string text = "[" + std::string(name) + "]\r\nConfirmed=" + letter +
                       "\r\nDescription=" + std::string(description) + "\r\n";
    if (!source.empty()) {
        text += "Source=" + std::string(source) + "\r\n";
    }
    return text + "\r\n";
}

std::string Describe(const Program& program) {
    return "<b>" + program.name + "</b> starts the " + Lower(program.product) + " of " +
           std::string(kVendors[program.vendor]) + " with Windows.";
}

// What kind of command an entry runs; drawn with the weights of kFormWeights.
enum class Form {
    Quoted,          // "C:\Program Files\V\P\x.exe" /arg (or without argument)
    Unquoted,        // C:\Program Files\V\P\x.exe /arg
    UnquotedBare,    // C:\Program Files\V\P\x.exe
    ProgramFilesX86, // "C:\Program Files (x86)\V\x.exe" /arg
    AppData,         // "C:\Users\User\AppData\Roaming\V\x.exe"
    Host,            // rundll32 and friends: the whole command is the target
    BareName,        // x.exe, x.exe /arg, x
    Expandable,      // %ProgramFiles%\V\P\x.exe, an expandable string nobody expands
    Empty,           // a value with empty data
};
constexpr std::array<std::size_t, 9> kFormWeights = {30, 15, 12, 11, 6, 10, 12, 3, 1};

// Where the program of a command lives and how the command names it.
struct Command {
    std::string text;
    std::string targetPath; // Windows path of the file that makes the entry valid; empty for none
    bool host = false;
};

class MachineBuilder {
public:
    MachineBuilder(fs::path root, const GeneratorOptions& options)
        : root_(std::move(root)), options_(options), random_(options.seed) {
        patternVendors_ = std::min(kVendors.size(), options_.patternRules / 3);
        nextCatalogue_ = 0;
    }

    GeneratedRoot Build() {
        fs::create_directories(root_ / "drive_c");
        const std::string toolDirectory = settings_.toolDirectory;
        EnsureDirectory(HostPath(toolDirectory));

        AddSystemFiles();
        for (std::size_t i = 0; i < options_.entries; ++i) {
            AddRegistryEntry();
        }
        AddShortcuts();
        WriteDatabase(toolDirectory);
        WriteProcesses();
        WriteShellFolders();
        WriteBytes(root_ / "registry.reg", sandbox::FormatRegFile(registry_));
        return std::move(result_);
    }

private:
    // The drive is made with the spelling the commands use, so no lookup here walks a directory.
    fs::path HostPath(std::string_view windowsPath) const {
        if (windowsPath.size() < 3 || windowsPath.substr(1, 2) != ":\\") {
            throw std::invalid_argument("not a drive path: " + std::string(windowsPath));
        }
        std::string relative(windowsPath.substr(3));
        std::replace(relative.begin(), relative.end(), '\\', '/');
        const char drive[] = {
            'd', 'r', 'i', 'v', 'e', '_', static_cast<char>(Lower(windowsPath.substr(0, 1))[0]), '\0'};
        return root_ / drive / relative;
    }

    void EnsureDirectory(const fs::path& directory) {
        if (madeDirectories_.insert(directory.string()).second) {
            fs::create_directories(directory);
        }
    }

    void WriteBytes(const fs::path& path, std::string_view bytes) {
        EnsureDirectory(path.parent_path());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + path.string());
        }
    }

    void CreateTarget(const std::string& windowsPath) {
        WriteBytes(HostPath(windowsPath), "MZ");
        ++result_.targetFiles;
    }

    // Spelled like no program of the machine ("ntmod0042.dll"), so they only fill the folder.
    void AddSystemFiles() {
        static constexpr std::array<std::string_view, 5> extensions = {".dll", ".dll", ".dll", ".exe",
                                                                       ".mui"};
        const fs::path folder = HostPath("C:\\WINDOWS\\SYSTEM32");
        EnsureDirectory(folder);
        for (std::size_t i = 0; i < options_.systemFiles; ++i) {
            WriteBytes(folder / ("ntmod" + Digits(i, 4) + std::string(extensions[i % extensions.size()])),
                       "MZ");
        }
    }

    std::string Argument() { return std::string(kArguments[random_.Below(kArguments.size())]); }

    std::string ProgramFilesPath(const Program& program) const {
        return "C:\\Program Files\\" + std::string(kVendors[program.vendor]) + "\\" + program.product + "\\" +
               program.stem + ".exe";
    }

    // The command of a registry entry, with its target created on the drive when it is to exist.
    Command MakeCommand(const Program& program, Form form, bool exists) {
        Command command;
        const std::string vendor(kVendors[program.vendor]);
        const std::string file = program.stem + ".exe";
        switch (form) {
        case Form::Quoted:
            command.targetPath = ProgramFilesPath(program);
            command.text = "\"" + command.targetPath + "\"";
            if (random_.Percent(70)) {
                command.text += " " + Argument();
            }
            break;
        case Form::Unquoted:
            command.targetPath = ProgramFilesPath(program);
            command.text = command.targetPath + " " + Argument();
            break;
        case Form::UnquotedBare:
            command.targetPath = ProgramFilesPath(program);
            command.text = command.targetPath;
            break;
        case Form::ProgramFilesX86:
            command.targetPath = "C:\\Program Files (x86)\\" + vendor + "\\" + file;
            command.text = "\"" + command.targetPath + "\" " + Argument();
            break;
        case Form::AppData:
            command.targetPath = "C:\\Users\\User\\AppData\\" +
                                 std::string(random_.Percent(50) ? "Roaming\\" : "Local\\") + vendor + "\\" +
                                 file;
            command.text = "\"" + command.targetPath + "\"";
            break;
        case Form::Host: {
            // The library is created like any target, though nothing checks it: the command is its own
            // target.
            command.host = true;
            const std::string library =
                "C:\\Program Files\\" + vendor + "\\" + program.product + "\\" + program.stem + ".dll";
            switch (random_.Below(4)) {
            case 0:
                command.text = "rundll32.exe \"" + library + "\",Start";
                break;
            case 1:
                command.text = "C:\\WINDOWS\\system32\\rundll32.exe " + library + ",RunTray";
                break;
            case 2:
                command.text = "RUNDLL32 " + program.stem + ".dll,Launch";
                break;
            default:
                command.text = "regsvr32.exe /s \"" + library + "\"";
                break;
            }
            if (exists) {
                CreateTarget(library);
            }
            return command;
        }
        case Form::BareName: {
            const std::string directory = random_.Percent(70) ? "C:\\WINDOWS\\SYSTEM32\\" : "C:\\WINDOWS\\";
            command.targetPath = directory + file;
            switch (random_.Below(3)) {
            case 0:
                command.text = file;
                break;
            case 1:
                command.text = file + " " + Argument();
                break;
            default:
                command.text = program.stem;
                break;
            }
            break;
        }
        case Form::Expandable:
            command.text =
                "%ProgramFiles%\\" + vendor + "\\" + program.product + "\\" + file + " " + Argument();
            return command; // never expanded, so never found
        case Form::Empty:
            return command;
        }
        if (exists) {
            CreateTarget(command.targetPath);
        } else {
            command.targetPath.clear();
        }
        return command;
    }

    // Draws the step that is to answer an entry that is no helper (helpers, a tenth of the entries, are the
    // rules' share). Steps keyed by the file name need one that is a file name, not a host command or
    // nothing.
    LookupSource DrawSource(bool usableFileName) {
        static constexpr std::array<LookupSource, 5> sources = {
            LookupSource::MainTable, LookupSource::MainTablePair, LookupSource::NameTable,
            LookupSource::FileTable, LookupSource::None};
        const LookupSource source = sources[Weighted(random_, std::array<std::size_t, 5>{22, 9, 11, 13, 45})];
        if (!usableFileName && (source == LookupSource::MainTablePair || source == LookupSource::FileTable)) {
            return LookupSource::None;
        }
        return source;
    }

    // Takes a section out of a file's budget; false when the file is full (the entry then falls through).
    static bool Take(std::vector<std::string>& sections, std::size_t budget, std::string text) {
        if (sections.size() >= budget) {
            return false;
        }
        sections.push_back(std::move(text));
        return true;
    }

    // Writes what makes the database answer the entry at its step; returns the step that will answer.
    LookupSource Register(const Program& program, const std::string& fileName, LookupSource source) {
        const std::string description = Describe(program);
        bool placed = true;
        switch (source) {
        case LookupSource::MainTable:
            placed = Take(st_, options_.stEntries,
                          Section(program.name, RatingLetter(random_), description, SourceTag(source)));
            break;
        case LookupSource::MainTablePair:
            placed = Take(st_, options_.stEntries,
                          Section(program.name + "|" + fileName, RatingLetter(random_), description,
                                  SourceTag(source)));
            break;
        case LookupSource::NameTable:
            placed = Take(sn_, options_.snEntries,
                          Section(program.name, RatingLetter(random_), description, SourceTag(source)));
            break;
        case LookupSource::FileTable:
            placed = Take(fn_, options_.fnEntries,
                          Section(fileName, RatingLetter(random_), description, SourceTag(source)));
            break;
        case LookupSource::Patterns:
            break; // helpers only, and every helper's vendor has its rules
        case LookupSource::None:
            // Now and then the main table knows the name with another file, which the pair step misses.
            if (random_.Percent(20)) {
                Take(st_, options_.stEntries,
                     Section(program.name + "|" + Lower(program.stem) + "old.exe", RatingLetter(random_),
                             description, ""));
            }
            break;
        }
        return placed ? source : LookupSource::None;
    }

    Program NextProgram(bool helper) {
        if (helper) {
            return HelperProgram(random_.Below(patternVendors_), helperSerial_++);
        }
        return CatalogueProgram(nextCatalogue_++);
    }

    const StartupLocation& DrawRegistryLocation() {
        if (registryRows_.empty()) {
            for (const StartupLocation& row : StartupLocations()) {
                if (row.kind == LocationKind::Registry && LoadStep(row) != 0) {
                    registryRows_.push_back(&row);
                    // The plain Run keys hold most entries on a real machine.
                    const bool run = row.key.ends_with("CurrentVersion\\Run");
                    registryWeights_.push_back(run ? 30 : 5);
                }
            }
        }
        std::size_t total = 0;
        for (const std::size_t weight : registryWeights_) {
            total += weight;
        }
        std::size_t draw = random_.Below(total);
        for (std::size_t i = 0; i < registryRows_.size(); ++i) {
            if (draw < registryWeights_[i]) {
                return *registryRows_[i];
            }
            draw -= registryWeights_[i];
        }
        return *registryRows_.back();
    }

    void AddRegistryEntry() {
        const StartupLocation& location = DrawRegistryLocation();
        const bool enabled = random_.Percent(70);
        sandbox::RegNode& key = registry_.CreatePath(StoredKeyPath(location, enabled));
        if (random_.Percent(1)) {
            // Not a string: the load passes it over.
            const Program program = NextProgram(false);
            key.SetValue(program.name, random_.Percent(50)
                                           ? RegistryValue::Dword(1)
                                           : RegistryValue::Binary(std::string("\x01\x00\x02", 3)));
            ++result_.skippedValues;
            return;
        }
        const auto form = static_cast<Form>(Weighted(random_, kFormWeights));
        const bool exists = random_.Percent(60);
        // Helpers are drawn before the command, as their names and files are shaped for the rules.
        const bool helper = patternVendors_ > 0 && random_.Percent(10);
        const Program program = NextProgram(helper);
        const Command command = MakeCommand(program, form, exists);
        key.SetValue(program.name, form == Form::Expandable ? RegistryValue::ExpandString(command.text)
                                                            : RegistryValue::String(command.text));

        GeneratedEntry entry;
        entry.name = program.name;
        entry.command = command.text.empty() ? " " : command.text;
        entry.label = std::string(location.label);
        entry.enabled = enabled;
        entry.pathValid = command.host || !command.targetPath.empty();
        const std::string fileName = TargetFileName(entry.command);
        const bool usableFileName = !fileName.empty() && !command.host;
        entry.source =
            helper ? LookupSource::Patterns : Register(program, fileName, DrawSource(usableFileName));
        Remember(std::move(entry), program, fileName);
    }

    // A process of the program carries "<stem>.exe"; it finds the entry only where the command's file
    // name is that (a bare "skygsync" gives SKYGSYNC, which no process is called).
    void Remember(GeneratedEntry entry, const Program& program, const std::string& fileName) {
        const std::string executable = program.stem + ".exe";
        if (fileName == UpperCase(executable)) {
            runnable_.emplace_back(result_.entries.size(), executable);
        }
        result_.entries.push_back(std::move(entry));
    }

    // Both folder rows, each with its startup folder (enabled) and its folder beside the tool (disabled).
    void AddShortcuts() {
        struct Folder {
            std::string path;
            std::string_view label;
            bool enabled;
        };
        std::vector<Folder> folders;
        for (const StartupLocation& row : StartupLocations()) {
            if (row.kind != LocationKind::Folder) {
                continue;
            }
            const bool allUsers = row.label == kAllUsersStartupMenu;
            folders.push_back({allUsers ? settings_.commonStartup : settings_.startup, row.label, true});
            folders.push_back(
                {settings_.toolDirectory + "\\" + std::string(row.disabledFolder), row.label, false});
        }
        for (const Folder& folder : folders) {
            EnsureDirectory(HostPath(folder.path));
        }
        // The shell keeps one in every startup folder; it is no link and is passed over.
        WriteBytes(HostPath(settings_.commonStartup + "\\desktop.ini"), "[.ShellClassInfo]\r\n");
        WriteBytes(HostPath(settings_.startup + "\\desktop.ini"), "[.ShellClassInfo]\r\n");

        for (std::size_t i = 0; i < options_.shortcuts; ++i) {
            const Folder& folder = folders[i % folders.size()];
            const bool helper = patternVendors_ > 0 && random_.Percent(10);
            const Program program = NextProgram(helper);
            const bool exists = random_.Percent(60);
            ShellLinkData link;
            if (random_.Percent(80)) {
                link.targetPath = ProgramFilesPath(program);
            } else {
                link.targetPath = "C:\\Users\\User\\AppData\\Local\\" +
                                  std::string(kVendors[program.vendor]) + "\\" + program.stem + ".exe";
            }
            link.workingDirectory = link.targetPath.substr(0, link.targetPath.rfind('\\'));
            if (random_.Percent(40)) {
                link.arguments = Argument();
            }
            if (exists) {
                CreateTarget(link.targetPath);
            }
            WriteBytes(HostPath(folder.path + "\\" + program.name + ".lnk"), EncodeShellLink(link));

            GeneratedEntry entry;
            entry.name = program.name;
            entry.command = link.targetPath; // a shortcut's entry runs its target; arguments stay in the link
            entry.label = std::string(folder.label);
            entry.enabled = folder.enabled;
            entry.pathValid = exists;
            const std::string fileName = TargetFileName(entry.command);
            entry.source = helper ? LookupSource::Patterns : Register(program, fileName, DrawSource(true));
            Remember(std::move(entry), program, fileName);
        }
    }

    void WriteProfile(const fs::path& path, std::vector<std::string> sections) {
        random_.Shuffle(sections);
        std::string text;
        for (const std::string& section : sections) {
            text += section;
        }
        WriteBytes(path, text);
    }

    // The tables hold the machine's programs at their steps and, up to their sizes, programs this machine
    // does not have.
    void WriteDatabase(const std::string& toolDirectory) {
        std::size_t filler = nextCatalogue_ + 1;
        while (st_.size() < options_.stEntries) {
            const Program program = CatalogueProgram(filler++);
            const std::string name =
                random_.Percent(70) ? program.name : program.name + "|" + UpperCase(program.stem) + ".EXE";
            st_.push_back(Section(name, RatingLetter(random_), Describe(program), ""));
        }
        filler = nextCatalogue_ + 1;
        while (sn_.size() < options_.snEntries) {
            const Program program = CatalogueProgram(filler++);
            sn_.push_back(Section(program.name, RatingLetter(random_), Describe(program), ""));
        }
        filler = nextCatalogue_ + 1;
        while (fn_.size() < options_.fnEntries) {
            const Program program = CatalogueProgram(filler++);
            fn_.push_back(
                Section(UpperCase(program.stem) + ".EXE", RatingLetter(random_), Describe(program), ""));
        }
        WriteProfile(HostPath(toolDirectory + "\\st.dat"), std::move(st_));
        WriteProfile(HostPath(toolDirectory + "\\sn.dat"), std::move(sn_));
        WriteProfile(HostPath(toolDirectory + "\\fn.dat"), std::move(fn_));
        WriteBytes(HostPath(toolDirectory + "\\sp.dat"), PatternFile());
    }

    // One rule: its patterns (an empty one is left out) and its values ("Source" only where it rates).
    static std::string Rule(std::size_t number, const std::string& section, const std::string& fileName,
                            const char* letter, const std::string& description, bool tagged) {
        std::string text = "[" + std::to_string(number) + "]\r\n";
        if (!section.empty()) {
            text += "Section=" + section + "\r\n";
        }
        if (!fileName.empty()) {
            text += "Filename=" + fileName + "\r\n";
        }
        if (letter != nullptr) {
            text += std::string("Confirmed=") + letter + "\r\n";
        }
        text += "Description=" + description + "\r\n";
        if (tagged) {
            text += "Source=sp\r\n";
        }
        return text + "\r\n";
    }

    std::string FillerRule(std::size_t number) {
        const std::string word(kFillerWords[random_.Below(kFillerWords.size())]);
        const std::string other(kFillerWords[random_.Below(kFillerWords.size())]);
        std::string section;
        std::string fileName;
        switch (random_.Below(5)) {
        case 0: // prefix only, suffix only
            section = word + std::to_string(number) + "***";
            fileName = "*****" + Lower(other) + ".exe";
            break;
        case 1: // prefix and suffix
            section = word + "*" + other;
            fileName = Lower(word) + "**" + Lower(other) + ".exe";
            break;
        case 2: // exact names
            section = word + " Agent " + std::to_string(number);
            fileName = Lower(other) + std::to_string(number) + ".exe";
            break;
        case 3: // a file pattern alone
            fileName = Lower(word) + "****.dll";
            break;
        default: // stars inside, which only the ends of count
            section = word + "**" + other + "*" + std::to_string(number);
            break;
        }
        return Rule(number, section, fileName, RatingLetter(random_), "Part of " + word + " " + other + ".",
                    false);
    }

    // The helpers' rules lie spread over the list, each vendor's by name and by file name; a third of the
    // vendors also have an earlier rule that only describes, which must not end a rating search.
    std::string PatternFile() {
        struct Real {
            std::size_t vendor;
            enum { DescriptionOnly, ByName, ByFile } kind;
        };
        std::vector<std::size_t> vendors(patternVendors_);
        for (std::size_t v = 0; v < vendors.size(); ++v) {
            vendors[v] = v;
        }
        random_.Shuffle(vendors);
        std::vector<Real> real;
        for (const std::size_t v : vendors) {
            if (v % 3 == 0) {
                real.push_back({v, Real::DescriptionOnly});
            }
            real.push_back({v, Real::ByName});
            real.push_back({v, Real::ByFile});
        }
        const std::size_t count = options_.patternRules;
        std::string text = "[general]\r\ncount=" + std::to_string(count) + "\r\n\r\n";
        std::size_t next = 0;
        for (std::size_t number = 0; number < count; ++number) {
            // Rule j of the real ones sits at j * count / real.size(): evenly spread, order kept.
            if (next < real.size() && number == next * count / real.size()) {
                const Real& rule = real[next++];
                const std::string vendor(kVendors[rule.vendor]);
                const std::string description = "A helper process of " + vendor + ".";
                switch (rule.kind) {
                case Real::DescriptionOnly:
                    text += Rule(number, HelperNamePattern(rule.vendor), "", nullptr, description, false);
                    break;
                case Real::ByName:
                    text += Rule(number, HelperNamePattern(rule.vendor), "", RatingLetter(random_),
                                 description, true);
                    break;
                case Real::ByFile:
                    text += Rule(number, "", HelperFilePattern(rule.vendor), RatingLetter(random_),
                                 description, true);
                    break;
                }
                continue;
            }
            text += FillerRule(number);
        }
        return text;
    }

    // Some processes run the machine's programs (a few twice), the rest are the system's own.
    void WriteProcesses() {
        std::vector<std::size_t> order(runnable_.size());
        for (std::size_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        random_.Shuffle(order);
        const std::size_t wanted = std::min(order.size(), options_.processes * 2 / 5);
        std::vector<std::string> names;
        for (std::size_t i = 0; i < wanted && names.size() < options_.processes; ++i) {
            const auto& [entryIndex, executable] = runnable_[order[i]];
            result_.entries[entryIndex].running = true;
            names.push_back(executable);
            if (i % 8 == 0 && names.size() < options_.processes) {
                names.push_back(executable); // a second instance lands on the same entry
            }
        }
        std::size_t other = 0;
        while (names.size() < options_.processes) {
            names.push_back(random_.Percent(60)
                                ? std::string(kSystemProcesses[random_.Below(kSystemProcesses.size())])
                                : "bgtask" + std::to_string(other++) + ".exe");
        }
        random_.Shuffle(names);
        std::string text;
        std::uint32_t pid = 4;
        for (const std::string& name : names) {
            const std::uint64_t workingSet = (1 + random_.Below(200)) * 1024 * 1024 + random_.Below(4096);
            const std::uint64_t peak = workingSet + random_.Below(64) * 1024 * 1024;
            text += std::to_string(pid) + "\t" + name + "\t" + std::to_string(workingSet) + "\t" +
                    std::to_string(peak) + "\n";
            pid += 4 * static_cast<std::uint32_t>(1 + random_.Below(8));
        }
        WriteBytes(root_ / "processes.txt", text);
    }

    // What Windows records of the two startup folders, as the demo system has it.
    void WriteShellFolders() {
        constexpr std::string_view kShellFolders =
            "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
        registry_.CreatePath(std::string(RootName(RegistryRoot::LocalMachine)) + std::string(kShellFolders))
            .SetValue("Common Startup", RegistryValue::String(settings_.commonStartup));
        registry_.CreatePath(std::string(RootName(RegistryRoot::CurrentUser)) + std::string(kShellFolders))
            .SetValue("Startup", RegistryValue::String(settings_.startup));
    }

    fs::path root_;
    GeneratorOptions options_;
    Random random_;
    sandbox::SandboxSettings settings_; // the defaults, which the root's missing sandbox.ini gives
    sandbox::RegNode registry_;
    std::unordered_set<std::string> madeDirectories_;
    std::vector<const StartupLocation*> registryRows_;
    std::vector<std::size_t> registryWeights_;
    std::size_t patternVendors_ = 0;
    std::size_t nextCatalogue_ = 0;
    std::size_t helperSerial_ = 0;
    std::vector<std::string> st_;
    std::vector<std::string> sn_;
    std::vector<std::string> fn_;
    std::vector<std::pair<std::size_t, std::string>> runnable_; // entry index, the program's executable
    GeneratedRoot result_;
};

} // namespace

const char* SourceTag(LookupSource source) {
    switch (source) {
    case LookupSource::MainTable:
        return "st";
    case LookupSource::MainTablePair:
        return "st-pair";
    case LookupSource::NameTable:
        return "sn";
    case LookupSource::FileTable:
        return "fn";
    case LookupSource::Patterns:
        return "sp";
    case LookupSource::None:
        break;
    }
    return "";
}

std::string StoredKeyPath(const StartupLocation& row, bool enabled) {
    const std::string key(enabled ? row.key : DisabledKey(row));
    // No sandbox.ini: 64-bit Windows, where the 32-bit view of a redirected key is kept apart.
    return sandbox::TreePath(row.hive, row.view == RegistryView::Wow32 ? sandbox::Wow32Path(key) : key);
}

GeneratedRoot GenerateRoot(const std::filesystem::path& root, const GeneratorOptions& options) {
    return MachineBuilder(root, options).Build();
}

} // namespace qb::bench
