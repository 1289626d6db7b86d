#include "platform/running_mark.h"
#include "platform/win32/win32_handles.h"

#include <sddl.h>

namespace qb {

namespace {

// Everyone may wait on the mutex, which is all that opening it to look needs. The name is in the global
// namespace, so that the tool running in another user's session is seen too (its files are just as busy),
// and an object's default security would shut that user's installer out of it.
constexpr wchar_t kAnyoneMayLook[] = L"D:(A;;0x00100000;;;WD)";

} // namespace

struct RunningMark::Mark {
    win32::UniqueHandle<win32::KernelObjectTraits> mutex;
};

RunningMark::RunningMark() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kAnyoneMayLook, SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        descriptor = nullptr;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    // Opened for waiting only, so that a copy finding the mutex made by another user needs no more than the
    // descriptor grants. Every copy's handle keeps the mutex in being until the last copy ends.
    win32::UniqueHandle<win32::KernelObjectTraits> mutex(
        ::CreateMutexExW(descriptor != nullptr ? &attributes : nullptr, QB_RUNNING_MUTEX, 0, SYNCHRONIZE));
    if (descriptor != nullptr) {
        ::LocalFree(descriptor);
    }
    if (mutex) {
        mark_ = std::make_unique<Mark>(Mark{std::move(mutex)});
    }
}

RunningMark::~RunningMark() = default;

} // namespace qb
