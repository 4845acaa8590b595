#include "jpeg2000/sample_lines.h"

#include <cstdlib>

#include "jpeg2000/messages.h"

namespace j2k {

namespace {

// Line starts on 64-byte boundaries: whole vectors for the lifting loops.
int64_t line_words(int64_t width) {
    return (width + 2 * sample_pool::margin + 15) & ~int64_t{15};
}

// The most a tile's lines may take together (in 32-bit words): far above any
// real tile's working set, which grows with its width only.
constexpr int64_t max_words = int64_t{1} << 29;

} // namespace

void sample_pool::pre_create(sample_line& line, int64_t width, bool absolute) {
    if (width < 0 || width > max_words) fail("The tile is too wide for the decoder's line buffers");
    line.width = static_cast<int32_t>(width);
    line.absolute = absolute;
    line.storage = nullptr;
    requested_ += line_words(width);
    if (requested_ > max_words) fail("The tile is too wide for the decoder's line buffers");
    pending_.push_back(&line);
}

void sample_pool::carve() {
    if (pending_.empty()) return;
    // 15 words of slack to align the first line. Zeroed by calloc: a large
    // block comes as fresh pages, touched first by whichever thread fills
    // them, rather than all cleared here.
    block_ptr block(static_cast<uint32_t*>(std::calloc(static_cast<size_t>(requested_ + 15), 4)));
    if (!block) fail("Out of memory for the decoder's line buffers");
    uint32_t* at = block.get();
    while (reinterpret_cast<uintptr_t>(at) & 63)
        ++at;
    for (sample_line* line : pending_) {
        line->storage = at + margin;
        at += line_words(line->width);
    }
    blocks_.push_back(std::move(block));
    pending_.clear();
    requested_ = 0;
}

} // namespace j2k
