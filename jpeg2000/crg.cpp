// CRG: component registration (ITU-T T.800 A.9.1).
//   Lcrg, then per component Xcrg, Ycrg (offsets in 1/65536 of a sample)
#include <cmath>

#include "jpeg2000/byte_buffers.h"
#include "jpeg2000/clusters.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/util.h"

namespace j2k {

namespace {
const attribute_table& crg_attributes() {
    static const attribute_table table = {{"CRGoffset", "FF", 3}};
    return table;
}
} // namespace

crg_params::crg_params() : j2k_params("CRG", crg_attributes(), false, false, false) {}

int crg_params::segment_component(int code, int, const uint8_t*) const {
    return code == 0xFF63 ? -1 : -2;
}

int crg_params::emit_marker_segment(codestream_output_buffer* out, const j2k_params*,
                                    int tile_part) {
    if (tile() >= 0 || tile_part != 0 || own_records("CRGoffset") == 0) return 0;
    const int comps = component_count();
    std::vector<float> offsets;
    for (int c = 0; c < comps; ++c) {
        float y, x;
        if (!read_float("CRGoffset", c, 0, y) || !read_float("CRGoffset", c, 1, x))
            fail("Component registration information incomplete!");
        if (!(y >= 0 && y < 1 && x >= 0 && x < 1)) {
            error_report r;
            r << "Illegal component registration offsets, {" << y << "," << x
              << "}.  Legal range is from 0.0 to 1.0 (exclusive).";
            r.raise();
        }
        offsets.push_back(y);
        offsets.push_back(x);
    }
    const int length = 4 + 4 * comps;
    if (!out) return length;
    out->put_word(0xFF63);
    out->put_word(static_cast<uint32_t>(length - 2)); // Lcrg
    auto code = [](float v) {
        return static_cast<uint32_t>(std::min(65535.0, std::floor(v * 65536.0 + 0.5)));
    };
    for (int c = 0; c < comps; ++c) {
        out->put_word(code(offsets[2 * c + 1])); // Xcrg
        out->put_word(code(offsets[2 * c]));     // Ycrg
    }
    return length;
}

bool crg_params::absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) {
    if (code != 0xFF63 || tile_part != 0 || tile() >= 0) return false;
    const uint8_t* p = bytes;
    const uint8_t* end = bytes + length;
    try {
        for (int c = 0; c < component_count(); ++c) {
            const uint32_t x = read_big_endian(p, end, 2);
            const uint32_t y = read_big_endian(p, end, 2);
            put_float("CRGoffset", c, 1, static_cast<float>(x / 65536.0));
            put_float("CRGoffset", c, 0, static_cast<float>(y / 65536.0));
        }
    } catch (segment_too_small) {
        fail("Malformed CRG marker segment encountered. Marker segment is too small.");
    }
    if (p != end) {
        error_report r;
        r << "Malformed CRG marker segment encountered. The final " << (end - p)
          << " bytes were not consumed!";
        r.raise();
    }
    return true;
}

void crg_params::copy_transformed(const j2k_params& source, int first_component, int,
                                  bool transpose, bool vflip, bool hflip) {
    if (vflip || hflip) {
        clear_attribute("CRGoffset");
        return;
    }
    const int records = source.own_records("CRGoffset");
    if (records == 0) return;
    const int first = std::min(first_component, records - 1);
    for (int r = first; r < records; ++r) {
        float y, x;
        if (!source.read_float("CRGoffset", r, 0, y, false, false) ||
            !source.read_float("CRGoffset", r, 1, x, false, false))
            continue;
        if (transpose) std::swap(y, x);
        put_float("CRGoffset", r - first, 0, y);
        put_float("CRGoffset", r - first, 1, x);
    }
}

} // namespace j2k
