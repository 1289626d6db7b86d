// Times the load of the system the command line would work on: the sandbox named by --system-root off
// Windows, this computer on Windows (and under Wine). Built for both, without the benchmark library, so
// that bench/wine-load-timing can time the two backends on the same entries:
//   load_timing [--system-root DIR] [--rounds N]
// Prints one line: the entries listed, the time to make the program database, the first load and the
// median of the reloads that follow, in milliseconds.

#include "cli/host_system.h"
#include "inventory/icon_sink.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    std::optional<std::string> root;
    int rounds = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--system-root" && i + 1 < argc) {
            root = argv[++i];
        } else if (arg == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::stoi(argv[++i]));
        } else {
            std::cerr << "usage: load_timing [--system-root DIR] [--rounds N]\n";
            return 2;
        }
    }
    std::string error;
    const auto host = qb::cli::OpenHostSystem(root, std::cerr, error);
    if (!host) {
        std::cerr << error << "\n";
        return 1;
    }
    const qb::PlatformServices services = host->Services();

    auto start = std::chrono::steady_clock::now();
    qb::ProgramDatabase database(services.files);
    const double databaseMs = MillisecondsSince(start);

    qb::Inventory inventory;
    qb::CountingIconSink icons;
    start = std::chrono::steady_clock::now();
    qb::LoadInventory(inventory, services, database, icons);
    const double firstMs = MillisecondsSince(start);

    std::vector<double> reloads;
    for (int i = 0; i < rounds; ++i) {
        start = std::chrono::steady_clock::now();
        qb::LoadInventory(inventory, services, database, icons);
        reloads.push_back(MillisecondsSince(start));
    }
    std::sort(reloads.begin(), reloads.end());
    std::printf("%s: %zu entries; database %.1f ms; first load %.1f ms; reload median %.1f ms (%d rounds)\n",
                host->Description().c_str(), inventory.Items.size(), databaseMs, firstMs,
                reloads[reloads.size() / 2], rounds);
    return 0;
}
