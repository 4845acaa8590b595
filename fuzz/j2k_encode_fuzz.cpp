// The JPEG 2000 encoder under libFuzzer: the first bytes choose the image
// (components, size, precision, signedness) and the coding options (levels,
// blocks, modes, precincts, tiles, progression, layers and their targets,
// the path, the colour transform and a region of interest); the rest are the
// samples. The output is
// decoded again by our decoder, and a lossless stream must give back the
// samples exactly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "jpeg2000/codestream.h"
#include "jpeg2000/decoder.h"
#include "jpeg2000/encoder.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/params.h"
#include "jpeg2000/sources.h"

namespace {

struct null_sink : j2k::message_sink {
    void error_line(std::string_view) override {}
    void warning(std::string_view) override {}
};

// Reads option bytes, then zeros once the input runs out.
struct byte_reader {
    const uint8_t* p;
    size_t left;
    int next(int modulo) {
        if (!left) return 0;
        --left;
        return *p++ % modulo;
    }
};

// The images, with a rectangular region of interest when asked.
struct fuzz_source : j2k::sample_source {
    const std::vector<j2k::component_image>& images;
    bool region;
    int top, left, size;
    fuzz_source(const std::vector<j2k::component_image>& i, bool r, int t, int l, int n)
        : images(i), region(r), top(t), left(l), size(n) {}
    void row(int c, int64_t y, int64_t x0, int64_t n, int32_t* out) override {
        std::copy_n(images[c].samples.data() + y * images[c].width + x0, n, out);
    }
    bool has_region() const override { return region; }
    void region_row(int, int64_t y, int64_t x0, int64_t n, uint8_t* out) override {
        for (int64_t x = 0; x < n; ++x)
            out[x] = y >= top && y < top + size && x0 + x >= left && x0 + x < left + size;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    null_sink sink;
    j2k::message_scope scope(&sink);
    byte_reader in{data, size};
    const int components = 1 + in.next(4);
    const int height = 1 + in.next(48), width = 1 + in.next(48);
    const int precision = 1 + in.next(16);
    const bool is_signed = in.next(2);
    const int levels = in.next(6);
    const int block_y = 4 << in.next(9), block_x = 4 << in.next(9);
    const int modes = in.next(64);
    const int order = in.next(5);
    const int layers = 1 + in.next(5);
    const bool reversible = in.next(2), ycc = in.next(2), lossless = in.next(2);
    const int precincts = in.next(4), tile = in.next(4);
    // A region of interest half the time: an up-shift and a rectangle.
    const int rshift = in.next(2) ? in.next(38) : 0;
    const int roi_top = in.next(48), roi_left = in.next(48), roi_size = in.next(48);

    std::vector<j2k::component_image> images(static_cast<size_t>(components));
    const int64_t top = (int64_t{1} << precision) - 1;
    for (j2k::component_image& im : images) {
        im.width = width;
        im.height = height;
        im.precision = precision;
        im.is_signed = is_signed;
        im.samples.resize(static_cast<size_t>(width) * height);
        for (int32_t& s : im.samples) {
            int64_t v = (in.next(256) << 8 | in.next(256)) & top;
            if (is_signed) v -= (top + 1) / 2;
            s = static_cast<int32_t>(v);
        }
    }
    std::vector<int64_t> targets;
    if (!lossless)
        for (int l = 0; l < layers; ++l)
            targets.push_back(int64_t{components} * width * height * (l + 1) / (2 + in.next(16)));

    std::vector<uint8_t> stream;
    try {
        auto tree = j2k::make_siz_tree();
        j2k::j2k_params* siz = tree->root();
        siz->put_int("Scomponents", 0, 0, components);
        siz->put_int("Sdims", 0, 0, height);
        siz->put_int("Sdims", 0, 1, width);
        siz->put_int("Sprecision", 0, 0, precision);
        siz->put_bool("Ssigned", 0, 0, is_signed);
        if (tile) {
            siz->put_int("Stiles", 0, 0, 8 * tile);
            siz->put_int("Stiles", 0, 1, 12 * tile);
        }
        siz->complete();
        j2k::memory_codestream_sink out;
        j2k::codestream_ref cs = j2k::codestream_ref::create_output(*siz, &out);
        j2k::j2k_params& cod = cs.access_params("COD", -1, -1);
        cod.put_int("Clevels", 0, 0, levels);
        cod.put_int("Cblk", 0, 0, block_y);
        cod.put_int("Cblk", 0, 1, block_x);
        cod.put_int("Cmodes", 0, 0, modes);
        cod.put_int("Corder", 0, 0, order);
        cod.put_int("Clayers", 0, 0, layers);
        cod.put_bool("Creversible", 0, 0, reversible || lossless);
        cod.put_bool("Cycc", 0, 0, ycc);
        if (rshift) cs.access_params("RGN", -1, -1).put_int("Rshift", 0, 0, rshift);
        if (precincts) {
            cod.put_bool("Cuse_precincts", 0, 0, true);
            cod.put_int("Cprecincts", 0, 0, 8 << precincts);
            cod.put_int("Cprecincts", 0, 1, 16 << precincts);
        }
        try {
            cs.root_siz().complete_all();
            fuzz_source source(images, rshift > 0, roi_top, roi_left, roi_size);
            j2k::codestream_encoder::encode(cs, source, targets);
        } catch (...) {
            cs.dispose();
            throw;
        }
        cs.dispose();
        stream = std::move(out.data);
    } catch (const j2k::failure&) {
        return 0; // options the engine refuses
    }

    // What we wrote, our decoder must read.
    std::vector<j2k::component_image> back;
    try {
        j2k::memory_codestream_source source(stream);
        back = j2k::codestream_decoder::decode(source);
    } catch (const j2k::failure&) {
        std::abort();
    }
    if (back.size() != images.size()) std::abort();
    if (lossless)
        for (size_t c = 0; c < images.size(); ++c)
            if (back[c].samples != images[c].samples) std::abort();
    return 0;
}
