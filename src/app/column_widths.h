#pragma once

#include <cstddef>
#include <vector>

namespace qb {

// Shares `available` pixels among columns that want `wanted` pixels each. When all fit, each gets what it
// wants and the `flexible` column (the command) takes what is left over. When they do not, the flexible
// column gives way first, down to a third of the room, so that a long command does not push the name and
// the place out of sight; when even that is not enough, the narrow ones keep their width and the wide ones
// share the rest evenly. No column gets less than `minimum`, so the result may exceed a tiny `available`.
std::vector<int> ShareWidth(int available, const std::vector<int>& wanted, int minimum, std::size_t flexible);

} // namespace qb
