// The block pool: blocks coded on workers come out as the caller's own
// coding makes them, and a cancelled pool leaves no work behind.
#include "jpeg2000/block_pool.h"

#include <gtest/gtest.h>

#include <random>

namespace j2k {
namespace {

// Blocks of varied sizes, modes and magnitudes.
struct block_set {
    std::vector<block_source> sources;
    std::vector<std::vector<uint32_t>> samples;
    explicit block_set(int count) {
        std::mt19937 rng(3);
        for (int i = 0; i < count; ++i) {
            block_source b;
            b.width = 1 + static_cast<int>(rng() % 64);
            b.height = 1 + static_cast<int>(rng() % 64);
            b.orientation = i % 4;
            b.modes = i % 7 == 0 ? 63 : 0;
            b.planes = 4 + i % 12;
            b.reversible = i % 2;
            b.weight = 1e6;
            std::vector<uint32_t> s(static_cast<size_t>(b.width * b.height));
            for (uint32_t& v : s) {
                const uint32_t m = rng() & ((1u << (rng() % (b.planes + 1))) - 1);
                v = (m << (31 - b.planes)) | (m && (rng() & 1) ? 0x80000000u : 0u);
            }
            sources.push_back(b);
            samples.push_back(std::move(s));
        }
    }
    std::vector<encoded_block> code(block_pool& pool) {
        std::vector<encoded_block> out(sources.size());
        for (size_t i = 0; i < sources.size(); ++i) {
            std::vector<uint32_t> buffer = pool.buffer();
            buffer = samples[i];
            pool.submit(sources[i], std::move(buffer), &out[i]);
        }
        pool.finish();
        return out;
    }
};

void expect_same(const std::vector<encoded_block>& got, const std::vector<encoded_block>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].data, want[i].data) << i;
        EXPECT_EQ(got[i].ends, want[i].ends) << i;
        EXPECT_EQ(got[i].slopes, want[i].slopes) << i;
        EXPECT_EQ(got[i].missing_msbs, want[i].missing_msbs) << i;
    }
}

TEST(BlockPool, WorkersCodeAsTheCallerDoes) {
    block_set blocks(300);
    block_pool alone(0, nullptr), four(4, nullptr);
    const std::vector<encoded_block> want = blocks.code(alone);
    for (int round = 0; round < 2; ++round) // the second reuses the buffers
        expect_same(blocks.code(four), want);
}

// Workers are helpers of the process's work pool, which may have none to
// give (here: the coding runs on a thread of the pool itself): the caller
// then codes the queued blocks alone, to the same result.
TEST(BlockPool, TheCallerFinishesAloneWhenNoHelperComes) {
    block_set blocks(300);
    block_pool alone(0, nullptr);
    const std::vector<encoded_block> want = blocks.code(alone);
    std::vector<encoded_block> got;
    workpool::Run(2, 1, [&](unsigned, uint32_t first, uint32_t) {
        if (first != 0) return;
        block_pool four(4, nullptr);
        got = blocks.code(four);
    });
    expect_same(got, want);
}

TEST(BlockPool, CancelDropsQueuedBlocksAndTheNextRunWorks) {
    block_set blocks(200);
    block_pool pool(2, nullptr);
    {
        std::vector<encoded_block> out(blocks.sources.size());
        for (size_t i = 0; i < blocks.sources.size(); ++i)
            pool.submit(blocks.sources[i], blocks.samples[i], &out[i]);
        pool.cancel(); // out may go now: nothing writes to it any more
    }
    block_pool alone(0, nullptr);
    const std::vector<encoded_block> want = blocks.code(alone), got = blocks.code(pool);
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(got[i].data, want[i].data) << i;
}

} // namespace
} // namespace j2k
