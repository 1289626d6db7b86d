#include "platform/running_mark.h"

namespace qb {

// Off Windows nothing installs over a running copy of the tool, so there is nobody to tell.
struct RunningMark::Mark {};

RunningMark::RunningMark() = default;
RunningMark::~RunningMark() = default;

} // namespace qb
