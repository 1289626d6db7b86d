#include "cli/session.h"

#include "changes/apply_journal.h"
#include "inventory/startup_scan.h"

#include <ostream>

namespace qb::cli {

std::unique_ptr<Session> Start(const Options& options, std::ostream& err, LoadAccess access) {
    std::string error;
    auto session = std::make_unique<Session>();
    session->host = OpenHostSystem(options.systemRoot, err, error);
    if (!session->host) {
        err << error << '\n';
        return nullptr;
    }
    PlatformServices services = session->Services();
    session->database = std::make_unique<ProgramDatabase>(services.files);
    services.files.CreateDirectory(JoinPath(services.files.ExecutableDirectory(), "backup"));
    // An apply cut off by a kill or a crash is finished or rolled back before anything is read.
    if (const Recovery recovered = RecoverInterruptedApply(services); recovered != Recovery::None) {
        err << RecoveryMessage(recovered) << '\n';
    }
    LoadInventory(session->inventory, services, *session->database, session->icons, access);
    session->watch = std::make_unique<ChangeWatch>(services);
    session->watch->Loaded(session->inventory);
    return session;
}

} // namespace qb::cli
