#pragma once

#include "cli/cli_app.h"

#include <sstream>
#include <string>
#include <vector>

namespace qb::cli {

// What one run of the command line gave.
struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs quillbrook-cli in this process with the arguments, as a shell would start it.
inline Result RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), "quillbrook-cli");
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    std::ostringstream out, err;
    const int status = Run(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

} // namespace qb::cli
