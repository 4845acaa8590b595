// Reads a file by offset beside a C library stream that a codec library
// (libjpeg, libpng) reads at the same time: the reads go through the file
// descriptor with pread, which leaves the stream and its position alone.
// Loaders use it to measure a file's parts before they trust its header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

class ILFileScanner {
public:
    ILFileScanner(FILE* file, uint64_t offset);

    // The next byte, or -1 at the end of the file or on a read error.
    int Get() {
        if (at_ == length_ && !Fill()) return -1;
        return buffer_[at_++];
    }
    // Moves n bytes forward; false when that passes the end of the file.
    bool Skip(uint64_t n);
    // Big-endian 16 and 32-bit values; false at the end of the file.
    bool GetBe16(uint32_t* value);
    bool GetBe32(uint32_t* value);
    uint64_t Position() const { return start_ + at_; }

private:
    bool Fill();

    int fd_;
    uint64_t start_; // file offset of buffer_[0]
    size_t length_ = 0;
    size_t at_ = 0;
    uint64_t end_;        // the file's size
    bool jumped_ = false; // the last move skipped past the buffer
    std::vector<uint8_t> buffer_;
};
