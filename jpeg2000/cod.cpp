// COD and COC: coding style (ITU-T T.800 A.6.1, A.6.2).
//   COD: Lcod, Scod (bit 0 precincts, 1 SOP, 2 EPH, 3/4 code-block partition
//        origin horizontal/vertical), SGcod (progression order, layers,
//        multiple component transform), SPcod
//   COC: Lcoc, Ccoc (component), Scoc (bit 0 precincts), SPcoc
//   SPcod/SPcoc: decomposition levels, code-block width and height exponents
//        (xcb - 2, ycb - 2), code-block style, transform, and with precincts one
//        byte PPy << 4 | PPx per resolution, lowest first.
#include "jpeg2000/byte_buffers.h"
#include "jpeg2000/clusters.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/util.h"

namespace j2k {

namespace {

const attribute_table& cod_attributes() {
    static const attribute_table table = {
        {"Cycc", "B", 4},
        {"Clayers", "I", 4},
        {"Cuse_sop", "B", 4},
        {"Cuse_eph", "B", 4},
        {"Corder", "(LRCP=0,RLCP=1,RPCL=2,PCRL=3,CPRL=4)", 4},
        {"Calign_blk_last", "BB", 4},
        {"Clevels", "I", 0},
        {"Creversible", "B", 0},
        {"Ckernels", "(W9X7=0,W5X3=1)", 0},
        {"Cuse_precincts", "B", 0},
        {"Cprecincts", "II", 3},
        {"Cblk", "II", 0},
        {"Cmodes", "[BYPASS=1|RESET=2|RESTART=4|CAUSAL=8|ERTERM=16|SEGMARK=32]", 0},
        {"Clev_weights", "F", 3},
        {"Cband_weights", "F", 3},
    };
    return table;
}

// The values a COD or COC carries, read with inheritance.
struct cod_values {
    int layers = 0, order = 0, levels = 0, kernels = 0, blk[2] = {0, 0}, modes = 0;
    bool sop = false, eph = false, align[2] = {false, false}, reversible = false, precincts = false,
         ycc = false;
    std::vector<int> precinct_sizes; // (height, width) per resolution, record order

    bool read(const j2k_params& p) {
        bool ok = p.read_int("Clayers", 0, 0, layers) && p.read_bool("Cuse_sop", 0, 0, sop) &&
                  p.read_bool("Cuse_eph", 0, 0, eph) && p.read_int("Corder", 0, 0, order) &&
                  p.read_bool("Calign_blk_last", 0, 0, align[0]) &&
                  p.read_bool("Calign_blk_last", 0, 1, align[1]) &&
                  p.read_int("Clevels", 0, 0, levels) &&
                  p.read_bool("Creversible", 0, 0, reversible) &&
                  p.read_int("Ckernels", 0, 0, kernels) && p.read_int("Cblk", 0, 0, blk[0]) &&
                  p.read_int("Cblk", 0, 1, blk[1]) && p.read_int("Cmodes", 0, 0, modes) &&
                  p.read_bool("Cuse_precincts", 0, 0, precincts) && p.read_bool("Cycc", 0, 0, ycc);
        if (!ok) return false;
        precinct_sizes.clear();
        if (precincts && levels >= 0 && levels <= 32)
            for (int r = 0; r <= levels; ++r) {
                int h = -1, w = -1;
                p.read_int("Cprecincts", r, 0, h);
                p.read_int("Cprecincts", r, 1, w);
                precinct_sizes.push_back(h);
                precinct_sizes.push_back(w);
            }
        return true;
    }
    bool same_as(const cod_values& o, bool main_fields) const {
        bool same = levels == o.levels && reversible == o.reversible && kernels == o.kernels &&
                    blk[0] == o.blk[0] && blk[1] == o.blk[1] && modes == o.modes &&
                    precincts == o.precincts && precinct_sizes == o.precinct_sizes;
        if (main_fields)
            same = same && layers == o.layers && sop == o.sop && eph == o.eph && order == o.order &&
                   align[0] == o.align[0] && align[1] == o.align[1] && ycc == o.ycc;
        return same;
    }
};

} // namespace

cod_params::cod_params() : j2k_params("COD", cod_attributes(), true, true, false) {}

int cod_params::segment_component(int code, int length, const uint8_t* bytes) const {
    if (code == 0xFF52) return -1;
    if (code != 0xFF53) return -2;
    const uint8_t* p = bytes;
    try {
        return static_cast<int>(
            read_big_endian(p, bytes + length, component_count() > 256 ? 2 : 1));
    } catch (segment_too_small) {
        fail("Malformed COC marker segment. Segment too small.");
    }
}

void cod_params::complete() {
    int i;
    bool b;
    if (component() < 0) {
        if (!read_int("Clayers", 0, 0, i)) put_int("Clayers", 0, 0, 1);
        if (!read_bool("Cuse_sop", 0, 0, b)) put_bool("Cuse_sop", 0, 0, false);
        if (!read_bool("Cuse_eph", 0, 0, b)) put_bool("Cuse_eph", 0, 0, false);
        if (!read_int("Corder", 0, 0, i)) put_int("Corder", 0, 0, LRCP);
        if (!read_bool("Calign_blk_last", 0, 0, b) || !read_bool("Calign_blk_last", 0, 1, b)) {
            put_bool("Calign_blk_last", 0, 0, false);
            put_bool("Calign_blk_last", 0, 1, false);
        }
    }
    if (!read_int("Clevels", 0, 0, i)) put_int("Clevels", 0, 0, 5);
    // A tile or component that changes reversibility gets matching kernels.
    bool reversible = false;
    if (own_records("Creversible") && !own_records("Ckernels")) {
        read_bool("Creversible", 0, 0, reversible);
        put_int("Ckernels", 0, 0, reversible ? W5X3 : W9X7);
    }
    if (!read_bool("Creversible", 0, 0, reversible)) put_bool("Creversible", 0, 0, false);
    if (!read_int("Ckernels", 0, 0, i)) put_int("Ckernels", 0, 0, reversible ? W5X3 : W9X7);
    if (!read_int("Cblk", 0, 0, i) || !read_int("Cblk", 0, 1, i)) {
        put_int("Cblk", 0, 0, 64);
        put_int("Cblk", 0, 1, 64);
    }
    if (!read_int("Cmodes", 0, 0, i)) put_int("Cmodes", 0, 0, 0);
    if (component() < 0 && !read_bool("Cycc", 0, 0, b)) {
        // The colour transform suits three components that agree in depth,
        // sub-sampling and reversibility.
        const j2k_params* s = siz();
        int comps = 0;
        bool ycc = s && s->read_int("Scomponents", 0, 0, comps) && comps == 3;
        int d0 = 0, y0 = 0, x0 = 0;
        bool r0 = false;
        for (int c = 0; ycc && c < 3; ++c) {
            int d = 0, y = 0, x = 0;
            bool r = false;
            tree().ensure(tile(), c);
            const j2k_params* pc = find_object(tile(), c);
            ycc = s->read_int("Sprecision", c, 0, d) && s->read_int("Ssampling", c, 0, y) &&
                  s->read_int("Ssampling", c, 1, x) && pc && pc->read_bool("Creversible", 0, 0, r);
            if (c == 0) {
                d0 = d, y0 = y, x0 = x, r0 = r;
            } else {
                ycc = ycc && d == d0 && y == y0 && x == x0 && r == r0;
            }
        }
        put_bool("Cycc", 0, 0, ycc);
    } else if (component() < 0 && b && component_count() < 3) {
        put_bool("Cycc", 0, 0, false);
    }
    if (own_records("Cprecincts"))
        put_bool("Cuse_precincts", 0, 0, true);
    else if (!read_bool("Cuse_precincts", 0, 0, b))
        put_bool("Cuse_precincts", 0, 0, false);
}

int cod_params::emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                                    int tile_part) {
    if (tile_part != 0) return 0;
    // A component object finds the component-wide fields through inheritance.
    cod_values v;
    if (!v.read(*this)) fail("Unable to write COD marker segment yet");
    if (reference) {
        cod_values r;
        if (r.read(*reference) && v.same_as(r, true)) return 0;
    }
    if (v.layers < 0 || v.layers > 65535) {
        error_report r;
        r << "Illegal number of quality layers, " << v.layers;
        r.raise();
    }
    if (v.levels < 0 || v.levels > 32) {
        error_report r;
        r << "Illegal number of DWT levels, " << v.levels;
        r.raise();
    }
    if (component() < 0 && v.ycc) {
        const j2k_params* s = siz();
        int d0 = 0, d = 0;
        s->read_int("Sprecision", 0, 0, d0);
        for (int c = 1; c < 3 && c < component_count(); ++c) {
            bool r0 = false, r = false;
            const j2k_params* p0 = find_object(tile(), 0);
            const j2k_params* pc = find_object(tile(), c);
            (p0 ? p0 : this)->read_bool("Creversible", 0, 0, r0);
            (pc ? pc : this)->read_bool("Creversible", 0, 0, r);
            if (r != r0 || !s->read_int("Sprecision", c, 0, d) || d != d0)
                fail("Cannot use a colour transform");
        }
    }
    for (int a = 0; a < 2; ++a)
        if (!is_power_of_two(v.blk[a])) fail("Maximum code-block dimensions must be powers of 2");
    if (v.blk[0] < 4 || v.blk[1] < 4 || v.blk[0] * v.blk[1] > 4096)
        fail(
            "Maximum code-block dimensions must be no less than 4, maximum code-block area "
            "must not exceed 4096");
    if (v.precincts)
        for (int s : v.precinct_sizes) {
            if (s < 0) fail("No precinct dimensions supplied for COD/COC!");
            if (!is_power_of_two(s)) fail("Precinct dimensions must be exact powers of 2!");
            if (s > (1 << 15)) fail("Precinct dimensions may not exceed 2^15!");
        }
    const bool wide = component_count() > 256;
    const int extra = v.precincts ? v.levels + 1 : 0;
    const int length = component() < 0 ? 14 + extra : 11 + extra + (wide ? 1 : 0);
    if (!out) return length;
    if (component() < 0) {
        out->put_word(0xFF52);
        out->put_word(static_cast<uint32_t>(length - 2)); // Lcod
        out->put_byte(static_cast<uint8_t>((v.precincts ? 1 : 0) | (v.sop ? 2 : 0) |
                                           (v.eph ? 4 : 0) | (v.align[1] ? 8 : 0) |
                                           (v.align[0] ? 16 : 0))); // Scod
        out->put_byte(static_cast<uint8_t>(v.order));               // SGcod: progression
        out->put_word(static_cast<uint32_t>(v.layers));             //        layers
        out->put_byte(v.ycc ? 1 : 0);                               //        transform
    } else {
        out->put_word(0xFF53);
        out->put_word(static_cast<uint32_t>(length - 2)); // Lcoc
        if (wide)
            out->put_word(static_cast<uint32_t>(component())); // Ccoc
        else
            out->put_byte(static_cast<uint8_t>(component()));
        out->put_byte(v.precincts ? 1 : 0); // Scoc
    }
    out->put_byte(static_cast<uint8_t>(v.levels));                 // decomposition levels
    out->put_byte(static_cast<uint8_t>(log2_exact(v.blk[1]) - 2)); // xcb - 2
    out->put_byte(static_cast<uint8_t>(log2_exact(v.blk[0]) - 2)); // ycb - 2
    out->put_byte(static_cast<uint8_t>(v.modes));                  // code-block style
    out->put_byte(v.kernels == W9X7 ? 0 : (v.reversible ? 1 : 2)); // transform
    for (int r = 0; r < extra; ++r) {
        int rec = v.levels - r;
        out->put_byte(static_cast<uint8_t>(log2_exact(v.precinct_sizes[2 * rec]) << 4 |
                                           log2_exact(v.precinct_sizes[2 * rec + 1])));
    }
    return length;
}

bool cod_params::absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) {
    if (tile_part != 0) return false;
    const bool is_cod = code == 0xFF52;
    if ((is_cod && component() >= 0) || (code == 0xFF53 && component() < 0) ||
        (!is_cod && code != 0xFF53))
        return false;
    const uint8_t* p = bytes;
    const uint8_t* end = bytes + length;
    bool precincts = false;
    try {
        if (is_cod) {
            const uint32_t scod = read_big_endian(p, end, 1);
            if (scod & ~0x1Fu) fail("Malformed COD marker segment");
            precincts = scod & 1;
            put_bool("Cuse_precincts", 0, 0, precincts);
            put_bool("Cuse_sop", 0, 0, (scod & 2) != 0);
            put_bool("Cuse_eph", 0, 0, (scod & 4) != 0);
            put_bool("Calign_blk_last", 0, 1, (scod & 8) != 0);
            put_bool("Calign_blk_last", 0, 0, (scod & 16) != 0);
            const int order = static_cast<int>(read_big_endian(p, end, 1));
            if (order > CPRL) invalid_segment(code, "progression order " + std::to_string(order));
            put_int("Corder", 0, 0, order);
            put_int("Clayers", 0, 0, static_cast<int>(read_big_endian(p, end, 2)));
            const uint32_t mct = read_big_endian(p, end, 1);
            if (mct > 1) fail("Invalid argument");
            put_bool("Cycc", 0, 0, mct == 1);
        } else {
            read_big_endian(p, end, component_count() > 256 ? 2 : 1); // Ccoc
            const uint32_t scoc = read_big_endian(p, end, 1);
            if (scoc > 1) fail("Malformed COC marker segment.");
            precincts = scoc == 1;
            put_bool("Cuse_precincts", 0, 0, precincts);
        }
        const int levels = static_cast<int>(read_big_endian(p, end, 1));
        if (levels > 32) invalid_segment(code, std::to_string(levels) + " levels, above 32");
        put_int("Clevels", 0, 0, levels);
        const int xcb = static_cast<int>(read_big_endian(p, end, 1));
        const int ycb = static_cast<int>(read_big_endian(p, end, 1));
        if (xcb > 8 || ycb > 8 || xcb + ycb > 8)
            invalid_segment(code, "code-block exponents above 10 or area above 4096");
        put_int("Cblk", 0, 1, 1 << (xcb + 2));
        put_int("Cblk", 0, 0, 1 << (ycb + 2));
        const int modes = static_cast<int>(read_big_endian(p, end, 1));
        if (modes & ~0x3F) invalid_segment(code, "undefined code-block style bits");
        put_int("Cmodes", 0, 0, modes);
        const uint32_t transform = read_big_endian(p, end, 1);
        if (transform > 2) fail("Illegal DWT kernels specification");
        put_bool("Creversible", 0, 0, transform == 1);
        put_int("Ckernels", 0, 0, transform == 0 ? W9X7 : W5X3);
        if (precincts)
            for (int r = 0; r <= levels; ++r) {
                const uint32_t b = read_big_endian(p, end, 1);
                const int ppx = static_cast<int>(b & 15), ppy = static_cast<int>(b >> 4);
                put_int("Cprecincts", levels - r, 0, 1 << ppy);
                put_int("Cprecincts", levels - r, 1, 1 << ppx);
            }
    } catch (segment_too_small) {
        fail(is_cod ? "Malformed COD marker segment. Segment too small"
                    : "Malformed COC marker segment. Segment too small.");
    }
    if (p != end) {
        error_report r;
        r << "Malformed COD/COC marker segment. The final " << (end - p)
          << " bytes were not consumed!";
        r.raise();
    }
    return true;
}

void cod_params::copy_transformed(const j2k_params& source, int first_component, int discard_levels,
                                  bool transpose, bool vflip, bool hflip) {
    int i;
    bool b;
    float f;
    auto own_int = [&](const char* n, int rec, int fld) {
        return source.own_records(n) > rec && source.read_int(n, rec, fld, i, false, false);
    };
    auto own_bool = [&](const char* n, int fld) {
        return source.own_records(n) && source.read_bool(n, 0, fld, b, false, false);
    };
    if (component() < 0) {
        if (own_bool("Cycc", 0)) put_bool("Cycc", 0, 0, b && first_component == 0);
        if (own_int("Clayers", 0, 0)) put_int("Clayers", 0, 0, i);
        if (own_bool("Cuse_sop", 0)) put_bool("Cuse_sop", 0, 0, b);
        if (own_bool("Cuse_eph", 0)) put_bool("Cuse_eph", 0, 0, b);
        if (own_int("Corder", 0, 0)) put_int("Corder", 0, 0, i);
        for (int a = 0; a < 2; ++a)
            if (own_bool("Calign_blk_last", a)) {
                const int dst = transpose ? 1 - a : a;
                const bool flipped = dst == 0 ? vflip : hflip;
                put_bool("Calign_blk_last", 0, dst, b != flipped);
            }
    }
    if (own_int("Clevels", 0, 0)) {
        if (i - discard_levels < 0) fail("Attempt to discard too many resolution levels");
        put_int("Clevels", 0, 0, i - discard_levels);
    }
    if (own_bool("Creversible", 0)) put_bool("Creversible", 0, 0, b);
    if (own_int("Ckernels", 0, 0)) put_int("Ckernels", 0, 0, i);
    if (own_bool("Cuse_precincts", 0)) put_bool("Cuse_precincts", 0, 0, b);
    if (own_int("Cmodes", 0, 0)) put_int("Cmodes", 0, 0, i);
    for (int a = 0; a < 2; ++a)
        if (own_int("Cblk", 0, a)) put_int("Cblk", 0, transpose ? 1 - a : a, i);
    for (int r = discard_levels; r < source.own_records("Cprecincts"); ++r)
        for (int a = 0; a < 2; ++a)
            if (own_int("Cprecincts", r, a))
                put_int("Cprecincts", r - discard_levels, transpose ? 1 - a : a, i);
    for (const char* n : {"Clev_weights", "Cband_weights"})
        for (int r = 0; r < source.own_records(n); ++r)
            if (source.read_float(n, r, 0, f, false, false)) put_float(n, r, 0, f);
}

} // namespace j2k
