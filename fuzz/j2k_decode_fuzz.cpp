// The JPEG 2000 decoder under libFuzzer: a JP2 file or a raw code-stream,
// decoded whole (packets, code-blocks, transforms), then again row by row as
// the loader pulls it, damaged tiles skipped. Messages go to a sink that
// drops them. Memory is held to what a small image budget allows, and only
// canvases of a quarter million samples are pulled row by row: a large flat
// image is valid and slow, not a finding.
#include <cstddef>
#include <cstdint>

#include "jpeg2000/codestream.h"
#include "jpeg2000/decoder.h"
#include "jpeg2000/jp2_file.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/sources.h"

namespace {

constexpr int64_t memory_limit = int64_t{4} << 20;
constexpr int64_t row_pull_samples = int64_t{1} << 18;

struct null_sink : j2k::message_sink {
    void error_line(std::string_view) override {}
    void warning(std::string_view) override {}
};

void decode_rows(j2k::codestream_source& source) {
    j2k::codestream_ref cs = j2k::codestream_ref::create_input(&source);
    struct disposer {
        j2k::codestream_ref& cs;
        ~disposer() { cs.dispose(); }
    } guard{cs};
    const j2k::rect canvas = cs.canvas();
    if (canvas.size.y * canvas.size.x > row_pull_samples) return;
    j2k::codestream_decoder decoder(cs);
    decoder.set_memory_limit(memory_limit);
    decoder.skip_damaged_tiles();
    for (int64_t y = canvas.pos.y; y < canvas.end().y; ++y)
        decoder.seek_canvas_row(y);
}

template <typename Source>
void decode_both(std::span<const uint8_t> bytes) {
    try {
        Source whole(bytes);
        j2k::codestream_decoder::decode(whole, nullptr, memory_limit);
    } catch (const j2k::failure&) {
    } catch (const std::bad_alloc&) {}
    try {
        Source rows(bytes);
        decode_rows(rows);
    } catch (const j2k::failure&) {
    } catch (const std::bad_alloc&) {}
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    null_sink sink;
    j2k::message_scope scope(&sink);
    const std::span<const uint8_t> bytes(data, size);
    if (size >= 6 && data[4] == 0x6A && data[5] == 0x50)
        decode_both<j2k::boxed_file_reader>(bytes);
    else
        decode_both<j2k::memory_codestream_source>(bytes);
    return 0;
}
