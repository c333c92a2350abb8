#include "run/queue_estimate.h"

#include <gtest/gtest.h>

namespace torvane {
namespace {

// A minute-long clip weighs six times a ten-second one whatever their files' sizes; the pace
// measured so far carries to the rest; an unknown length counts as the average known one.
TEST(QueueEstimate, WeighsItemsByTheirOutputSecondsAndCarriesThePaceOn) {
    std::vector<QueueItemWork> items = {{60.0, 0.0, true}, {10.0, 0.5, false}, {10.0, 0.0, false}};
    QueueEstimate estimate = estimateQueue(items, 65.0);
    EXPECT_EQ(estimate.percent, 81);  // 65 of 80 seconds
    ASSERT_TRUE(estimate.remainingSeconds);
    EXPECT_DOUBLE_EQ(*estimate.remainingSeconds, 15.0);  // a second of output a second

    items.push_back({0.0, 0.0, false});  // unknown: as long as the 26.67-second average
    estimate = estimateQueue(items, 32.5);
    EXPECT_NEAR(*estimate.remainingSeconds, (80.0 + 80.0 / 3 - 65.0) / 2.0, 1e-9);

    EXPECT_FALSE(estimateQueue({{10.0, 0.0, false}}, 5.0).remainingSeconds);  // nothing measured yet
    EXPECT_EQ(estimateQueue({{10.0, 0.0, true}}, 5.0).remainingSeconds, 0.0);
    EXPECT_EQ(estimateQueue({}, 5.0).percent, 0);
}

// Once items of two lengths are done, each item costs a fixed time plus a time per output
// second, fitted to what they took: many short items are not cheaper than their seconds say.
TEST(QueueEstimate, LearnsTheFixedCostOfAnItemFromTheConvertedOnes) {
    // 1 second each, plus 0.2 seconds per output second.
    std::vector<QueueItemWork> items = {
        {10.0, 1.0, true, 3.0}, {30.0, 1.0, true, 7.0}, {20.0, 0.5, false, 0.0}, {5.0, 0.0, false, 0.0}};
    ASSERT_TRUE(estimateQueue(items, 12.0).remainingSeconds);
    EXPECT_NEAR(*estimateQueue(items, 12.0).remainingSeconds, 0.5 * 5.0 + 2.0, 1e-9);
    EXPECT_NEAR(*estimateQueue(items, 12.0, 2).remainingSeconds, (0.5 * 5.0 + 2.0) / 2, 1e-9);
    // Two items of one length tell no fixed cost apart: the pace decides.
    items[1] = {10.0, 1.0, true, 3.0};
    EXPECT_NEAR(*estimateQueue(items, 6.0).remainingSeconds, (45.0 - 30.0) / (30.0 / 6.0), 1e-9);
}

TEST(QueueEstimate, TheClockStandsStillWhileTheRunIsPaused) {
    const auto t0 = WorkClock::Clock::time_point{} + std::chrono::hours(1);
    WorkClock clock;
    EXPECT_EQ(clock.workedSeconds(t0), 0.0);
    clock.start(t0);
    clock.pause(t0 + std::chrono::seconds(10));
    EXPECT_TRUE(clock.paused());
    EXPECT_DOUBLE_EQ(clock.workedSeconds(t0 + std::chrono::seconds(100)), 10.0);
    clock.resume(t0 + std::chrono::seconds(100));
    EXPECT_DOUBLE_EQ(clock.workedSeconds(t0 + std::chrono::seconds(105)), 15.0);
}

}  // namespace
}  // namespace torvane
