#include "workpool/work_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

class WorkPool : public ::testing::Test {
protected:
    void TearDown() override { workpool::SetThreadLimit(0); }
};

TEST_F(WorkPool, ThreadsNeverExceedTheProcessors) {
    EXPECT_GE(workpool::ProcessorCount(), 1u);
    EXPECT_LE(workpool::ThreadCount(), workpool::ProcessorCount());
    workpool::SetThreadLimit(1);
    EXPECT_EQ(workpool::ThreadCount(), 1u);
    workpool::SetThreadLimit(1000);
    EXPECT_EQ(workpool::ThreadCount(), workpool::ProcessorCount());
}

TEST_F(WorkPool, EveryItemRunsOnceInItsSlot) {
    struct Case {
        uint32_t count, grain, limit;
    };
    for (const Case c : {Case{0, 4, 0}, Case{1, 4, 0}, Case{1000, 1, 0}, Case{1001, 16, 0},
                         Case{1001, 16, 1}, Case{5, 2, 3}, Case{100000, 7, 0}}) {
        workpool::SetThreadLimit(c.limit);
        const unsigned slots = workpool::ThreadCount();
        std::vector<std::atomic<int>> runs(c.count);
        std::atomic<bool> slotsInRange{true}, partsInGrain{true};
        EXPECT_TRUE(
            workpool::Run(c.count, c.grain, [&](unsigned slot, uint32_t first, uint32_t end) {
                if (slot >= slots) slotsInRange = false;
                if (first % c.grain != 0 || end - first > c.grain || end <= first)
                    partsInGrain = false;
                for (uint32_t i = first; i < end; ++i)
                    ++runs[i];
            }));
        for (uint32_t i = 0; i < c.count; ++i)
            ASSERT_EQ(runs[i], 1) << c.count << " items of " << c.grain << ", item " << i;
        EXPECT_TRUE(slotsInRange);
        EXPECT_TRUE(partsInGrain);
    }
}

TEST_F(WorkPool, KeepGoingStopsTheRunOnTheCallersThread) {
    workpool::SetThreadLimit(1);
    std::vector<int> runs(100);
    EXPECT_FALSE(workpool::Run(
        100, 1, [&](unsigned, uint32_t first, uint32_t) { ++runs[first]; },
        [](uint32_t done) { return done < 10; }));
    EXPECT_EQ(std::count(runs.begin(), runs.end(), 1), 10);

    workpool::SetThreadLimit(0);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> done{0};
    bool onCaller = true;
    EXPECT_FALSE(workpool::Run(
        100000, 1, [&](unsigned, uint32_t, uint32_t) { ++done; },
        [&](uint32_t) {
            onCaller = onCaller && std::this_thread::get_id() == caller;
            return done < 50;
        }));
    EXPECT_TRUE(onCaller);
}

TEST_F(WorkPool, ARunInsideABodyGoesOnItsThread) {
    std::atomic<uint64_t> sum{0};
    std::atomic<bool> innerSlotZero{true};
    workpool::Run(64, 1, [&](unsigned, uint32_t first, uint32_t) {
        workpool::Run(100, 10, [&](unsigned slot, uint32_t a, uint32_t b) {
            if (slot != 0) innerSlotZero = false;
            for (uint32_t i = a; i < b; ++i)
                sum += first * 100 + i;
        });
    });
    EXPECT_TRUE(innerSlotZero);
    uint64_t expected = 0;
    for (uint64_t i = 0; i < 6400; ++i)
        expected += i;
    EXPECT_EQ(sum, expected);
}

// Bodies that poll KeepGoing() stop in the middle of their parts once
// keepGoing says no: asked by a body on the caller's thread, or by the
// caller while it waits for the pool's threads with no part of its own left.
TEST_F(WorkPool, KeepGoingStopsBodiesInTheMiddleOfTheirParts) {
    if (workpool::ThreadCount() < 2) GTEST_SKIP() << "one processor";
    for (const bool callerWorks : {true, false}) {
        SCOPED_TRACE(callerWorks ? "asked by the caller's body" : "asked by the waiting caller");
        std::atomic<int> calls{0}, unstopped{0}, poolBodies{0};
        EXPECT_FALSE(workpool::Run(
            2, 1,
            [&](unsigned slot, uint32_t, uint32_t) {
                // Without a stop a body would run for a minute.
                const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
                if (slot == 0 && !callerWorks) {
                    // Once a pool thread is in, the caller has nothing to do.
                    while (poolBodies == 0 && std::chrono::steady_clock::now() < end)
                        std::this_thread::yield();
                    return;
                }
                if (slot != 0) ++poolBodies;
                while (workpool::KeepGoing())
                    if (std::chrono::steady_clock::now() > end) {
                        ++unstopped;
                        return;
                    }
            },
            [&](uint32_t) { return ++calls < 5; }));
        EXPECT_EQ(unstopped, 0);
        EXPECT_TRUE(workpool::KeepGoing()); // outside a run
    }
}

} // namespace
