#include "jpeg2000/byte_buffers.h"

#include <algorithm>
#include <cstring>

namespace j2k {

codestream_output_buffer::~codestream_output_buffer() {
    flush();
}

void codestream_output_buffer::put_block(const uint8_t* bytes, int count) {
    while (count > 0) {
        if (pos_ == sizeof(area_)) flush();
        int n = std::min(count, static_cast<int>(sizeof(area_)) - pos_);
        std::memcpy(area_ + pos_, bytes, static_cast<size_t>(n));
        pos_ += n;
        bytes += n;
        count -= n;
    }
}

int codestream_output_buffer::flush() {
    int n = pos_;
    if (n > 0) {
        if (!sink_ || !sink_->write(area_, n)) failed_ = true;
        total_ += n;
    }
    pos_ = 0;
    return n;
}

chunk_pool::block* chunk_pool::get() {
    if (!free_) {
        constexpr int per_chunk = 200;
        chunks_.push_back(std::make_unique<block[]>(per_chunk));
        block* c = chunks_.back().get();
        for (int i = 0; i < per_chunk; ++i) {
            c[i].next = free_;
            free_ = &c[i];
        }
    }
    block* b = free_;
    free_ = b->next;
    b->next = nullptr;
    peak_ = std::max(peak_, ++in_use_);
    return b;
}

void chunk_pool::release(block* b) {
    while (b) {
        block* next = b->next;
        b->next = free_;
        free_ = b;
        --in_use_;
        b = next;
    }
}

void codestream_input_buffer::filled(int n) {
    consumed_base_ += pos_ - putback_room;
    pos_ = putback_room;
    end_ = putback_room + n;
}

bool codestream_input_buffer::refill() {
    if (exhausted_ || !source_) {
        exhausted_ = true;
        return false;
    }
    int want = static_cast<int>(std::min<int64_t>(fill_size, limit_));
    int n = want > 0 ? source_->read(fill_area(), want) : 0;
    limit_ -= n;
    if (n <= 0 || limit_ <= 0) exhausted_ = true;
    if (n <= 0) return false;
    filled(n);
    return true;
}

void codestream_input_buffer::put_back(uint8_t b) {
    // The room in front of a freshly refilled area holds at least 6 bytes.
    if (pos_ == 0) return;
    area_[--pos_] = b;
}

int codestream_input_buffer::read(uint8_t* bytes, int n) {
    int done = 0;
    while (done < n) {
        if (detect_) {
            if (!get_byte(bytes[done])) break;
            ++done;
            continue;
        }
        if (pos_ == end_ && !refill()) break;
        int k = std::min(n - done, end_ - pos_);
        std::memcpy(bytes + done, area_ + pos_, static_cast<size_t>(k));
        pos_ += k;
        done += k;
    }
    return done;
}

int64_t codestream_input_buffer::skip(int64_t n) {
    int64_t done = 0;
    uint8_t b;
    while (done < n) {
        if (detect_) {
            if (!get_byte(b)) break;
            ++done;
            continue;
        }
        if (pos_ == end_ && !refill()) break;
        int64_t k = std::min<int64_t>(n - done, end_ - pos_);
        pos_ += static_cast<int>(k);
        done += k;
    }
    return done;
}

void codestream_input_buffer::set_detection(bool on, int mode) {
    detect_ = on;
    mode_ = mode;
    if (on || exhausted()) last_ff_ = false;
}

void codestream_input_buffer::check_marker(uint8_t code_byte) {
    const int code = 0xFF00 | code_byte;
    bool is_marker = mode_ == strict;
    if (!is_marker && (code == 0xFF91 || code == 0xFF90)) {
        // Only SOP with length 4 and SOT with length 10 end packet data.
        uint8_t l[2];
        int got = 0;
        while (got < 2 && (pos_ < end_ || refill()))
            l[got++] = area_[pos_++];
        for (int i = got - 1; i >= 0; --i)
            put_back(l[i]);
        is_marker = got == 2 && ((l[0] << 8) | l[1]) == (code == 0xFF91 ? 4 : 10);
    }
    if (!is_marker) return;
    put_back(code_byte);
    put_back(0xFF);
    last_ff_ = false;
    throw code;
}

packed_header_input::~packed_header_input() {
    pool_->release(head_);
}

void packed_header_input::append(const uint8_t* bytes, int n) {
    if (n > 0) clear_exhausted();
    while (n > 0) {
        if (!tail_ || tail_fill_ == block_data) {
            chunk_pool::block* b = pool_->get();
            if (tail_)
                tail_->next = b;
            else
                head_ = cursor_ = b;
            tail_ = b;
            tail_fill_ = 0;
        }
        int k = std::min(n, block_data - tail_fill_);
        std::memcpy(tail_->bytes + tail_fill_, bytes, static_cast<size_t>(k));
        tail_fill_ += k;
        bytes += k;
        n -= k;
    }
}

bool packed_header_input::refill() {
    int n = 0;
    uint8_t* dst = fill_area();
    while (cursor_ && n < fill_size) {
        int avail = (cursor_ == tail_ ? tail_fill_ : block_data) - cursor_pos_;
        int k = std::min(avail, fill_size - n);
        std::memcpy(dst + n, cursor_->bytes + cursor_pos_, static_cast<size_t>(k));
        n += k;
        cursor_pos_ += k;
        if (cursor_pos_ == block_data && cursor_->next) {
            cursor_ = cursor_->next;
            cursor_pos_ = 0;
        } else if (k == 0) {
            break;
        }
    }
    if (n == 0) {
        set_exhausted();
        return false;
    }
    filled(n);
    return true;
}

int header_bit_reader::get_bit() {
    if (bits_left_ == 0) {
        bool after_ff = byte_ == 0xFF;
        if (!source_->get_byte(byte_)) throw this;
        bits_left_ = after_ff ? 7 : 8;
    }
    return (byte_ >> --bits_left_) & 1;
}

uint32_t header_bit_reader::get_bits(int n) {
    uint32_t v = 0;
    while (n > 0) {
        if (bits_left_ == 0) {
            bool after_ff = byte_ == 0xFF;
            if (!source_->get_byte(byte_)) throw this;
            bits_left_ = after_ff ? 7 : 8;
        }
        int k = std::min(n, bits_left_);
        bits_left_ -= k;
        v = (v << k) | ((byte_ >> bits_left_) & ((1u << k) - 1));
        n -= k;
    }
    return v;
}

void header_bit_writer::emit(uint8_t b) {
    if (out_) out_->put_byte(b);
    ++bytes_;
}

void header_bit_writer::put_bit(int bit) {
    if (bits_left_ == 0) {
        emit(static_cast<uint8_t>(byte_));
        bits_left_ = byte_ == 0xFF ? 7 : 8;
        byte_ = 0;
    }
    byte_ = (byte_ << 1) | (bit & 1);
    --bits_left_;
}

void header_bit_writer::put_bits(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i)
        put_bit(static_cast<int>((value >> i) & 1));
}

int header_bit_writer::finish() {
    byte_ <<= bits_left_;
    emit(static_cast<uint8_t>(byte_));
    if (byte_ == 0xFF) emit(0);
    bits_left_ = 0;
    return bytes_;
}

} // namespace j2k
