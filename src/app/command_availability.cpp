#include "app/command_availability.h"

namespace qb {

CommandAvailability AvailableCommands(const ListRow* selected, bool legacyNT) {
    CommandAvailability a;
    if (selected == nullptr) {
        a.start = false;
        a.stop = false;
        return a;
    }
    a.edit = a.browse = a.properties = a.remove = a.search = true;
    if (!legacyNT) {
        const bool running = !selected->memory.empty();
        a.start = !running;
        a.stop = running;
    }
    return a;
}

} // namespace qb
