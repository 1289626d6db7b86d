#pragma once

#include <iosfwd>

namespace qb::cli {

// Exit statuses: 0 done; 1 the named entry does not exist, the editor's checks refused, or a platform
// error ended the command; 2 bad usage; 3 compare found differences.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDiffer = 3;

int Run(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace qb::cli
