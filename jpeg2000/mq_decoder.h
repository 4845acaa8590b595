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

class mq_decoder {
public:
    // bytes must be followed by two 0xFF bytes.
    void start(const uint8_t* bytes) {
        p_ = bytes;
        c_ = static_cast<uint32_t>(*p_) << 16;
        byte_in();
        c_ <<= 7;
        ct_ -= 7;
        a_ = 0x8000;
    }

    int decode(mq_context& cx) {
        const mq_state_entry& e = mq_states[static_cast<uint8_t>(cx)];
        const uint32_t qe = e.qe;
        int d = static_cast<uint8_t>(cx) & 1;
        a_ -= qe;
        if ((c_ >> 16) < qe) {
            if (a_ < qe) {
                cx = static_cast<mq_context>(e.next_mps);
            } else {
                d ^= 1;
                cx = static_cast<mq_context>(e.next_lps);
            }
            a_ = qe;
        } else {
            c_ -= qe << 16;
            if (a_ & 0x8000) return d;
            if (a_ < qe) {
                d ^= 1;
                cx = static_cast<mq_context>(e.next_lps);
            } else {
                cx = static_cast<mq_context>(e.next_mps);
            }
        }
        // Renormalise: as many doublings at once as the bits in hand allow.
        for (int shift = __builtin_clz(a_) - 16;;) {
            if (ct_ == 0) byte_in();
            const int k = shift < ct_ ? shift : ct_;
            a_ <<= k;
            c_ <<= k;
            ct_ -= k;
            shift -= k;
            if (!shift) break;
        }
        return d;
    }

private:
    void byte_in() {
        if (*p_ == 0xFF) {
            if (p_[1] > 0x8F) {
                c_ += 0xFF00;
                ct_ = 8;
            } else {
                ++p_;
                c_ += static_cast<uint32_t>(*p_) << 9;
                ct_ = 7;
            }
        } else {
            ++p_;
            c_ += static_cast<uint32_t>(*p_) << 8;
            ct_ = 8;
        }
    }

    const uint8_t* p_ = nullptr;
    uint32_t a_ = 0, c_ = 0;
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
