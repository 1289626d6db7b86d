#include "cli/session.h"

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
    session->startup = std::make_unique<StartupSession>(session->Services());
    if (const auto recovered = session->startup->Recover()) {
        err << recovered->message << '\n';
    }
    session->startup->Load(access);
    return session;
}

} // namespace qb::cli
