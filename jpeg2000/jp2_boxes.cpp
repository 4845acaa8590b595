#include "jpeg2000/jp2_boxes.h"

#include <algorithm>
#include <cstring>

#include "jpeg2000/messages.h"
#include "jpeg2000/sources.h"

namespace j2k {

file_input::file_input(FILE* f) : f_(f) {
    const long start = std::ftell(f);
    if (start >= 0 && std::fseek(f, 0, SEEK_END) == 0) {
        size_ = std::ftell(f);
        std::fseek(f, start, SEEK_SET);
        pos_ = start;
    }
}

int64_t file_input::read(uint8_t* bytes, int64_t n) {
    n = std::min(n, remaining());
    if (n <= 0) return 0;
    const int64_t got = static_cast<int64_t>(std::fread(bytes, 1, static_cast<size_t>(n), f_));
    pos_ += got;
    return got;
}

int64_t file_input::skip(int64_t n) {
    n = std::min(n, remaining());
    if (n <= 0) return 0;
    if (std::fseek(f_, static_cast<long>(n), SEEK_CUR) != 0) return 0;
    pos_ += n;
    return n;
}

int64_t file_input::read_at(int64_t position, uint8_t* bytes, int64_t n) {
    return read_file_at(f_, position, bytes, std::min(n, size_ - position));
}

int64_t memory_input::read_at(int64_t position, uint8_t* bytes, int64_t n) {
    const int64_t size = static_cast<int64_t>(bytes_.size());
    if (position < 0 || position >= size || n <= 0) return 0;
    n = std::min(n, size - position);
    std::memcpy(bytes, bytes_.data() + position, static_cast<size_t>(n));
    return n;
}

int64_t memory_input::read(uint8_t* bytes, int64_t n) {
    n = std::min(n, remaining());
    if (n <= 0) return 0;
    std::memcpy(bytes, bytes_.data() + pos_, static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return n;
}

int64_t memory_input::skip(int64_t n) {
    n = std::min(n, remaining());
    if (n <= 0) return 0;
    pos_ += static_cast<size_t>(n);
    return n;
}

bool box_reader::open_next(byte_input* input) {
    return open(input, nullptr);
}
bool box_reader::open_next(box_reader* parent) {
    return open(nullptr, parent);
}

int64_t box_reader::bytes_left() const {
    if (left_ >= 0) return left_;
    return parent_ ? parent_->bytes_left() : input_->remaining();
}

bool box_reader::open(byte_input* input, box_reader* parent) {
    input_ = input;
    parent_ = parent;
    type_ = 1; // reads go through while the header is read
    left_ = -1;
    uint32_t lbox, tbox;
    if (!read_u32(lbox) || !read_u32(tbox) || tbox == 0) {
        type_ = 0;
        left_ = 0;
        return false;
    }
    int64_t length = lbox;
    int64_t header = 8;
    if (lbox == 1) {
        uint32_t hi, lo;
        if (!read_u32(hi) || !read_u32(lo)) {
            type_ = 0;
            return false;
        }
        length = static_cast<int64_t>(uint64_t{hi} << 32 | lo);
        header = 16;
        if (hi >= 0x80000000u || length < 16) fail("Illegal extended box length");
    } else if (lbox >= 2 && lbox <= 7) {
        fail("Illegal box length field");
    }
    if (lbox != 0) {
        // The box must fit in its container and in the file.
        if (length - header > bytes_left()) fail("Box length exceeds the data that holds it");
        left_ = length - header;
    }
    type_ = tbox;
    return true;
}

int64_t box_reader::read(uint8_t* bytes, int64_t n) {
    if (type_ == 0) fail("Attempting to read from a closed box");
    if (left_ >= 0) n = std::min(n, left_);
    if (n <= 0) return 0;
    const int64_t got = parent_ ? parent_->read(bytes, n) : input_->read(bytes, n);
    if (left_ >= 0) left_ -= got;
    return got;
}

bool box_reader::read_u8(uint32_t& v) {
    uint8_t b;
    if (read(&b, 1) != 1) return false;
    v = b;
    return true;
}

bool box_reader::read_u16(uint32_t& v) {
    uint8_t b[2];
    if (read(b, 2) != 2) return false;
    v = uint32_t(b[0]) << 8 | b[1];
    return true;
}

bool box_reader::read_u32(uint32_t& v) {
    uint8_t b[4];
    if (read(b, 4) != 4) return false;
    v = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    return true;
}

int64_t box_reader::skip(int64_t n) {
    if (left_ >= 0) n = std::min(n, left_);
    if (n <= 0) return 0;
    const int64_t done = parent_ ? parent_->skip(n) : input_->skip(n);
    if (left_ >= 0) left_ -= done;
    return done;
}

bool box_reader::close() {
    if (type_ == 0) return true;
    bool nothing_left;
    if (left_ < 0) {
        // A box to the end of its container ends the container too.
        nothing_left = bytes_left() == 0;
        if (parent_) {
            type_ = 0;
            return parent_->close() && nothing_left;
        }
        type_ = 0;
        return nothing_left;
    }
    nothing_left = left_ == 0;
    skip(left_);
    type_ = 0;
    return nothing_left;
}

void box_writer::open(uint32_t type, box_writer* parent, FILE* file, bool write_through) {
    type_ = type;
    parent_ = parent;
    file_ = file;
    write_through_ = write_through;
    buffer_.clear();
    failed_ = false;
    if (write_through_) write_header(0);
}

bool box_writer::put(const uint8_t* bytes, size_t n) {
    if (failed_) return false;
    bool ok = parent_ ? parent_->write(bytes, n) : std::fwrite(bytes, 1, n, file_) == n;
    if (!ok) failed_ = true;
    return ok;
}

bool box_writer::write_header(uint64_t length) {
    uint8_t h[16];
    size_t n = 8;
    auto be32 = [](uint8_t* p, uint32_t v) {
        p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
    };
    if (length > 0xFFFFFFFFull) {
        be32(h, 1);
        be32(h + 4, type_);
        be32(h + 8, static_cast<uint32_t>((length + 8) >> 32));
        be32(h + 12, static_cast<uint32_t>(length + 8));
        n = 16;
    } else {
        be32(h, static_cast<uint32_t>(length));
        be32(h + 4, type_);
    }
    return put(h, n);
}

bool box_writer::write(const uint8_t* bytes, size_t n) {
    if (failed_) return false;
    if (write_through_) return put(bytes, n);
    buffer_.insert(buffer_.end(), bytes, bytes + n);
    return true;
}

bool box_writer::write_u8(uint32_t v) {
    const uint8_t b = uint8_t(v);
    return write(&b, 1);
}

bool box_writer::write_u16(uint32_t v) {
    const uint8_t b[2] = {uint8_t(v >> 8), uint8_t(v)};
    return write(b, 2);
}

bool box_writer::write_u32(uint32_t v) {
    const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    return write(b, 4);
}

bool box_writer::close() {
    if (type_ == 0) return !failed_;
    if (!write_through_) {
        write_header(buffer_.size() + 8);
        if (!buffer_.empty()) put(buffer_.data(), buffer_.size());
    }
    buffer_.clear();
    buffer_.shrink_to_fit();
    type_ = 0;
    return !failed_;
}

} // namespace j2k
