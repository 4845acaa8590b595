#include "viewer/logic/thumbnail_feed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "workpool/work_pool.h"

namespace {

class ThumbnailLoaders : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override { workpool::SetThreadLimit(GetParam()); }
    void TearDown() override { workpool::SetThreadLimit(0); }
};

// Every prepared entry is loaded once; preparing (which calls the window
// system in the viewer) happens on the caller's thread only, and the pool's
// threads load.
TEST_P(ThumbnailLoaders, EveryEntryLoadsOnceAndOnlyTheCallerPrepares) {
    constexpr int32_t kEntries = 300;
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<std::atomic<int>> loads(kEntries);
    std::atomic<bool> refillElsewhere{false}, slotZeroElsewhere{false};
    int32_t next = 0;
    ThumbnailFeed feed;
    RunThumbnailLoaders(
        feed, 0,
        [&](ThumbnailFeed& f) {
            if (std::this_thread::get_id() != caller) refillElsewhere = true;
            while (f.Queued() < 4 && next < kEntries)
                f.Push({next++, u"x"});
            if (next == kEntries) f.Close();
        },
        [&](unsigned slot, const ThumbnailJob& job) {
            if ((slot == 0) != (std::this_thread::get_id() == caller)) slotZeroElsewhere = true;
            ++loads[job.index];
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        });
    for (int32_t i = 0; i < kEntries; ++i)
        ASSERT_EQ(loads[i], 1) << "entry " << i;
    EXPECT_FALSE(refillElsewhere);
    EXPECT_FALSE(slotZeroElsewhere);
}

// A drop ends the run: the jobs not started come back, none is loaded
// twice or lost.
TEST_P(ThumbnailLoaders, DropEndsTheRunAndReturnsTheJobsNotStarted) {
    constexpr int32_t kEntries = 1000;
    std::vector<std::atomic<int>> seen(kEntries);
    std::atomic<int> loaded{0};
    std::vector<int32_t> dropped;
    bool filled = false;
    ThumbnailFeed feed;
    RunThumbnailLoaders(
        feed, 0,
        [&](ThumbnailFeed& f) {
            if (!filled) {
                for (int32_t i = 0; i < kEntries; ++i)
                    f.Push({i, u"x"});
                filled = true;
            } else if (loaded >= 5) {
                dropped = f.Drop();
            }
        },
        [&](unsigned, const ThumbnailJob& job) {
            ++seen[job.index];
            ++loaded;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    EXPECT_GT(dropped.size(), 0u);
    for (const int32_t i : dropped)
        ++seen[i];
    for (int32_t i = 0; i < kEntries; ++i)
        ASSERT_EQ(seen[i], 1) << "entry " << i;
}

// One thread (the caller alone) and every processor.
INSTANTIATE_TEST_SUITE_P(Threads, ThumbnailLoaders, ::testing::Values(1u, 0u));

TEST(ThumbnailPaths, PlainNamesJoinTheFoldersPathAndWinesOwnAreLeftToWine) {
    EXPECT_EQ(JoinLibraryPath(u"/tmp/a b/", u"photo 1.jpg"), u"/tmp/a b/photo 1.jpg");
    EXPECT_EQ(JoinLibraryPath(u"/tmp/", u"\u00e9t\u00e9 \u6f22.png"), u"/tmp/\u00e9t\u00e9 \u6f22.png");
    EXPECT_EQ(JoinLibraryPath(u"/tmp/", u"a\uf03ab.png"), u"");  // the private-use block
    EXPECT_EQ(JoinLibraryPath(u"/tmp/", u"ABCDEF~1.PNG"), u"");
    EXPECT_EQ(JoinLibraryPath(u"", u"a.png"), u"");  // Wine could not map the folder
    EXPECT_EQ(JoinLibraryPath(u"/tmp", u"a.png"), u"");
}

} // namespace
