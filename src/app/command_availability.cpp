#include "app/command_availability.h"

namespace qb {

CommandAvailability AvailableCommands(const ListRow* selected, bool legacyNT) {
    CommandAvailability a;
    if (selected == nullptr) {
        a.start = false;
        a.stop = false;
        return a;
    }
    a.search = true;
    a.browse = a.properties = selected->pathValid;
    if (selected->deleted) {
        // Only the undo acts on a deleted entry; what it runs and where it is can still be looked at.
        a.undo = true;
        a.start = a.stop = false;
        return a;
    }
    a.edit = a.remove = true;
    if (!legacyNT) {
        const bool running = !selected->memory.empty();
        a.start = !running && selected->pathValid;
        a.stop = running;
    } else if (!selected->pathValid) {
        a.start = false; // whatever runs, nothing can be started from a file that is not there
    }
    return a;
}

} // namespace qb
