#include "cli/session.h"

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
    LoadInventory(session->inventory, services, *session->database, session->icons, access);
    session->watch = std::make_unique<ChangeWatch>(services);
    session->watch->Loaded(session->inventory);
    return session;
}

} // namespace qb::cli
