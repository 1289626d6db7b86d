#include "inventory/program_control.h"

#include "inventory/command_line.h"
#include "inventory/process_scan.h"
#include "inventory/startup_location.h"

namespace qb {

namespace {

constexpr std::string_view kSelectItem = "Please select an item.";

void Tell(PlatformServices& services, std::string_view text) {
    services.dialogs.ShowMessage(text, MessageKind::Information, MessageButtons::Ok);
}

// Waits in short slices, running the pump between them, until the process ends or the time is up.
WaitResult WaitResponsively(RunningProcess& process, std::chrono::milliseconds timeout,
                            const std::function<void()>& pump) {
    constexpr auto kSlice = std::chrono::milliseconds(50);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const WaitResult result =
            process.WaitForExit(std::max(std::chrono::milliseconds(0), std::min(left, kSlice)));
        if (result != WaitResult::TimedOut || left <= kSlice) {
            return result;
        }
        if (pump) {
            pump();
        }
    }
}

} // namespace

std::string StartFailureMessage(int winExecResult) {
    switch (winExecResult) {
    case 0:
        return "The system is out of memory or resources.";
    case 11:
        return "The .exe file is invalid.";
    case 2:
        return "The specified file was not found.";
    case 3:
        return "The specified path was not found.";
    default:
        return "Cannot start the program.";
    }
}

std::string StopQuestion(std::string_view caption) {
    return "End the running program \"" + std::string(caption) + "\"? Work not saved in it may be lost.";
}

ProgramControlResult StartProgram(const SelectedRow* row, Inventory& inventory, PlatformServices services) {
    if (row == nullptr) {
        Tell(services, kSelectItem);
        return ProgramControlResult::NothingDone;
    }
    // A RunOnceEx section's command runs what follows its "||"; the function of a DLL ("Dll|Function|...")
    // is called in Windows' own process and cannot be started from here.
    const std::string_view analysed = AnalysedCommand(row->location, row->commandCell);
    if (TargetPath(analysed, services.system, services.files).empty()) {
        Tell(services, "Cannot start a program with an invalid path.");
        return ProgramControlResult::NothingDone;
    }
    const std::string_view cell = row->commandCell;
    if (analysed != cell && !cell.starts_with("||")) {
        Tell(services, StartFailureMessage(5));
        return ProgramControlResult::NothingDone;
    }
    const std::string_view command = analysed;
    // WinExec takes a command line as it is; the references a run key may hold are expanded here, as
    // Windows expands them at logon.
    const int result =
        services.shell.RunCommand(services.system.ExpandEnvironmentStrings(command), kShowNormal);
    if (result > 31) {
        ScanProcesses(inventory.Items, services.processes, services.system, services.files);
        return ProgramControlResult::Refresh;
    }
    Tell(services, StartFailureMessage(result));
    return ProgramControlResult::NothingDone;
}

ProgramControlResult StopProgram(const SelectedRow* row, Inventory& inventory, PlatformServices services,
                                 const std::function<void()>& pump, std::chrono::milliseconds timeout) {
    if (row == nullptr) {
        Tell(services, kSelectItem);
        return ProgramControlResult::NothingDone;
    }
    StartupItem* record = nullptr;
    for (const auto& item : inventory.Items) {
        if (item->Name == row->caption && item->Location == row->location) {
            record = item.get();
            break;
        }
    }
    if (record == nullptr) {
        return ProgramControlResult::NothingDone;
    }
    if (const auto process = record->ProcessHandle) {
        if (services.dialogs.ShowMessage(StopQuestion(row->caption), MessageKind::Confirmation,
                                         MessageButtons::YesNo) != DialogResult::Yes) {
            return ProgramControlResult::NothingDone;
        }
        // A real close request first, so that a program that listens can save its work.
        process->RequestClose();
        if (WaitResponsively(*process, timeout, pump) != WaitResult::Ended && !process->Terminate(0)) {
            Tell(services, "Cannot close the program!");
            return ProgramControlResult::NothingDone;
        }
    }
    record->MemoryKB = 0;
    record->PeakMemoryKB = 0;
    record->ProcessHandle.reset();
    return ProgramControlResult::Refresh;
}

} // namespace qb
