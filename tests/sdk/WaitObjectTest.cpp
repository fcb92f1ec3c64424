#include <gtest/gtest.h>

#include <thread>

#include "sdk/genapi/GenericException.h"
#include "sdk/grab/CameraTypes.h"
#include "sdk/grab/WaitObjectEx.h"
#include "sdk/grab/WaitObjects.h"

using namespace sdk;

namespace {

TEST(WaitObject, ManualResetStaysSignalledUntilReset) {
    WaitObjectEx event = WaitObjectEx::Create();
    EXPECT_TRUE(event.IsValid());
    EXPECT_FALSE(event.Wait(0));
    event.Signal();
    event.Signal();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
    event.Reset();  // resetting twice is harmless
    EXPECT_FALSE(event.Wait(0));
    EXPECT_TRUE(WaitObjectEx::Create(true).Wait(0));
}

TEST(WaitObject, CopiesShareTheEventAndInvalidObjectsThrow) {
    WaitObjectEx event = WaitObjectEx::Create();
    const WaitObject copy = event;
    event.Signal();
    EXPECT_TRUE(copy.Wait(0));
    const WaitObject invalid;
    EXPECT_FALSE(invalid.IsValid());
    EXPECT_EQ(invalid.GetHandle(), -1);
    EXPECT_THROW(invalid.Wait(0), LogicalErrorException);
    WaitObjects set;
    EXPECT_THROW(set.Add(invalid), InvalidArgumentException);
    EXPECT_THROW(set.WaitForAny(0), LogicalErrorException);
}

TEST(WaitObject, WaitForAnyReportsTheLowestSignalledIndex) {
    WaitObjectEx a = WaitObjectEx::Create();
    WaitObjectEx b = WaitObjectEx::Create();
    WaitObjectEx c = WaitObjectEx::Create();
    WaitObjects set;
    EXPECT_EQ(set.Add(a), 0u);
    EXPECT_EQ(set.Add(b), 1u);
    EXPECT_EQ(set.Add(c), 2u);
    unsigned int index = 99;
    EXPECT_FALSE(set.WaitForAny(0, &index));
    EXPECT_EQ(index, 99u);
    c.Signal();
    b.Signal();
    EXPECT_TRUE(set.WaitForAny(0, &index));
    EXPECT_EQ(index, 1u);
    EXPECT_TRUE(set.WaitForAny(0));  // index is optional
}

TEST(WaitObject, WaitForAllNeedsEveryObject) {
    WaitObjectEx a = WaitObjectEx::Create();
    WaitObjectEx b = WaitObjectEx::Create();
    WaitObjects set;
    set.Add(a);
    set.Add(b);
    a.Signal();
    EXPECT_FALSE(set.WaitForAll(0));
    std::thread signaller([&] { b.Signal(); });
    EXPECT_TRUE(set.WaitForAll(kInfinite));
    signaller.join();
    set.RemoveAll();
    EXPECT_EQ(set.GetSize(), 0u);
}

TEST(WaitObject, AnotherThreadWakesAnInfiniteWait) {
    WaitObjectEx event = WaitObjectEx::Create();
    std::thread signaller([event]() mutable { event.Signal(); });
    EXPECT_TRUE(event.Wait(kInfinite));
    signaller.join();
}

}  // namespace
