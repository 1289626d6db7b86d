#include "cli/cli_app.h"
#include "platform/running_mark.h"

#include <iostream>

int main(int argc, char** argv) {
    const qb::RunningMark running; // the installer waits while any copy runs
    return qb::cli::Run(argc, argv, std::cout, std::cerr);
}
