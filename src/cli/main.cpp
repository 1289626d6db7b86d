#include "cli/cli_app.h"

#include <iostream>

int main(int argc, char** argv) {
    return qb::cli::Run(argc, argv, std::cout, std::cerr);
}
