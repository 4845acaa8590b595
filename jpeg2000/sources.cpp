#include "jpeg2000/sources.h"

#include <algorithm>
#include <cstring>

namespace j2k {

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

} // namespace j2k
