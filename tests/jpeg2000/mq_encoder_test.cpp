#include "jpeg2000/mq_encoder.h"

#include <gtest/gtest.h>

#include <random>

#include "jpeg2000/mq_decoder.h"

namespace j2k {
namespace {

struct coded {
    std::vector<uint8_t> bytes; // guard byte, then the segment
    std::vector<int> decisions, context_of;
    std::vector<size_t> cuts; // shortest length covering decisions [0, i) per checkpoint
    std::vector<size_t> checkpoints;
};

// Skewed decisions over a few contexts, with truncation points every 37
// decisions.
coded encode_random(int count, bool erterm, unsigned seed) {
    std::mt19937 rng(seed);
    coded r;
    r.bytes.push_back(0x5A);
    mq_encoder enc;
    enc.start(r.bytes);
    mq_context cx[4] = {mq_reset_context(0), mq_reset_context(3), mq_reset_context(4),
                        mq_reset_context(46)};
    const double p_one[4] = {0.02, 0.5, 0.9, 0.3};
    std::vector<mq_encoder::snapshot> snaps;
    for (int i = 0; i < count; ++i) {
        if (i % 37 == 0) {
            snaps.push_back(enc.save());
            r.checkpoints.push_back(i);
        }
        const int k = static_cast<int>(rng() % 4);
        const int d = std::uniform_real_distribution<>(0, 1)(rng) < p_one[k];
        r.decisions.push_back(d);
        r.context_of.push_back(k);
        enc.encode(d, cx[k]);
    }
    const size_t total = enc.terminate(erterm);
    EXPECT_EQ(r.bytes.size(), total + 1);
    EXPECT_EQ(r.bytes[0], 0x5A) << "the byte before the segment is restored";
    for (const auto& s : snaps)
        r.cuts.push_back(std::min(enc.truncation_point(s), total));
    return r;
}

// Decodes the first `count` decisions from the first `length` bytes.
std::vector<int> decode_prefix(const coded& c, size_t length, size_t count) {
    std::vector<uint8_t> seg(c.bytes.begin() + 1, c.bytes.begin() + 1 + length);
    seg.push_back(0xFF);
    seg.push_back(0xFF);
    mq_decoder dec;
    dec.start(seg.data());
    mq_context cx[4] = {mq_reset_context(0), mq_reset_context(3), mq_reset_context(4),
                        mq_reset_context(46)};
    std::vector<int> out;
    for (size_t i = 0; i < count; ++i)
        out.push_back(dec.decode(cx[c.context_of[i]]));
    return out;
}

TEST(MqEncoder, RoundTripsAndEveryTruncationPointDecodes) {
    for (bool erterm : {false, true}) {
        for (int count : {0, 1, 9, 300, 20000}) {
            for (unsigned seed : {1u, 2u, 3u}) {
                SCOPED_TRACE(testing::Message()
                             << "erterm " << erterm << " count " << count << " seed " << seed);
                const coded c = encode_random(count, erterm, seed);
                const size_t length = c.bytes.size() - 1;
                EXPECT_EQ(decode_prefix(c, length, count), c.decisions);
                if (length) {
                    EXPECT_NE(c.bytes.back(), 0xFF) << "a trailing 0xFF is dropped";
                }
                for (size_t i = 0; i < c.cuts.size(); ++i) {
                    const size_t n = c.checkpoints[i];
                    const std::vector<int> want(c.decisions.begin(), c.decisions.begin() + n);
                    ASSERT_EQ(decode_prefix(c, c.cuts[i], n), want) << "checkpoint " << n;
                    if (i) {
                        EXPECT_LE(c.cuts[i - 1], c.cuts[i]);
                    }
                }
            }
        }
    }
}

TEST(MqEncoder, ShortestTerminationIsNoLongerThanTheFlush) {
    const coded shortest = encode_random(5000, false, 7), flushed = encode_random(5000, true, 7);
    EXPECT_LE(shortest.bytes.size(), flushed.bytes.size());
    EXPECT_TRUE(std::equal(shortest.bytes.begin(), shortest.bytes.end() - 1, flushed.bytes.begin()))
        << "the two terminations differ only in their tail";
}

TEST(RawEncoder, StuffsAfter0xFFAndPadsWithAlternatingBits) {
    struct row {
        std::vector<int> bits;
        std::vector<uint8_t> want;
    };
    const row rows[] = {
        {{}, {}},
        {{1, 0, 1}, {0xAA}},                         // 101 then 01010
        {{1, 1, 1, 1, 1, 1, 1, 1}, {0xFF, 0x2A}},    // a full 0xFF gets 0x2A
        {{1, 1, 1, 1, 1, 1, 1, 1, 1}, {0xFF, 0x55}}, // 7 stuffed bits: 1 then 010101
        {{0, 0, 0, 0, 0, 0, 0, 1, 1}, {0x01, 0xAA}},
    };
    for (const row& r : rows) {
        std::vector<uint8_t> out;
        raw_encoder enc;
        enc.start(out);
        for (int b : r.bits)
            enc.bit(b);
        EXPECT_EQ(enc.terminate(), r.want.size());
        EXPECT_EQ(out, r.want);
        out.push_back(0xFF);
        out.push_back(0xFF);
        raw_decoder dec;
        dec.start(out.data());
        for (int b : r.bits)
            EXPECT_EQ(dec.bit(), b);
    }
}

} // namespace
} // namespace j2k
