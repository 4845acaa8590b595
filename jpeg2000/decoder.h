// Decoding a code-stream row by row: each tile's packets are read when its
// first row is wanted, then its components' rows are pulled through the line
// stages (code-blocks decoded a row of code-blocks at a time, the inverse
// wavelet transform, the inverse colour transform and the DC level shift).
// Only the tiles of the rows being pulled are held, with their coded data
// and a working set that grows with the tile width.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "jpeg2000/codestream.h"

namespace j2k {

struct component_image {
    int64_t width = 0, height = 0;
    int precision = 0;
    bool is_signed = false;
    // As coded in the last tile: reversibly, and through the colour transform.
    bool reversible = true, colour_transform = false;
    std::vector<int32_t> samples; // rows one after another
};

class codestream_decoder {
public:
    // Decodes the tiles of an input code-stream at full resolution. Errors
    // throw j2k::failure; data that ends early leaves the missing passes out
    // and clears complete() (with a warning).
    explicit codestream_decoder(codestream_ref cs);
    ~codestream_decoder();
    codestream_decoder(const codestream_decoder&) = delete;
    codestream_decoder& operator=(const codestream_decoder&) = delete;

    // Fills the next row of component c: component_extent(c).size.x samples,
    // DC level shifted and clamped to the component's precision. Each
    // component's rows come top to bottom; rows of the first three
    // components of a tile coded through the colour transform are best
    // pulled together (the others wait in the tile until taken).
    void next_row(int c, int32_t* out);
    // Calls due(c, k) for every component row in canvas order (each
    // component's row k when the canvas reaches its first line), so that
    // all components move through the tile rows together; due pulls it with
    // next_row.
    void for_each_row(const std::function<void(int c, int64_t k)>& due);
    // Brings every component to the row that canvas row y shows (the
    // nearest, clamped to the component's rows); row(c) then holds it.
    void seek_canvas_row(int64_t y);
    const int32_t* row(int c) const;
    bool complete() const;
    // Code-blocks decode on this many worker threads besides the caller's
    // (none by default); the samples are the same.
    void set_workers(int workers);
    // The structures of the tiles being decoded (code-block and precinct
    // records, the stages' lines) may take this many bytes together; a
    // stream that needs more is refused with j2k::refusal, which no skipping
    // of damaged tiles catches. No limit unless set.
    void set_memory_limit(int64_t bytes);
    // From now on a tile whose data fail to decode is reported (its error
    // goes to the message sink) and shows as zero samples, and the other
    // tiles go on; damaged() then answers true.
    void skip_damaged_tiles();
    bool damaged() const;
    // As coded in the last tile opened.
    bool reversible() const;
    bool colour_transform() const;

    // Every component decoded whole; the planes and the structures together
    // may take memory_limit bytes.
    static std::vector<component_image> decode(codestream_ref cs, bool* complete = nullptr,
                                               int64_t memory_limit = INT64_MAX);
    // The same over a code-stream of its own, opened on the source.
    static std::vector<component_image> decode(codestream_source& source, bool* complete = nullptr,
                                               int64_t memory_limit = INT64_MAX);

private:
    struct state;
    std::unique_ptr<state> s_;
};

} // namespace j2k
