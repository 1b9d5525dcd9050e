// One updater per machine: a second copy waits for the first only so long (that it ends
// with the first copy, the end-to-end tests show).
#include "updater/single_instance.h"

#include <gtest/gtest.h>

#include <thread>

TEST(SingleUpdater, SecondCopyWaitsForTheFirstOnlySoLong) {
    constexpr char kName[] = "Global\\KestrovaMorvaneTest";
    UniqueKernelHandle claimed(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    UniqueKernelHandle release(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    std::thread first([&] {  // a thread of its own: a mutex's owner never waits for itself
        const SingleUpdater copy(kName, 0);
        EXPECT_TRUE(copy.IsFirst());
        ::SetEvent(claimed.get());
        ::WaitForSingleObject(release.get(), 10000);
    });
    EXPECT_EQ(::WaitForSingleObject(claimed.get(), 10000), WAIT_OBJECT_0);
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(SingleUpdater(kName, 500).IsFirst());
    const DWORD took = ::GetTickCount() - start;
    EXPECT_TRUE(took >= 400 && took < 3000) << took;
    ::SetEvent(release.get());
    first.join();
    EXPECT_TRUE(SingleUpdater(kName, 0).IsFirst()) << "with every copy gone";
}
