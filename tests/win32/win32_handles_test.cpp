#include "platform/win32/win32_handles.h"

#include <gtest/gtest.h>
#include <type_traits>

namespace qb::test {

// The wrappers are move-only and never turn into a raw handle, or from one, by themselves.
static_assert(!std::is_copy_constructible_v<win32::RegistryKeyHandle>);
static_assert(!std::is_copy_assignable_v<win32::RegistryKeyHandle>);
static_assert(std::is_nothrow_move_constructible_v<win32::RegistryKeyHandle>);
static_assert(std::is_nothrow_move_assignable_v<win32::ProcessHandle>);
static_assert(!std::is_convertible_v<win32::RegistryKeyHandle, HKEY>);
static_assert(!std::is_convertible_v<HKEY, win32::RegistryKeyHandle>);
static_assert(!std::is_convertible_v<win32::ProcessHandle, HANDLE>);
static_assert(!std::is_convertible_v<win32::ProcessHandle, bool>);
static_assert(!std::is_copy_constructible_v<win32::ComPtr<IUnknown>>);
static_assert(!std::is_convertible_v<win32::ComPtr<IUnknown>, IUnknown*>);

namespace {
// A handle kind whose closes are counted.
struct CountedTraits {
    using Handle = int;
    static Handle None() { return 0; }
    static void Close(Handle handle) { closed.push_back(handle); }
    static inline std::vector<int> closed;
};
using Counted = win32::UniqueHandle<CountedTraits>;
} // namespace

TEST(Win32Handles, EveryHandleIsClosedExactlyOnce) {
    CountedTraits::closed.clear();
    {
        Counted a(1);
        Counted b(2);
        Counted moved(std::move(a));
        EXPECT_FALSE(a);
        b = std::move(moved); // b's own handle goes first
        EXPECT_EQ(CountedTraits::closed, std::vector<int>{2});
        b = std::move(b); // moving into itself keeps it
        EXPECT_EQ(b.Get(), 1);
        Counted released(3);
        EXPECT_EQ(released.Release(), 3); // handed over, not closed
        Counted received(4);
        *received.Receive() = 5; // the old one is closed before a new one comes in
    }
    EXPECT_EQ(CountedTraits::closed, (std::vector<int>{2, 4, 5, 1}));
}

TEST(Win32Handles, ComStaysUsableWhenNested) {
    win32::ComApartment outer;
    ASSERT_TRUE(outer.Ready());
    {
        win32::ComApartment inner;
        EXPECT_TRUE(inner.Ready());
    }
    // The inner one gave back only its own reference: COM still works here.
    win32::ComPtr<IUnknown> link;
    EXPECT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                             link.ReceiveVoid())));
    EXPECT_TRUE(link);
}

} // namespace qb::test
