// RGN: region of interest (ITU-T T.800 A.6.3).
//   Lrgn, Crgn (component, 1 or 2 bytes), Srgn (0: implicit, the only style),
//   SPrgn (up-shift)
#include "jpeg2000/byte_buffers.h"
#include "jpeg2000/clusters.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/util.h"

namespace j2k {

namespace {
const attribute_table& rgn_attributes() {
    static const attribute_table table = {
        {"Rshift", "I", 0}, {"Rlevels", "I", 0}, {"Rweight", "F", 0}};
    return table;
}
} // namespace

rgn_params::rgn_params() : j2k_params("RGN", rgn_attributes(), true, true, false) {}

int rgn_params::segment_component(int code, int length, const uint8_t* bytes) const {
    if (code != 0xFF5E) return -2;
    const uint8_t* p = bytes;
    try {
        return static_cast<int>(
            read_big_endian(p, bytes + length, component_count() > 256 ? 2 : 1));
    } catch (segment_too_small) {
        fail("Malformed RGN marker segment. Segment too small.");
    }
}

void rgn_params::complete() {
    int v;
    if (!read_int("Rlevels", 0, 0, v)) put_int("Rlevels", 0, 0, 4);
    if (read_int("Rshift", 0, 0, v) && v > 37) {
        warning_report w;
        w << "Up-shift values in the RGN marker segment should not need to exceed 37 under any "
             "circumstances.  The use of a larger value, "
          << v << " in this case, may cause problems.";
    }
}

int rgn_params::emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                                    int tile_part) {
    if (component() < 0 || tile_part != 0) return 0;
    int shift = 0, ref_shift = 0;
    read_int("Rshift", 0, 0, shift);
    if (reference) {
        reference->read_int("Rshift", 0, 0, ref_shift);
        if (shift == ref_shift) return 0;
    } else if (shift == 0) {
        return 0;
    }
    if (shift < 0 || shift > 255) {
        error_report r;
        r << "Illegal ROI up-shift " << shift;
        r.raise();
    }
    const bool wide = component_count() > 256;
    const int length = wide ? 8 : 7;
    if (!out) return length;
    out->put_word(0xFF5E);
    out->put_word(static_cast<uint32_t>(length - 2)); // Lrgn
    if (wide)
        out->put_word(static_cast<uint32_t>(component())); // Crgn
    else
        out->put_byte(static_cast<uint8_t>(component()));
    out->put_byte(0);                           // Srgn
    out->put_byte(static_cast<uint8_t>(shift)); // SPrgn
    return length;
}

bool rgn_params::absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) {
    if (code != 0xFF5E || tile_part != 0 || component() < 0) return false;
    const uint8_t* p = bytes;
    const uint8_t* end = bytes + length;
    try {
        read_big_endian(p, end, component_count() > 256 ? 2 : 1);
        if (read_big_endian(p, end, 1) != 0) fail("Encountered non-Part1 RGN marker segment");
        const int shift = static_cast<int>(read_big_endian(p, end, 1));
        if (shift >= 32) invalid_segment(code, "up-shift " + std::to_string(shift) + " above 31");
        put_int("Rshift", 0, 0, shift);
    } catch (segment_too_small) {
        fail("Malformed RGN marker segment. Segment too small.");
    }
    if (p != end) {
        error_report r;
        r << "Malformed RGN marker segment encountered. The final " << (end - p)
          << " bytes were not consumed!";
        r.raise();
    }
    return true;
}

void rgn_params::copy_transformed(const j2k_params& source, int, int, bool, bool, bool) {
    int v;
    if (source.own_records("Rshift") && source.read_int("Rshift", 0, 0, v, false))
        put_int("Rshift", 0, 0, v);
}

} // namespace j2k
