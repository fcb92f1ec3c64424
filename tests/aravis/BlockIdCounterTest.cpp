#include "sdk/aravis/BlockIdCounter.h"

#include <gtest/gtest.h>

using sdk::BlockIdCounter;

TEST(BlockIdCounter, FirstIdIsTakenAsItIs) {
    BlockIdCounter counter;
    EXPECT_EQ(counter.Next(65401), 65401u);
    EXPECT_EQ(counter.Next(65402), 65402u);
}

TEST(BlockIdCounter, SixteenBitIdsWrapPastZeroAndKeepCounting) {
    BlockIdCounter counter;
    EXPECT_EQ(counter.Next(65534), 65534u);
    EXPECT_EQ(counter.Next(65535), 65535u);
    EXPECT_EQ(counter.Next(1), 65536u);  // GigE Vision skips 0
    EXPECT_EQ(counter.Next(2), 65537u);
}

TEST(BlockIdCounter, LostFramesAddTheirCountAcrossTheWrap) {
    BlockIdCounter counter;
    counter.Next(65530);
    EXPECT_EQ(counter.Next(3), 65530u + 8u);  // 65531..65535, 1, 2 lost
}

TEST(BlockIdCounter, RepeatedIdDoesNotCount) {
    BlockIdCounter counter;
    counter.Next(10);
    EXPECT_EQ(counter.Next(10), 10u);
    EXPECT_EQ(counter.Next(11), 11u);
}

TEST(BlockIdCounter, ManyWrapsStayMonotonic) {
    BlockIdCounter counter;
    uint64_t raw = 1;
    uint64_t last = counter.Next(raw);
    for (int i = 0; i < 3 * 65535; ++i) {
        raw = raw == 65535 ? 1 : raw + 1;
        const uint64_t next = counter.Next(raw);
        ASSERT_EQ(next, last + 1);
        last = next;
    }
    EXPECT_EQ(last, 1u + 3u * 65535u);
}

TEST(BlockIdCounter, DeviceThatUsesZeroWrapsAtSixteenBits) {
    BlockIdCounter counter;
    counter.Next(65535);
    EXPECT_EQ(counter.Next(0), 65536u);
    EXPECT_EQ(counter.Next(1), 65537u);
}

TEST(BlockIdCounter, WideIdsAreTakenAsTheyAreAndResetStartsAgain) {
    BlockIdCounter counter;
    EXPECT_EQ(counter.Next(0x123456789ull), 0x123456789ull);
    counter.Reset();
    EXPECT_EQ(counter.Next(7), 7u);
}
