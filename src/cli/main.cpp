#include "cli/cli_app.h"
#include "platform/running_mark.h"

#include <iostream>

int main(int argc, char** argv) {
    const qb::RunningMark running; // the installer waits while any copy runs
    // Standard output buffered on its own rather than written through to C's stdio character by character:
    // a list of hundreds of entries is then a few writes, where each write is a round trip to the system
    // (under Wine, to its server). Error output stays unbuffered.
    std::ios::sync_with_stdio(false);
    return qb::cli::Run(argc, argv, std::cout, std::cerr);
}
