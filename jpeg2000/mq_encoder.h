// The MQ arithmetic encoder of ITU-T T.800 Annex C and the raw-bit writer of
// the bypass passes, both appending to a growing byte vector. The encoder
// keeps the byte it will write next pending (T), so a carry never has to
// reach back into the buffer. Besides the segment's terminated length it
// gives, for any earlier point of the coding (a snapshot), the shortest
// prefix of the segment that decodes every decision made before it: rate
// control cuts blocks at those points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "jpeg2000/mq_decoder.h"

namespace j2k {

class mq_encoder {
public:
    // The coder's registers at one point of the coding.
    struct snapshot {
        uint32_t a, c;
        int ct;
        uint32_t t;
        size_t pos; // where T will be written
    };

    // Starts a segment at the end of out; the byte before it (if any) is
    // written over by the leading dummy byte and restored by terminate().
    void start(std::vector<uint8_t>& out);

    void encode(int d, mq_context& cx) {
        const mq_state_entry& e = mq_states[static_cast<uint8_t>(cx)];
        const uint32_t qe = e.qe;
        a_ -= qe;
        if (d != (static_cast<uint8_t>(cx) & 1)) {
            if (a_ < qe)
                c_ += qe;
            else
                a_ = qe;
            cx = static_cast<mq_context>(e.next_lps);
        } else {
            if (a_ & 0x8000) {
                c_ += qe;
                return;
            }
            if (a_ < qe)
                a_ = qe;
            else
                c_ += qe;
            cx = static_cast<mq_context>(e.next_mps);
        }
        do {
            a_ <<= 1;
            c_ <<= 1;
            if (--ct_ == 0) byte_out();
        } while (!(a_ & 0x8000));
    }

    snapshot save() const {
        return {static_cast<uint32_t>(a_), static_cast<uint32_t>(c_), static_cast<int>(ct_), t_,
                pos_};
    }
    // Bytes written so far in the segment (not counting the pending one).
    size_t written() const { return pos_ - start_; }

    // The shortest segment length that decodes every decision coded before
    // s; the bytes written since s must be in the buffer (at least 5 of
    // them, or the segment terminated).
    size_t truncation_point(const snapshot& s) const;

    // Ends the segment. Without erterm it ends at its shortest correct
    // length; with it the whole register is flushed (predictable
    // termination). Returns the segment's length; the buffer ends there.
    size_t terminate(bool erterm);

private:
    void byte_out();
    void put(uint8_t b);

    std::vector<uint8_t>* out_ = nullptr;
    size_t start_ = 0, pos_ = 0;
    // The registers are of types the block coder's 32-bit flag words cannot
    // alias, so they stay in processor registers while it codes.
    uint64_t a_ = 0, c_ = 0;
    int64_t ct_ = 0;
    uint32_t t_ = 0;
    bool parked_valid_ = false;
    uint8_t parked_ = 0;
};

// Raw bits of a bypass segment, with a 0 stuffed after each 0xFF.
class raw_encoder {
public:
    void start(std::vector<uint8_t>& out) {
        out_ = &out;
        start_ = out.size();
        ct_ = 8;
        t_ = 0;
    }
    void bit(int b) {
        if (ct_ == 0) {
            out_->push_back(static_cast<uint8_t>(t_));
            ct_ = t_ == 0xFF ? 7 : 8;
            t_ = 0;
        }
        t_ = (t_ << 1) | static_cast<uint32_t>(b);
        --ct_;
    }
    // Length of the segment if it were cut now (the partial byte counts).
    size_t truncation_point() const;
    // Pads the last byte with 0101... (0x2A after a 0xFF) and returns the
    // segment's length.
    size_t terminate();

private:
    std::vector<uint8_t>* out_ = nullptr;
    size_t start_ = 0;
    uint32_t t_ = 0;
    int ct_ = 8;
};

} // namespace j2k
