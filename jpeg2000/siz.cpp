// SIZ: image and tile size (ITU-T T.800 A.5.1).
//   Lsiz         38 + 3 Csiz
//   Rsiz         capabilities: written 0, ignored when read
//   Xsiz, Ysiz   canvas end                      Ssize
//   XOsiz, YOsiz canvas origin                   Sorigin
//   XTsiz, YTsiz tile size                       Stiles
//   XTOsiz,YTOsiz tile partition origin          Stile_origin
//   Csiz         components                      Scomponents
//   per component Ssiz (depth - 1, bit 7 signed), XRsiz, YRsiz (sub-sampling)
#include <algorithm>
#include <cmath>
#include <limits>

#include "jpeg2000/byte_buffers.h"
#include "jpeg2000/clusters.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/util.h"

namespace j2k {

namespace {

const attribute_table& siz_attributes() {
    static const attribute_table table = {
        {"Ssize", "II", 0},        {"Sorigin", "II", 0},    {"Stiles", "II", 0},
        {"Stile_origin", "II", 0}, {"Scomponents", "I", 0}, {"Ssigned", "B", 3},
        {"Sprecision", "I", 3},    {"Ssampling", "II", 3},  {"Sdims", "II", 3},
    };
    return table;
}

[[noreturn]] void cannot_finalize() {
    fail("Cannot finalize SIZ information");
}

// Dimension of a component with factor t along an axis from origin o to end e.
int64_t dim(int64_t e, int64_t o, int64_t t) {
    return ceil_div(e, t) - ceil_div(o, t);
}

} // namespace

siz_params::siz_params() : j2k_params("SIZ", siz_attributes(), false, false, false) {}

int siz_params::segment_component(int code, int, const uint8_t*) const {
    return code == 0xFF51 ? -1 : -2;
}

void siz_params::complete() {
    int comps = 0;
    if (!read_int("Scomponents", 0, 0, comps)) {
        comps = own_records("Ssampling");
        if (!comps) comps = own_records("Sdims");
        if (!comps) cannot_finalize();
        put_int("Scomponents", 0, 0, comps);
    }
    int origin[2];
    for (int a = 0; a < 2; ++a)
        if (!read_int("Sorigin", 0, a, origin[a])) {
            origin[0] = origin[1] = 0;
            put_int("Sorigin", 0, 0, 0);
            put_int("Sorigin", 0, 1, 0);
            break;
        }
    const bool have_dims = own_records("Sdims") > 0;
    const bool have_sampling = own_records("Ssampling") > 0;
    if (!have_dims && !have_sampling) cannot_finalize();
    std::vector<int> dims[2], factors[2];
    for (int c = 0; c < comps; ++c)
        for (int a = 0; a < 2; ++a) {
            int v;
            if (have_dims) {
                if (!read_int("Sdims", c, a, v)) cannot_finalize();
                dims[a].push_back(v);
            }
            if (have_sampling) {
                if (!read_int("Ssampling", c, a, v)) cannot_finalize();
                if (v < 1) fail("Sub-sampling factors must be positive");
                factors[a].push_back(v);
            }
        }
    int size[2];
    bool have_size = read_int("Ssize", 0, 0, size[0]) && read_int("Ssize", 0, 1, size[1]);
    for (int a = 0; a < 2; ++a) {
        const int64_t o = origin[a];
        if (!have_dims) {
            if (!have_size) cannot_finalize();
            continue;
        }
        if (!have_size && !have_sampling) {
            // Search the lowest canvas end and factors that give every
            // component's dimension.
            int64_t b = *std::max_element(dims[a].begin(), dims[a].end());
            bool found = false;
            for (int64_t i = 1; i <= 255 && !found; ++i) {
                int64_t lo = i * (b + ceil_div(o, i)) - i + 1, hi = i * (b + ceil_div(o, i));
                for (int64_t d : dims[a]) {
                    int64_t best_lo = std::numeric_limits<int64_t>::max(), best_hi = -1;
                    for (int64_t t = 1; t <= 255; ++t) {
                        int64_t l = std::max(lo, t * (ceil_div(o, t) + d) - t + 1);
                        int64_t h = std::min(hi, t * (ceil_div(o, t) + d));
                        if (l <= h) {
                            best_lo = std::min(best_lo, l);
                            best_hi = std::max(best_hi, h);
                        }
                    }
                    lo = best_lo;
                    hi = best_hi;
                    if (lo > hi) break;
                }
                if (lo <= hi) {
                    size[a] = static_cast<int>(lo);
                    found = true;
                }
            }
            if (!found) cannot_finalize();
        } else if (!have_size) {
            int64_t lo = std::numeric_limits<int64_t>::min(),
                    hi = std::numeric_limits<int64_t>::max();
            for (int c = 0; c < comps; ++c) {
                int64_t t = factors[a][c], d = dims[a][c];
                lo = std::max(lo, t * (ceil_div(o, t) + d) - t + 1);
                hi = std::min(hi, t * (ceil_div(o, t) + d));
            }
            if (lo > hi || hi > std::numeric_limits<int>::max()) cannot_finalize();
            size[a] = static_cast<int>(lo);
        }
    }
    if (!have_size) {
        put_int("Ssize", 0, 0, size[0]);
        put_int("Ssize", 0, 1, size[1]);
    }
    if (!have_sampling) {
        for (int c = 0; c < comps; ++c)
            for (int a = 0; a < 2; ++a) {
                int64_t d = dims[a][c];
                if (d <= 0) cannot_finalize();
                int64_t t = std::max<int64_t>(1, (size[a] - origin[a]) / d);
                while (t > 1 && dim(size[a], origin[a], t) < d)
                    --t;
                while (t < 0x7FFFFFFF && dim(size[a], origin[a], t) > d)
                    ++t;
                if (dim(size[a], origin[a], t) != d) cannot_finalize();
                put_int("Ssampling", c, a, static_cast<int>(t));
            }
    }
    for (int c = 0; c < comps; ++c)
        for (int a = 0; a < 2; ++a) {
            int t, d;
            read_int("Ssampling", c, a, t);
            int64_t want = dim(size[a], origin[a], t);
            if (have_dims) {
                read_int("Sdims", c, a, d);
                if (want != d) cannot_finalize();
            } else {
                put_int("Sdims", c, a, static_cast<int>(want));
            }
        }
    int tile_origin[2], tiles[2];
    for (int a = 0; a < 2; ++a) {
        if (!read_int("Stile_origin", 0, a, tile_origin[a])) {
            tile_origin[a] = origin[a];
            put_int("Stile_origin", 0, a, origin[a]);
        }
    }
    for (int a = 0; a < 2; ++a)
        if (!read_int("Stiles", 0, a, tiles[a])) {
            tiles[a] = size[a] - tile_origin[a];
            put_int("Stiles", 0, a, tiles[a]);
        }
    for (int a = 0; a < 2; ++a)
        if (tile_origin[a] > origin[a] ||
            static_cast<int64_t>(tile_origin[a]) + tiles[a] <= origin[a])
            cannot_finalize();
}

int siz_params::emit_marker_segment(codestream_output_buffer* out, const j2k_params*,
                                    int tile_part) {
    if (tile() >= 0 || tile_part != 0) return 0;
    int64_t size[2], origin[2], tiles[2], tile_origin[2];
    int comps;
    for (int a = 0; a < 2; ++a) {
        int s, o, t, to;
        if (!read_int("Ssize", 0, a, s) || !read_int("Sorigin", 0, a, o) ||
            !read_int("Stiles", 0, a, t) || !read_int("Stile_origin", 0, a, to))
            fail("Unable to write SIZ marker segment yet");
        size[a] = s;
        origin[a] = o;
        tiles[a] = t;
        tile_origin[a] = to;
    }
    if (!read_int("Scomponents", 0, 0, comps)) fail("Unable to write SIZ marker segment yet");
    if (comps < 1 || comps > 16384) fail("Illegal number of image components");
    const int length = 40 + 3 * comps;
    if (!out) return length;
    for (int a = 0; a < 2; ++a) {
        if (tile_origin[a] >= 0 || tiles[a] <= 0) continue;
        // Move the canvas to non-negative coordinates by a whole period of
        // every partition, so that tiles and precincts keep their alignment.
        int64_t period = tiles[a];
        const param_cluster* cod = tree().cluster("COD");
        if (!cod) fail("Cannot write SIZ marker");
        for (int t : cod->tiles())
            for (j2k_params* p : cod->tile_objects(t))
                for (int c = std::max(0, p->component());
                     c < (p->component() < 0 ? comps : p->component() + 1); ++c) {
                    int levels, factor;
                    bool use_precincts;
                    if (!p->read_int("Clevels", 0, 0, levels) ||
                        !p->read_bool("Cuse_precincts", 0, 0, use_precincts) ||
                        !read_int("Ssampling", c, a, factor))
                        fail("Cannot write SIZ marker");
                    for (int r = 0; r <= levels; ++r) {
                        int precinct = 1 << 15;
                        if (use_precincts && !p->read_int("Cprecincts", levels - r, a, precinct))
                            fail("Cannot write SIZ marker");
                        int64_t extent = static_cast<int64_t>(factor) * precinct
                                         << std::min(levels - r, 32);
                        period = lcm(period, extent);
                        if (period <= 0 || period > (int64_t{1} << 40))
                            fail("Error converting canvas to marker range");
                    }
                }
        int64_t shift = period * ceil_div(-tile_origin[a], period);
        size[a] += shift;
        origin[a] += shift;
        tile_origin[a] += shift;
    }
    for (int a = 0; a < 2; ++a)
        if (tile_origin[a] > origin[a] || tile_origin[a] + tiles[a] <= origin[a] ||
            origin[a] >= size[a] || size[a] > 0xFFFFFFFFll)
            fail("Cannot write SIZ marker with illegal canvas coordinates");
    out->put_word(0xFF51);
    out->put_word(static_cast<uint32_t>(length - 2)); // Lsiz
    out->put_word(0);                                 // Rsiz
    out->put_dword(static_cast<uint32_t>(size[1]));   // Xsiz
    out->put_dword(static_cast<uint32_t>(size[0]));   // Ysiz
    out->put_dword(static_cast<uint32_t>(origin[1]));
    out->put_dword(static_cast<uint32_t>(origin[0]));
    out->put_dword(static_cast<uint32_t>(tiles[1]));
    out->put_dword(static_cast<uint32_t>(tiles[0]));
    out->put_dword(static_cast<uint32_t>(tile_origin[1]));
    out->put_dword(static_cast<uint32_t>(tile_origin[0]));
    out->put_word(static_cast<uint32_t>(comps)); // Csiz
    for (int c = 0; c < comps; ++c) {
        bool is_signed;
        int depth, sy, sx;
        if (!read_bool("Ssigned", c, 0, is_signed) || !read_int("Sprecision", c, 0, depth) ||
            !read_int("Ssampling", c, 0, sy) || !read_int("Ssampling", c, 1, sx))
            fail("Unable to write SIZ marker segment");
        if (depth < 1 || depth > 38) {
            error_report r;
            r << "Illegal image sample bit-depth " << depth;
            r.raise();
        }
        if (sy < 1 || sy > 255 || sx < 1 || sx > 255) {
            error_report r;
            r << "Illegal component sub-sampling factors, " << sy << "," << sx;
            r.raise();
        }
        out->put_byte(static_cast<uint8_t>((depth - 1) | (is_signed ? 0x80 : 0))); // Ssiz
        out->put_byte(static_cast<uint8_t>(sx));                                   // XRsiz
        out->put_byte(static_cast<uint8_t>(sy));                                   // YRsiz
    }
    return length;
}

bool siz_params::absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) {
    if (code != 0xFF51 || tile_part != 0) return false;
    const uint8_t* p = bytes;
    const uint8_t* end = bytes + length;
    try {
        read_big_endian(p, end, 2); // Rsiz
        uint32_t v[8];
        for (uint32_t& x : v)
            x = read_big_endian(p, end, 4);
        for (uint32_t x : v)
            if (x > 0x7FFFFFFF) invalid_segment(code, "coordinates of 2^31 or more");
        const int csiz = static_cast<int>(read_big_endian(p, end, 2));
        if (csiz < 1 || csiz > 16384)
            invalid_segment(code, "Csiz " + std::to_string(csiz) + " outside 1..16384");
        if (length + 2 != 38 + 3 * csiz)
            invalid_segment(code, "Lsiz " + std::to_string(length + 2) + " is not 38 + 3 x Csiz");
        if (v[4] == 0 || v[5] == 0) invalid_segment(code, "tile size 0");
        put_int("Ssize", 0, 1, static_cast<int>(v[0]));
        put_int("Ssize", 0, 0, static_cast<int>(v[1]));
        put_int("Sorigin", 0, 1, static_cast<int>(v[2]));
        put_int("Sorigin", 0, 0, static_cast<int>(v[3]));
        put_int("Stiles", 0, 1, static_cast<int>(v[4]));
        put_int("Stiles", 0, 0, static_cast<int>(v[5]));
        put_int("Stile_origin", 0, 1, static_cast<int>(v[6]));
        put_int("Stile_origin", 0, 0, static_cast<int>(v[7]));
        put_int("Scomponents", 0, 0, csiz);
        for (int c = 0; c < csiz; ++c) {
            const uint32_t ssiz = read_big_endian(p, end, 1);
            const int xr = static_cast<int>(read_big_endian(p, end, 1));
            const int yr = static_cast<int>(read_big_endian(p, end, 1));
            const int depth = static_cast<int>(ssiz & 0x7F) + 1;
            if (depth > 38)
                invalid_segment(code, "component depth " + std::to_string(depth) + " above 38");
            if (xr < 1 || yr < 1) invalid_segment(code, "sub-sampling factor 0");
            put_bool("Ssigned", c, 0, (ssiz & 0x80) != 0);
            put_int("Sprecision", c, 0, depth);
            put_int("Ssampling", c, 0, yr);
            put_int("Ssampling", c, 1, xr);
        }
    } catch (segment_too_small) {
        fail("Malformed SIZ marker segment. Marker segment too small");
    }
    if (p != end) {
        error_report r;
        r << "Malformed SIZ marker segment. Final " << (end - p) << " bytes not consumed";
        r.raise();
    }
    return true;
}

void siz_params::copy_transformed(const j2k_params& source, int first_component, int discard_levels,
                                  bool transpose, bool vflip, bool hflip) {
    int size[2], origin[2], tiles[2], tile_origin[2];
    for (int a = 0; a < 2; ++a)
        if (!source.read_int("Ssize", 0, a, size[a]) ||
            !source.read_int("Sorigin", 0, a, origin[a]) ||
            !source.read_int("Stiles", 0, a, tiles[a]) ||
            !source.read_int("Stile_origin", 0, a, tile_origin[a]))
            fail("Unable to copy SIZ parameters");
    if (transpose) {
        std::swap(size[0], size[1]);
        std::swap(origin[0], origin[1]);
        std::swap(tiles[0], tiles[1]);
        std::swap(tile_origin[0], tile_origin[1]);
    }
    const bool flip[2] = {vflip, hflip};
    for (int a = 0; a < 2; ++a) {
        if (!flip[a]) continue;
        // Mirror the axis: the canvas from 1 - end to 1 - origin, the tile
        // origin mirrored and moved back by whole tiles to before the origin.
        if (static_cast<int64_t>(tile_origin[a]) + tiles[a] >= size[a]) {
            int64_t t = 1;
            while (t < tiles[a])
                t <<= 1;
            tiles[a] = static_cast<int>(std::min<int64_t>(t, 0x7FFFFFFF));
        }
        int new_origin = 1 - size[a], new_end = 1 - origin[a];
        int64_t new_tile_origin = 1 - static_cast<int64_t>(tile_origin[a]);
        while (new_tile_origin > new_origin)
            new_tile_origin -= tiles[a];
        origin[a] = new_origin;
        size[a] = new_end;
        tile_origin[a] = static_cast<int>(new_tile_origin);
    }
    for (int a = 0; a < 2; ++a) {
        put_int("Ssize", 0, a, size[a]);
        put_int("Sorigin", 0, a, origin[a]);
        put_int("Stiles", 0, a, tiles[a]);
        put_int("Stile_origin", 0, a, tile_origin[a]);
    }
    int comps = 0;
    if (source.read_int("Scomponents", 0, 0, comps)) {
        comps -= first_component;
        if (comps <= 0) fail("Attempt to discard all components from code-stream");
        put_int("Scomponents", 0, 0, comps);
    } else {
        comps = std::max(source.own_records("Sprecision"), source.own_records("Ssampling"));
        comps -= first_component;
    }
    for (int c = 0; c < comps; ++c) {
        const int s = c + first_component;
        int depth;
        bool is_signed;
        if (source.read_int("Sprecision", s, 0, depth)) put_int("Sprecision", c, 0, depth);
        if (source.read_bool("Ssigned", s, 0, is_signed)) put_bool("Ssigned", c, 0, is_signed);
        int f[2];
        if (source.read_int("Ssampling", s, 0, f[0]) && source.read_int("Ssampling", s, 1, f[1])) {
            if (transpose) std::swap(f[0], f[1]);
            for (int a = 0; a < 2; ++a) {
                int64_t v = static_cast<int64_t>(f[a]) << std::min(discard_levels, 32);
                if (v >= 256) fail("Invalid SIZ marker");
                put_int("Ssampling", c, a, static_cast<int>(v));
            }
        }
    }
}

} // namespace j2k
