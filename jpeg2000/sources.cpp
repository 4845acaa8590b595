#include "jpeg2000/sources.h"

#include <algorithm>
#include <cstring>

namespace j2k {

file_codestream_source::file_codestream_source(FILE* file) : file_(file) {
    const long start = file ? std::ftell(file) : -1;
    start_ = start;
}

// A positioned read on a FILE: seek, read, seek back (the stream's own
// buffer refills on its next read).
int64_t read_file_at(FILE* file, int64_t position, uint8_t* bytes, int64_t n) {
    if (!file || n <= 0 || position < 0) return 0;
    const long back = std::ftell(file);
    if (back < 0 || std::fseek(file, static_cast<long>(position), SEEK_SET) != 0) return 0;
    const int64_t got = static_cast<int64_t>(std::fread(bytes, 1, static_cast<size_t>(n), file));
    std::fseek(file, back, SEEK_SET);
    return got;
}

int64_t file_codestream_source::read_at(int64_t position, uint8_t* bytes, int64_t n) {
    return read_file_at(file_, start_ + position, bytes, n);
}

void file_codestream_source::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

int file_codestream_source::read(uint8_t* bytes, int n) {
    if (!file_ || n <= 0) return 0;
    return static_cast<int>(std::fread(bytes, 1, static_cast<size_t>(n), file_));
}

int memory_codestream_source::read(uint8_t* bytes, int n) {
    size_t count = std::min(static_cast<size_t>(std::max(n, 0)), bytes_.size() - pos_);
    if (count) std::memcpy(bytes, bytes_.data() + pos_, count);
    pos_ += count;
    return static_cast<int>(count);
}

int64_t memory_codestream_source::read_at(int64_t position, uint8_t* bytes, int64_t n) {
    if (position < 0 || n <= 0 || static_cast<uint64_t>(position) >= bytes_.size()) return 0;
    const size_t count =
        std::min(static_cast<size_t>(n), bytes_.size() - static_cast<size_t>(position));
    std::memcpy(bytes, bytes_.data() + position, count);
    return static_cast<int64_t>(count);
}

} // namespace j2k
