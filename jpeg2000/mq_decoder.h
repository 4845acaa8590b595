// The MQ arithmetic decoder of ITU-T T.800 Annex C and the raw-bit reader of
// the bypass passes. Both read a segment followed by the bytes 0xFF 0xFF,
// which the caller appends: a read past the end then meets a marker and
// yields 1 bits without any bound test in the inner loops.
#pragma once

#include <array>
#include <cstdint>

namespace j2k {

// One entry per (state, MPS): entry 2 s + m.
struct mq_state_entry {
    uint32_t qe;
    uint8_t next_mps, next_lps; // successor entries (the LPS one has the switch applied)
};
extern const std::array<mq_state_entry, 94> mq_states;

// A context is the index of its entry: state 2 s + MPS. An enumeration, not
// a character type, so that storing one does not make the compiler assume
// every other object may have changed.
enum class mq_context : uint8_t {};
inline mq_context mq_reset_context(int state) {
    return static_cast<mq_context>(2 * state);
}

// The code register is 64 bits wide: the 16 bits compared with the interval
// at the top, and below them up to 40 bits read ahead. Reading ahead adds
// the same bytes at the same places as reading a byte at a time (the
// comparisons see a longer prefix of the same value, which cannot change
// them), so the renormalisation is one shift and bytes come in a few at a
// time.
class mq_decoder {
public:
    // bytes must be followed by two 0xFF bytes.
    void start(const uint8_t* bytes) {
        p_ = bytes;
        c_ = static_cast<uint64_t>(*p_) << 48;
        ct_ = 0;
        fill();
        a_ = 0x8000;
        // The first byte and 7 bits of the next in the comparison window.
        c_ <<= 7;
        ct_ -= 7;
    }

    // The interval choice, the conditional exchange and the renormalisation
    // are data the branch predictor cannot learn (near-even contexts
    // dominate lossless data): all are selected by masks, which the
    // compiler keeps free of branches, and only the refill every few bytes
    // is a test.
    int decode(mq_context& cx) {
        const uint32_t state = static_cast<uint8_t>(cx);
        const mq_state_entry& e = mq_states[state];
        const uint32_t qe = e.qe;
        a_ -= qe;
        // All ones when the code lies in the lower (LPS) subinterval, when
        // the MPS subinterval is the smaller (the conditional exchange)
        // and when the interval needs renormalising.
        const uint32_t lower = 0u - static_cast<uint32_t>((c_ >> 48) < qe);
        const uint32_t smaller = 0u - static_cast<uint32_t>(a_ < qe);
        const uint32_t take_lps = lower ^ smaller;
        const uint32_t renormalise = lower | ((a_ >> 15) - 1);
        const uint32_t next = (e.next_lps & take_lps) | (e.next_mps & ~take_lps);
        cx = static_cast<mq_context>((next & renormalise) | (state & ~renormalise));
        c_ -= static_cast<uint64_t>(qe & ~lower) << 48;
        a_ = (qe & lower) | (a_ & ~lower);
        // No shift when the interval stays at least half.
        const int shift = __builtin_clz(a_) - 16;
        a_ <<= shift;
        c_ <<= shift;
        ct_ -= shift;
        if (ct_ < 16) fill();
        return static_cast<int>((state ^ take_lps) & 1);
    }

private:
    // Bytes after the ct_ bits in hand, while there is room below them: a
    // byte after 0xFF brings 7 bits (its top bit lands on the 0xFF's
    // lowest), and a marker (0xFF above 0x8F) brings 0xFF for ever.
    void fill() {
        while (ct_ <= 32) {
            if (*p_ == 0xFF) {
                if (p_[1] > 0x8F) {
                    c_ += uint64_t{0xFF} << (40 - ct_);
                    ct_ += 8;
                } else {
                    ++p_;
                    c_ += static_cast<uint64_t>(*p_) << (41 - ct_);
                    ct_ += 7;
                }
            } else {
                ++p_;
                c_ += static_cast<uint64_t>(*p_) << (40 - ct_);
                ct_ += 8;
            }
        }
    }

    const uint8_t* p_ = nullptr;
    uint64_t c_ = 0;
    uint32_t a_ = 0;
    int ct_ = 0;
};

// Raw bits of a bypass segment, most significant first, with the bit stuffed
// after each 0xFF skipped.
class raw_decoder {
public:
    void start(const uint8_t* bytes) {
        p_ = bytes;
        ct_ = 0;
        t_ = 0;
    }
    int bit() {
        if (ct_ == 0) {
            if (t_ == 0xFF) {
                if (*p_ == 0xFF) {
                    t_ = 0xFF;
                    ct_ = 8;
                } else {
                    t_ = *p_++;
                    ct_ = 7;
                }
            } else {
                t_ = *p_++;
                ct_ = 8;
            }
        }
        --ct_;
        return (t_ >> ct_) & 1;
    }

private:
    const uint8_t* p_ = nullptr;
    uint32_t t_ = 0;
    int ct_ = 0;
};

} // namespace j2k
