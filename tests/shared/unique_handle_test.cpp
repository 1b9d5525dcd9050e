#include "shared/unique_handle.h"

#include <gtest/gtest.h>

namespace {

struct CountingTraits {
    using Value = int;
    static inline int closed = 0;
    static Value Invalid() { return -1; }
    static void Close(Value) { ++closed; }
};
using Counted = UniqueHandle<CountingTraits>;

TEST(UniqueHandle, ClosesExactlyOnceAcrossMovesAndResets) {
    CountingTraits::closed = 0;
    {
        Counted first(3);
        Counted second(std::move(first));
        EXPECT_FALSE(first.valid());
        Counted third;
        third = std::move(second);
        EXPECT_EQ(CountingTraits::closed, 0);
        third.reset(4);
        EXPECT_EQ(CountingTraits::closed, 1);
        third = Counted(5);  // the old value 4 is closed by the assignment
        EXPECT_EQ(CountingTraits::closed, 2);
    }
    EXPECT_EQ(CountingTraits::closed, 3);
}

TEST(UniqueHandle, ReleaseHandsOwnershipBack) {
    CountingTraits::closed = 0;
    int released;
    {
        Counted owner(9);
        released = owner.release();
        EXPECT_FALSE(owner);
    }
    EXPECT_EQ(released, 9);
    EXPECT_EQ(CountingTraits::closed, 0);
}

TEST(UniqueHandle, RealKernelHandleIsClosed) {
    HANDLE raw = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    HANDLE duplicate = nullptr;
    ASSERT_TRUE(::DuplicateHandle(::GetCurrentProcess(), raw, ::GetCurrentProcess(), &duplicate, 0, FALSE,
                                  DUPLICATE_SAME_ACCESS));
    { UniqueKernelHandle owner(duplicate); }
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(duplicate, &flags));  // closed by the owner
    EXPECT_TRUE(::GetHandleInformation(raw, &flags));
    ::CloseHandle(raw);
}

}  // namespace
