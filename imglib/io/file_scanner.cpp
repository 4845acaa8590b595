// Reads a file by offset with pread, beside a codec library's stream.
#include "imglib/io/file_scanner.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kBufferBytes = 64 * 1024;
// After a jump the next bytes are usually a few header fields (a chunk
// list walked by lengths): a small read, not a full buffer, serves them.
constexpr size_t kAfterJumpBytes = 512;
} // namespace

ILFileScanner::ILFileScanner(FILE* file, uint64_t offset)
    : fd_(file ? fileno(file) : -1), start_(offset), end_(0), buffer_(kBufferBytes) {
    struct stat status {};
    if (fd_ >= 0 && fstat(fd_, &status) == 0 && status.st_size > 0)
        end_ = static_cast<uint64_t>(status.st_size);
}

bool ILFileScanner::Fill() {
    start_ += length_;
    at_ = length_ = 0;
    if (fd_ < 0 || start_ >= end_) return false;
    const size_t want = jumped_ ? kAfterJumpBytes : buffer_.size();
    jumped_ = false;
    const ssize_t got = pread(fd_, buffer_.data(), want, static_cast<off_t>(start_));
    if (got <= 0) return false;
    length_ = static_cast<size_t>(got);
    return true;
}

bool ILFileScanner::Skip(uint64_t n) {
    if (n <= length_ - at_) {
        at_ += static_cast<size_t>(n);
        return true;
    }
    const uint64_t target = Position() + n;
    if (target < n || target > end_) return false;
    start_ = target;
    at_ = length_ = 0;
    jumped_ = true;
    return true;
}

bool ILFileScanner::GetBe16(uint32_t* value) {
    const int a = Get(), b = Get();
    if (a < 0 || b < 0) return false;
    *value = static_cast<uint32_t>(a << 8 | b);
    return true;
}

bool ILFileScanner::GetBe32(uint32_t* value) {
    uint32_t high = 0, low = 0;
    if (!GetBe16(&high) || !GetBe16(&low)) return false;
    *value = high << 16 | low;
    return true;
}
