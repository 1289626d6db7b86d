#pragma once

#include "inventory/startup_item.h"
#include "platform/platform_services.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace qb {

// The list row a start or stop acts on, by its texts.
struct SelectedRow {
    std::string caption;
    std::string commandCell;
    std::string location;
};

enum class ProgramControlResult { NothingDone, Refresh };

// Runs the row's command as its cell shows it, %NAME% references expanded; on success the processes are
// scanned again and the caller refreshes the list. Without a row, or with an invalid path, or when the
// program does not start, the user is told why. Messages are information boxes.
ProgramControlResult StartProgram(const SelectedRow* row, Inventory& inventory, PlatformServices services);

// Ends the program matched to the row's record (first record with the row's name and location). When it
// runs, the user is asked first (StopQuestion with the row's caption); on Yes it is asked to close, waits up
// to the timeout, then ends it by force. `pump` runs now and then during the wait so that the window can
// repaint. The record's figures are cleared unless the forced end failed.
ProgramControlResult StopProgram(const SelectedRow* row, Inventory& inventory, PlatformServices services,
                                 const std::function<void()>& pump,
                                 std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// The question before a running program is ended, naming the entry.
std::string StopQuestion(std::string_view caption);

// The message for a WinExec result below 32.
std::string StartFailureMessage(int winExecResult);

} // namespace qb
