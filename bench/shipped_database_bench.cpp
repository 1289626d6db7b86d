// What one reload costs with the database the tool ships, on the demo system with and without 200
// entries of a real machine's kind added, and how much of the list that database rates.

#include "inventory/icon_sink.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/registry.h"
#include "platform/sandbox/sandbox_system.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr std::string_view kRunDisabledKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunDisabled";

struct Sample {
    const char* name;
    const char* command;
};

// Entries as they stand in the run keys of Windows 10 and 11 machines. "%U" is the user's profile.
const Sample kRealEntries[] = {
    {"OneDrive", "\"%U\\AppData\\Local\\Microsoft\\OneDrive\\OneDrive.exe\" /background"},
    {"MicrosoftEdgeAutoLaunch_5C1F7A2B9D3E4F60718293A4B5C6D7E8",
     "\"C:\\Program Files (x86)\\Microsoft\\Edge\\Application\\msedge.exe\" --no-startup-window "
     "--win-session-start /prefetch:5"},
    {"GoogleChromeAutoLaunch_0F1E2D3C4B5A69788796A5B4C3D2E1F0",
     "\"C:\\Program Files\\Google\\Chrome\\Application\\chrome.exe\" --no-startup-window /prefetch:5"},
    {"com.squirrel.Teams.Teams",
     "%U\\AppData\\Local\\Microsoft\\Teams\\Update.exe --processStart \"Teams.exe\" --process-start-args "
     "\"--system-initiated\""},
    {"Discord", "%U\\AppData\\Local\\Discord\\Update.exe --processStart Discord.exe"},
    {"com.squirrel.slack.slack", "%U\\AppData\\Local\\slack\\slack.exe --process-start-args --startup"},
    {"Spotify", "\"%U\\AppData\\Roaming\\Spotify\\Spotify.exe\" --autostart --minimized"},
    {"Steam", "\"C:\\Program Files (x86)\\Steam\\steam.exe\" -silent"},
    {"EpicGamesLauncher", "\"C:\\Program Files (x86)\\Epic "
                          "Games\\Launcher\\Portal\\Binaries\\Win32\\EpicGamesLauncher.exe\" -silent"},
    {"EADM", "\"C:\\Program Files\\Electronic Arts\\EA Desktop\\EA Desktop\\EADesktop.exe\" /silent"},
    {"Battle.net", "\"C:\\Program Files (x86)\\Battle.net\\Battle.net.exe\" --autostarted"},
    {"Dropbox", "\"C:\\Program Files (x86)\\Dropbox\\Client\\Dropbox.exe\" /systemstartup"},
    {"GoogleDriveFS",
     "\"C:\\Program Files\\Google\\Drive File Stream\\GoogleDriveFS.exe\" --crash_handler_token=x"},
    {"iCloudServices", "\"C:\\Program Files\\Common Files\\Apple\\Internet Services\\iCloudServices.exe\""},
    {"RtkAudUService", "\"C:\\WINDOWS\\System32\\DriverStore\\FileRepository\\realtekservice.inf_amd64_"
                       "1\\RtkAudUService64.exe\" "
                       "-background"},
    {"RtHDVCpl", "\"C:\\Program Files\\Realtek\\Audio\\HDA\\RAVCpl64.exe\" -s"},
    {"RtHDVBg_Dolby", "\"C:\\Program Files\\Realtek\\Audio\\HDA\\RAVBg64.exe\" /FORPCEE4 /RTK_DOLBY"},
    {"IgfxTray", "C:\\WINDOWS\\system32\\igfxtray.exe"},
    {"HotKeysCmds", "C:\\WINDOWS\\system32\\hkcmd.exe"},
    {"Persistence", "C:\\WINDOWS\\system32\\igfxpers.exe"},
    {"NvBackend", "\"C:\\Program Files (x86)\\NVIDIA Corporation\\Update Core\\NvBackend.exe\""},
    {"SynTPEnh", "%ProgramFiles%\\Synaptics\\SynTP\\SynTPEnh.exe"},
    {"ETDCtrl", "C:\\Program Files\\Elantech\\ETDCtrl.exe"},
    {"Logitech Download Assistant",
     "C:\\Windows\\system32\\rundll32.exe C:\\Windows\\System32\\LogiLDA.dll,LogiFetch"},
    {"LGHUB", "\"C:\\Program Files\\LGHUB\\lghub.exe\" --background"},
    {"Razer Synapse", "\"C:\\Program Files (x86)\\Razer\\Synapse\\RzSynapse.exe\""},
    {"SunJavaUpdateSched", "\"C:\\Program Files (x86)\\Common Files\\Java\\Java Update\\jusched.exe\""},
    {"Adobe ARM", "\"C:\\Program Files (x86)\\Common Files\\Adobe\\ARM\\1.0\\AdobeARM.exe\""},
    {"Adobe Creative Cloud",
     "\"C:\\Program Files\\Adobe\\Adobe Creative Cloud\\ACC\\Creative Cloud.exe\" --showwindow=false"},
    {"Google Update", "\"%U\\AppData\\Local\\Google\\Update\\GoogleUpdate.exe\" /c"},
    {"iTunesHelper", "\"C:\\Program Files\\iTunes\\iTunesHelper.exe\""},
    {"APSDaemon",
     "\"C:\\Program Files (x86)\\Common Files\\Apple\\Apple Application Support\\APSDaemon.exe\""},
    {"AvastUI.exe", "\"C:\\Program Files\\Avast Software\\Avast\\AvLaunch.exe\" /gui"},
    {"egui", "\"C:\\Program Files\\ESET\\ESET Security\\ecmds.exe\" /run /hide /proxy"},
    {"Avira SystrayStartTrigger", "\"C:\\Program Files (x86)\\Avira\\Launcher\\Avira.Systray.exe\""},
    {"CCleaner Monitoring", "\"C:\\Program Files\\CCleaner\\CCleaner64.exe\" /MONITOR"},
    {"f.lux", "\"%U\\AppData\\Local\\FluxSoftware\\Flux\\flux.exe\" /noshow"},
    {"ShareX", "\"C:\\Program Files\\ShareX\\ShareX.exe\" -silent"},
    {"Greenshot", "\"C:\\Program Files\\Greenshot\\Greenshot.exe\""},
    {"Everything", "\"C:\\Program Files\\Everything\\Everything.exe\" -startup"},
    {"TeamViewer", "\"C:\\Program Files\\TeamViewer\\TeamViewer.exe\" --minimize"},
    {"AnyDesk", "\"C:\\Program Files (x86)\\AnyDesk\\AnyDesk.exe\" --tray"},
    {"NordVPN", "\"C:\\Program Files\\NordVPN\\NordVPN.exe\" /autostart"},
    {"OPENVPN-GUI", "C:\\Program Files\\OpenVPN\\bin\\openvpn-gui.exe"},
    {"Telegram Desktop", "\"%U\\AppData\\Roaming\\Telegram Desktop\\Telegram.exe\" -autostart"},
    {"electron.app.Signal", "\"%U\\AppData\\Local\\Programs\\signal-desktop\\Signal.exe\" --start-in-tray"},
    {"Zoom", "\"%U\\AppData\\Roaming\\Zoom\\bin\\Zoom.exe\" --autostart"},
    {"IDMan", "C:\\Program Files (x86)\\Internet Download Manager\\IDMan.exe /onboot"},
    {"uTorrent", "\"%U\\AppData\\Roaming\\uTorrent\\uTorrent.exe\" /MINIMIZED"},
    {"MSIAfterburner", "\"C:\\Program Files (x86)\\MSI Afterburner\\MSIAfterburner.exe\" /s"},
    {"Docker Desktop", "C:\\Program Files\\Docker\\Docker\\Docker Desktop.exe -Autostart"},
    {"VBoxTray", "C:\\Windows\\system32\\VBoxTray.exe"},
    {"UpdateP2GShortCut", "\"C:\\Program Files\\CyberLink\\Power2Go\\MUITransfer\\MUIStartMenu.exe\" "
                          "\"C:\\Program Files\\CyberLink\" "
                          "UpdateWithCreateOnce"},
    {"HP Software Update", "\"C:\\Program Files (x86)\\Hp\\HP Software Update\\hpwuSchd2.exe\""},
    {"EEventManager", "\"C:\\Program Files (x86)\\Epson Software\\Event Manager\\EEventManager.exe\""},
    {"ctfmon", "C:\\Windows\\system32\\ctfmon.exe"},
    {"Skype for Desktop", "\"C:\\Program Files (x86)\\Microsoft\\Skype for Desktop\\Skype.exe\" /minimized"},
    {"Lync", "\"C:\\Program Files\\Microsoft Office\\root\\Office16\\lync.exe\" /fromrunkey"},
    {"OneDriveSetup", "C:\\Windows\\SysWOW64\\OneDriveSetup.exe /thfirstsetup"},
    {"WavesSvc", "\"C:\\Windows\\System32\\DriverStore\\FileRepository\\wavesapo\\WavesSvc64.exe\""},
    {"StartCCC", "\"C:\\Program Files (x86)\\ATI Technologies\\ATI.ACE\\Core-Static\\CLIStart.exe\" MSRun"},
    {"IAStorIcon", "\"C:\\Program Files\\Intel\\Intel(R) Rapid Storage Technology\\IAStorIcon.exe\" 60"},
    {"Apoint", "C:\\Program Files\\Apoint2K\\Apoint.exe"},
    {"BTTray", "C:\\Program Files\\WIDCOMM\\Bluetooth Software\\BTTray.exe"},
    {"Acrobat Assistant 8.0", "\"C:\\Program Files (x86)\\Adobe\\Acrobat DC\\Acrobat\\Acrotray.exe\""},
    {"AdobeGCInvoker-1.0",
     "\"C:\\Program Files (x86)\\Common Files\\Adobe\\AdobeGCClient\\AGCInvokerUtility.exe\""},
    {"QuickTime Task", "\"C:\\Program Files (x86)\\QuickTime\\QTTask.exe\" -atboottime"},
    {"Opera Browser Assistant", "%U\\AppData\\Local\\Programs\\Opera\\assistant\\browser_assistant.exe"},
    {"WhatsApp", "%U\\AppData\\Local\\WhatsApp\\Update.exe --processStart WhatsApp.exe"},
    {"Viber", "\"%U\\AppData\\Local\\Viber\\Viber.exe\" StartMinimized"},
    {"Origin", "\"C:\\Program Files (x86)\\Origin\\Origin.exe\" -AutoStart"},
    {"Uplay", "\"C:\\Program Files (x86)\\Ubisoft\\Ubisoft Game Launcher\\upc.exe\" --autostart"},
    {"RiotClient", "\"C:\\Riot Games\\Riot Client\\RiotClientServices.exe\" --launch-background-mode"},
    {"Overwolf", "\"C:\\Program Files (x86)\\Overwolf\\OverwolfLauncher.exe\" -overwolfsilent"},
    {"BDAgent", "\"C:\\Program Files\\Bitdefender\\Bitdefender Security App\\bdagent.exe\""},
    {"Malwarebytes Anti-Malware",
     "\"C:\\Program Files (x86)\\Malwarebytes Anti-Malware\\mbamgui.exe\" /starttray"},
    {"ccApp", "\"C:\\Program Files (x86)\\Common Files\\Symantec Shared\\ccApp.exe\""},
    {"PanGPA", "\"C:\\Program Files\\Palo Alto Networks\\GlobalProtect\\PanGPA.exe\""},
    {"LogMeIn Hamachi Ui", "\"C:\\Program Files (x86)\\LogMeIn Hamachi\\hamachi-2-ui.exe\" --auto-start"},
    {"KeePass", "\"C:\\Program Files\\KeePass Password Safe 2\\KeePass.exe\" -preload"},
    {"Bitwarden", "\"%U\\AppData\\Local\\Programs\\Bitwarden\\Bitwarden.exe\""},
    {"PowerToys", "\"C:\\Program Files\\PowerToys\\PowerToys.exe\""},
    {"AutoHotkey", "\"C:\\Program Files\\AutoHotkey\\v2\\AutoHotkey64.exe\" \"%U\\Documents\\keys.ahk\""},
    {"Wallpaper Engine",
     "\"C:\\Program Files (x86)\\Steam\\steamapps\\common\\wallpaper_engine\\wallpaper32.exe\""},
    {"DAEMON Tools Lite", "\"C:\\Program Files\\DAEMON Tools Lite\\DTLite.exe\" -autorun"},
    {"VMware User Process", "\"C:\\Program Files\\VMware\\VMware Tools\\vmtoolsd.exe\" -n vmusr"},
    {"Akamai NetSession Interface", "\"%U\\AppData\\Local\\Akamai\\netsession_win.exe\""},
    {"TaskMon", "C:\\Windows\\system32\\taskmon.exe"},
    {"scvhost", "%U\\AppData\\Roaming\\scvhost.exe"},
    {"Windows Host", "%U\\AppData\\Local\\Temp\\csrss.exe"},
};

// A machine of the demo system with the shipped database, plus `extra` entries: the real ones above in
// turn, then programs nobody has heard of, which walk every table and every rule of their length.
class Machine {
public:
    explicit Machine(std::size_t extra) {
        std::string pattern = (fs::temp_directory_path() / "qb-shipped-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary directory");
        }
        dir_ = pattern;
        auto opened = qb::sandbox::SandboxSystem::OpenOrSeed(dir_ / "root");
        if (auto* error = std::get_if<std::string>(&opened)) {
            throw std::runtime_error(*error);
        }
        system_ = std::move(std::get<std::unique_ptr<qb::sandbox::SandboxSystem>>(opened));
        database_ = std::make_unique<qb::ProgramDatabase>(system_->Files());

        // The demo's own entries, before anything is added.
        qb::Inventory inventory;
        qb::CountingIconSink icons;
        qb::LoadInventory(inventory, system_->Services(), *database_, icons);
        for (const auto& item : inventory.Items) {
            demo_.insert(Key(*item));
        }
        AddEntries(extra);
        // The sandbox trusts a folder's name index only once the folder has been still for a second.
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    }
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
    ~Machine() {
        database_.reset();
        system_.reset();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    static std::string Key(const qb::StartupItem& item) {
        return item.Name.str() + '\n' + item.Command.str() + '\n' + item.Location.str();
    }
    bool IsDemo(const qb::StartupItem& item) const { return demo_.contains(Key(item)); }
    bool IsReal(const qb::StartupItem& item) const { return real_.contains(item.Name.str()); }
    std::size_t DemoEntries() const { return demo_.size(); }
    qb::PlatformServices Services() { return system_->Services(); }
    qb::ProgramDatabase& Database() { return *database_; }

private:
    void MakeFile(const std::string& path) {
        qb::FileSystem& files = system_->Files();
        for (std::size_t slash = path.find('\\', 3); slash != std::string::npos;
             slash = path.find('\\', slash + 1)) {
            files.CreateDirectory(path.substr(0, slash));
        }
        files.WriteFile(path, "MZ");
    }

    // The file a command starts, when it names one by its full path (the rest stay invalid paths, as
    // unexpanded variables and host commands do on a real list).
    static std::string ProgramOf(const std::string& command) {
        const std::size_t begin = command.starts_with('"') ? 1 : 0;
        const std::size_t exe = command.find(".exe", begin);
        if (command.compare(begin, 3, "C:\\") != 0 || exe == std::string::npos) {
            return {};
        }
        return command.substr(begin, exe + 4 - begin);
    }

    void AddEntries(std::size_t extra) {
        const std::string profile = "C:\\Users\\User";
        std::size_t added = 0;
        for (std::size_t i = 0; added < extra; ++i, ++added) {
            std::string name;
            std::string command;
            if (i < std::size(kRealEntries)) {
                name = kRealEntries[i].name;
                real_.insert(name);
                command = kRealEntries[i].command;
                for (std::size_t at = command.find("%U"); at != std::string::npos; at = command.find("%U")) {
                    command.replace(at, 2, profile);
                }
            } else {
                const std::string n = std::to_string(i);
                name = "Vendor Helper " + n;
                command = "\"C:\\Program Files\\Vendor " + n + "\\helper" + n + ".exe\" /tray";
            }
            if (const std::string program = ProgramOf(command); !program.empty() && i % 5 != 0) {
                MakeFile(program);
            }
            // Most in the user's Run key, some in the machine's, a few disabled.
            const auto root = i % 3 == 0 ? qb::RegistryRoot::LocalMachine : qb::RegistryRoot::CurrentUser;
            const std::string_view key = i % 7 == 0 ? kRunDisabledKey : kRunKey;
            auto opened = system_->Registry().OpenForWriting(root, key, true);
            if (!opened) {
                throw std::runtime_error("cannot open a run key for writing");
            }
            opened->WriteValue(name, qb::RegistryValue::String(command));
        }
    }

    fs::path dir_;
    std::unique_ptr<qb::sandbox::SandboxSystem> system_;
    std::unique_ptr<qb::ProgramDatabase> database_;
    std::set<std::string> demo_;
    std::set<std::string> real_; // names of the entries taken from kRealEntries
};

Machine& MachineFor(std::size_t extra) {
    static std::map<std::size_t, std::unique_ptr<Machine>> machines;
    auto& machine = machines[extra];
    if (!machine) {
        machine = std::make_unique<Machine>(extra);
    }
    return *machine;
}

void BM_LoadInventoryShippedDatabase(benchmark::State& state) {
    Machine& machine = MachineFor(static_cast<std::size_t>(state.range(0)));
    qb::Inventory inventory;
    qb::CountingIconSink icons;
    qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
    for (auto _ : state) {
        qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
        benchmark::DoNotOptimize(inventory.Items.data());
        benchmark::ClobberMemory();
    }

    std::size_t rated = 0, demo = 0, demoRated = 0, demoKnown = 0, real = 0, realRated = 0;
    for (const auto& item : inventory.Items) {
        const bool isRated = item->Rating != qb::Rating::Unknown;
        rated += isRated ? 1 : 0;
        if (machine.IsReal(*item)) {
            ++real;
            realRated += isRated ? 1 : 0;
        }
        if (machine.IsDemo(*item)) {
            ++demo;
            demoRated += isRated ? 1 : 0;
            // Known: some table holds a rating letter for it, "?" (an honest unknown) included.
            demoKnown +=
                machine.Database().LookupValue(item->Name, item->Command, "Confirmed").empty() ? 0 : 1;
        }
    }
    // Added names are unique across the run keys and their twins, so no load removes a copy and every
    // iteration lists the same entries.
    if (demo != machine.DemoEntries() ||
        inventory.Items.size() != demo + static_cast<std::size_t>(state.range(0))) {
        state.SkipWithError("the load did not list the demo's entries and the added ones");
        return;
    }
    const auto items = static_cast<double>(inventory.Items.size());
    const auto demoItems = static_cast<double>(demo);
    state.counters["entries"] = items;
    state.counters["rated%"] = 100.0 * static_cast<double>(rated) / items;
    state.counters["demo"] = demoItems;
    state.counters["demoRated%"] = 100.0 * static_cast<double>(demoRated) / demoItems;
    state.counters["demoKnown%"] = 100.0 * static_cast<double>(demoKnown) / demoItems;
    if (real != 0) {
        state.counters["real"] = static_cast<double>(real);
        state.counters["realRated%"] = 100.0 * static_cast<double>(realRated) / static_cast<double>(real);
    }
}

} // namespace

// extra: entries added to the demo system's own.
BENCHMARK(BM_LoadInventoryShippedDatabase)->ArgName("extra")->Arg(0)->Arg(200)->Unit(benchmark::kMillisecond);
