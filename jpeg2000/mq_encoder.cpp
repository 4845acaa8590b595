#include "jpeg2000/mq_encoder.h"

#include <cassert>

namespace j2k {

void mq_encoder::start(std::vector<uint8_t>& out) {
    // The leading dummy byte lands on the byte before the segment: the
    // caller keeps at least one byte ahead of every segment.
    assert(!out.empty());
    out_ = &out;
    start_ = out.size();
    pos_ = start_ - 1;
    parked_ = out[pos_];
    a_ = 0x8000;
    c_ = 0;
    ct_ = 12;
    t_ = 0;
}

void mq_encoder::put(uint8_t b) {
    if (pos_ < out_->size())
        (*out_)[pos_] = b;
    else
        out_->push_back(b);
    ++pos_;
}

void mq_encoder::byte_out() {
    if (t_ == 0xFF) {
        put(0xFF);
        t_ = c_ >> 20;
        c_ &= 0xFFFFF;
        ct_ = 7;
        return;
    }
    t_ += c_ >> 27;
    c_ &= 0x7FFFFFF;
    put(static_cast<uint8_t>(t_));
    if (t_ == 0xFF) {
        t_ = c_ >> 20;
        c_ &= 0xFFFFF;
        ct_ = 7;
    } else {
        t_ = c_ >> 19;
        c_ &= 0x7FFFF;
        ct_ = 8;
    }
}

size_t mq_encoder::truncation_point(const snapshot& s) const {
    const std::vector<uint8_t>& out = *out_;
    // Every continuation of the code lies in [L, U) at the snapshot; find the
    // shortest prefix after which the decoder's 1-bit fill stays inside.
    uint32_t l = s.c << s.ct, u = (s.c + s.a) << s.ct;
    int64_t tl = s.t + (l >> 27), tu = s.t + (u >> 27);
    l &= 0x7FFFFFF;
    u &= 0x7FFFFFF;
    size_t pos = s.pos;
    int k = 8;
    while ((tl > 0xFF || tu <= 0xFF) && pos < out.size()) {
        const int64_t b = pos == start_ - 1 ? 0 : out[pos];
        ++pos;
        tl = ((tl - (b << (8 - k))) << k) + (l >> (27 - k));
        tu = ((tu - (b << (8 - k))) << k) + (u >> (27 - k));
        l = (l << k) & 0x7FFFFFF;
        u = (u << k) & 0x7FFFFFF;
        k = b == 0xFF ? 7 : 8;
    }
    size_t n = pos > start_ ? pos - start_ : 0;
    // A trailing 0xFF, or 0xFF 0x7F, reads the same as the decoder's fill.
    if (n && out[start_ + n - 1] == 0xFF) --n;
    while (n >= 2 && out[start_ + n - 2] == 0xFF && out[start_ + n - 1] == 0x7F)
        n -= 2;
    return n;
}

size_t mq_encoder::terminate(bool erterm) {
    size_t n;
    if (erterm) {
        // Annex C FLUSH: the value with the most trailing 1 bits in the
        // interval, then the register out.
        const uint64_t top = c_ + a_;
        c_ |= 0xFFFF;
        if (c_ >= top) c_ -= 0x8000;
        c_ <<= ct_;
        byte_out();
        c_ <<= ct_;
        byte_out();
        if (t_ != 0xFF) put(static_cast<uint8_t>(t_));
        n = pos_ - start_;
        if (n && (*out_)[start_ + n - 1] == 0xFF) --n;
    } else {
        const snapshot s = save();
        c_ <<= ct_;
        for (int64_t left = 12 - ct_; left > 0; left -= ct_) {
            byte_out();
            c_ <<= ct_;
        }
        byte_out();
        put(static_cast<uint8_t>(t_));
        n = truncation_point(s);
    }
    out_->resize(start_ + n);
    (*out_)[start_ - 1] = parked_;
    return n;
}

size_t raw_encoder::truncation_point() const {
    return out_->size() - start_ + (ct_ != 8 ? 1 : 0);
}

size_t raw_encoder::terminate() {
    if (ct_ == 0) {
        out_->push_back(static_cast<uint8_t>(t_));
        ct_ = t_ == 0xFF ? 7 : 8;
        t_ = 0;
    }
    if (ct_ != 8) {
        t_ = (t_ << ct_) | (0x55u >> (8 - ct_));
        out_->push_back(static_cast<uint8_t>(t_));
    }
    ct_ = 8;
    t_ = 0;
    return out_->size() - start_;
}

} // namespace j2k
