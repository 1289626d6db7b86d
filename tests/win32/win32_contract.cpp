#include "win32/win32_backend.h"

namespace qb::test {

QB_INSTANTIATE_PLATFORM_CONTRACT(Win32,
                                 (BackendFactory{"Win32", [] { return std::make_unique<Win32Backend>(); }}));

} // namespace qb::test
