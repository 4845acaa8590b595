// JP2 boxes (ISO/IEC 15444-1 I.4): LBox (32-bit length including the header;
// 0: to the end of the container; 1: an XLBox follows), TBox (type), XLBox
// (64-bit length). Every length is checked against the container and the
// file before anything trusts it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

namespace j2k {

constexpr uint32_t box_type(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 |
           uint32_t(uint8_t(s[2])) << 8 | uint8_t(s[3]);
}

// The bytes a top-level box reader reads: a FILE or memory.
class byte_input {
public:
    virtual ~byte_input() = default;
    virtual int64_t read(uint8_t* bytes, int64_t n) = 0;
    virtual int64_t skip(int64_t n) = 0;
    // Bytes from the position to the end of the data.
    virtual int64_t remaining() const = 0;
    virtual int64_t position() const = 0;
    // Up to n bytes from an absolute position, the read position kept.
    virtual int64_t read_at(int64_t position, uint8_t* bytes, int64_t n) = 0;
};

class file_input : public byte_input {
public:
    explicit file_input(FILE* f);
    int64_t read(uint8_t* bytes, int64_t n) override;
    int64_t skip(int64_t n) override;
    int64_t remaining() const override { return size_ - pos_; }
    int64_t position() const override { return pos_; }
    int64_t read_at(int64_t position, uint8_t* bytes, int64_t n) override;

private:
    FILE* f_;
    int64_t size_ = 0, pos_ = 0;
};

class memory_input : public byte_input {
public:
    explicit memory_input(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    int64_t read(uint8_t* bytes, int64_t n) override;
    int64_t skip(int64_t n) override;
    int64_t remaining() const override { return static_cast<int64_t>(bytes_.size() - pos_); }
    int64_t position() const override { return static_cast<int64_t>(pos_); }
    int64_t read_at(int64_t position, uint8_t* bytes, int64_t n) override;

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

class box_reader {
public:
    box_reader() = default;
    // Opens the next box of the input (top level) or of the parent box.
    bool open_next(byte_input* input);
    bool open_next(box_reader* parent);
    uint32_t type() const { return type_; }
    bool is_open() const { return type_ != 0; }
    // Bytes left in the box; the container's end for a box of unknown length.
    int64_t bytes_left() const;
    bool length_known() const { return left_ >= 0; }
    int64_t read(uint8_t* bytes, int64_t n);
    bool read_u8(uint32_t& v);
    bool read_u16(uint32_t& v);
    bool read_u32(uint32_t& v);
    int64_t skip(int64_t n);
    // Skips what is left; true when nothing was.
    bool close();

private:
    bool open(byte_input* input, box_reader* parent);
    uint32_t type_ = 0;
    int64_t left_ = -1; // -1: to the end of the container
    byte_input* input_ = nullptr;
    box_reader* parent_ = nullptr;
};

// An output box: buffered (written with its length when closed), or
// write-through (LBox 0 at once, then the contents straight on).
class box_writer {
public:
    void open(uint32_t type, box_writer* parent, FILE* file, bool write_through = false);
    bool write(const uint8_t* bytes, size_t n);
    bool write_u8(uint32_t v);
    bool write_u16(uint32_t v);
    bool write_u32(uint32_t v);
    bool close();
    bool failed() const { return failed_; }

private:
    bool put(const uint8_t* bytes, size_t n); // to the parent or the file
    bool write_header(uint64_t length);
    uint32_t type_ = 0;
    bool write_through_ = false;
    FILE* file_ = nullptr;
    box_writer* parent_ = nullptr;
    std::vector<uint8_t> buffer_;
    bool failed_ = false;
};

} // namespace j2k
