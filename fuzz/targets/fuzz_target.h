#pragma once

#include "checks/reader_checks.h"

#include <cstdio>
#include <cstdlib>

namespace qb::fuzz {

// A finding is a crash for libFuzzer: it saves the input as crash-<sha1> and stops.
inline int Report(const Finding& finding) {
    if (finding) {
        std::fprintf(stderr, "fuzz check failed: %s\n", finding->c_str());
        std::abort();
    }
    return 0;
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace qb::fuzz
