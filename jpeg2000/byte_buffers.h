// The code-stream's byte buffers: the output buffer that stages what the
// writer produces for the sink, the input buffer that hands out the source's
// bytes one at a time with room to put a few back (and, while packet data are
// read, spots markers inside them), the packed-header source over bytes kept
// from PPM/PPT segments, the block pool those bytes live in, and the readers
// and writers of packet-header bits with the bit stuffing after 0xFF.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "jpeg2000/sources.h"

namespace j2k {

class codestream_output_buffer {
public:
    explicit codestream_output_buffer(codestream_sink* sink) : sink_(sink) {}
    virtual ~codestream_output_buffer();
    int put_byte(uint8_t b) {
        if (pos_ == sizeof(area_)) flush();
        area_[pos_++] = b;
        return 1;
    }
    int put_word(uint32_t v) {
        put_byte(static_cast<uint8_t>(v >> 8));
        return 1 + put_byte(static_cast<uint8_t>(v));
    }
    int put_dword(uint32_t v) {
        put_word(v >> 16);
        return 2 + put_word(v & 0xFFFF);
    }
    void put_block(const uint8_t* bytes, int count);
    // Hands the staged bytes to the sink; the count handed.
    virtual int flush();
    // Every byte flushed so far.
    int64_t total() const { return total_; }
    // Set when the sink refused bytes.
    bool failed() const { return failed_; }

private:
    uint8_t area_[512];
    int pos_ = 0;
    codestream_sink* sink_;
    int64_t total_ = 0;
    bool failed_ = false;
};

// Hands out 40-byte blocks (a link and 32 bytes) carved from chunks of 200;
// shared by the code-block and packed-header storage of one code-stream.
class chunk_pool {
public:
    struct block {
        block* next;
        uint8_t bytes[32];
    };
    chunk_pool() = default;
    chunk_pool(const chunk_pool&) = delete;
    chunk_pool& operator=(const chunk_pool&) = delete;
    block* get();
    void release(block* b); // b and its chain
    int64_t in_use() const { return in_use_; }
    int64_t peak() const { return peak_; }

private:
    std::vector<std::unique_ptr<block[]>> chunks_;
    block* free_ = nullptr;
    int64_t in_use_ = 0, peak_ = 0;
};

// Reads bytes with room to put 6 back in front of the read position. The base
// class serves the code-stream source; packed_header_input serves kept packet
// headers.
class codestream_input_buffer {
public:
    // detection modes while packet data are read
    enum { resilient = 0, strict = 1 };

    explicit codestream_input_buffer(codestream_source* source) : source_(source) {}
    virtual ~codestream_input_buffer() = default;

    // False at the end of the data. With detection on, a marker inside packet
    // data is put back and thrown as its 16-bit code (an int).
    bool get_byte(uint8_t& b) {
        if (pos_ == end_ && !refill()) return false;
        b = area_[pos_++];
        if (detect_) {
            if (last_ff_ && b > 0x8F) check_marker(b);
            last_ff_ = b == 0xFF;
        }
        return true;
    }
    // Puts a byte back in front of the read position (at most 6 after a refill).
    void put_back(uint8_t b);
    // Reads or skips up to n bytes; the count done.
    int read(uint8_t* bytes, int n);
    int64_t skip(int64_t n);
    bool exhausted() const { return exhausted_ && pos_ == end_; }
    void set_detection(bool on, int mode);
    int64_t consumed() const { return consumed_base_ + pos_; }
    codestream_source* source() const { return source_; }

protected:
    // Adds bytes behind the put-back room; false when none came.
    virtual bool refill();
    // For refills: the area the next bytes go to and its size.
    uint8_t* fill_area() { return area_ + putback_room; }
    void filled(int n);
    void set_exhausted() { exhausted_ = true; }
    void clear_exhausted() { exhausted_ = false; }

    static constexpr int putback_room = 6;
    static constexpr int fill_size = 506;

private:
    void check_marker(uint8_t code_byte);

    uint8_t area_[512];
    int pos_ = 0, end_ = 0;
    bool exhausted_ = false, detect_ = false, last_ff_ = false;
    int mode_ = resilient;
    int64_t consumed_base_ = 0;
    codestream_source* source_;
    int64_t limit_ = 0x7FFFFFFF;
};

// Packet headers kept from PPM or PPT segments, in pool blocks.
class packed_header_input : public codestream_input_buffer {
public:
    explicit packed_header_input(chunk_pool* pool)
        : codestream_input_buffer(nullptr), pool_(pool) {}
    ~packed_header_input() override;
    void append(const uint8_t* bytes, int n);

protected:
    bool refill() override;

private:
    static constexpr int block_data = 28;
    chunk_pool* pool_;
    chunk_pool::block* head_ = nullptr;
    chunk_pool::block* tail_ = nullptr;
    int tail_fill_ = 0; // bytes used in the tail block
    chunk_pool::block* cursor_ = nullptr;
    int cursor_pos_ = 0;
};

class header_bit_reader {
public:
    explicit header_bit_reader(codestream_input_buffer* source) : source_(source) {}
    // Throws this reader (a header_bit_reader*) when the source runs dry.
    int get_bit();
    uint32_t get_bits(int n);

private:
    codestream_input_buffer* source_;
    uint8_t byte_ = 0;
    int bits_left_ = 0;
};

class header_bit_writer {
public:
    // With no output the writer only counts.
    explicit header_bit_writer(codestream_output_buffer* out) : out_(out) {}
    void put_bit(int bit);
    void put_bits(uint32_t value, int n);
    // Writes the last byte (and the 0 that must follow a final 0xFF); the
    // number of bytes the header took.
    int finish();
    int bytes() const { return bytes_; }

private:
    void emit(uint8_t b);
    // Starts with the byte 1 and 7 bits left: the non-empty packet bit first.
    uint32_t byte_ = 1;
    int bits_left_ = 7;
    codestream_output_buffer* out_;
    int bytes_ = 0;
};

} // namespace j2k
