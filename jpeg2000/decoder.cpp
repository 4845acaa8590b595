#include "jpeg2000/decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "jpeg2000/tag_tree.h"
#include "jpeg2000/block_decoder.h"
#include "jpeg2000/codestream_state.h"
#include "jpeg2000/messages.h"

namespace j2k {

namespace {

// Packet data ran out.
struct truncated {};

// Packet-header bits: most significant first, 7 bits in a byte after 0xFF.
class bit_reader {
public:
    bit_reader(const uint8_t* p, const uint8_t* end) : p_(p), end_(end) {}
    int bit() {
        if (n_ == 0) {
            if (p_ == end_) throw truncated{};
            n_ = last_ == 0xFF ? 7 : 8;
            last_ = *p_++;
        }
        --n_;
        return last_ >> n_ & 1;
    }
    uint32_t bits(int n) {
        uint32_t v = 0;
        while (n--)
            v = v << 1 | static_cast<uint32_t>(bit());
        return v;
    }
    // The end of the header: a final 0xFF is followed by a stuffed byte.
    const uint8_t* finish() {
        if (last_ == 0xFF) {
            if (p_ == end_) throw truncated{};
            ++p_;
        }
        return p_;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
    uint8_t last_ = 0;
    int n_ = 0;
};

struct code_block {
    std::vector<uint8_t> data;
    std::vector<block_segment> segments;
    int passes = 0, missing = 0, lblock = 3;
    bool included = false;
};

struct band_blocks {
    const subband_state* band;
    std::vector<code_block> blocks;
};

struct precinct_band {
    coords first, count; // code-blocks, as indices within the band
    tag_tree inclusion, zero_planes;
};

struct precinct {
    std::vector<precinct_band> bands;
};

// A tile-component's coefficients: integers on the reversible path, floats
// on the irreversible one.
struct coefficient_plane {
    std::vector<int32_t> ints;
    std::vector<float> floats;
};

struct resolution_blocks {
    const resolution_state* resolution;
    std::vector<band_blocks> bands;
    std::unordered_map<int64_t, precinct> precincts;
};

void cells(const rect& r, coords origin, coords exponent, coords& first, coords& count) {
    if (r.empty()) {
        first = count = {0, 0};
        return;
    }
    const int64_t ny = int64_t{1} << exponent.y, nx = int64_t{1} << exponent.x;
    first = {floor_div(r.pos.y - origin.y, ny), floor_div(r.pos.x - origin.x, nx)};
    count = {ceil_div(r.end().y - origin.y, ny) - first.y,
             ceil_div(r.end().x - origin.x, nx) - first.x};
}

int pass_count(bit_reader& br) {
    if (!br.bit()) return 1;
    if (!br.bit()) return 2;
    uint32_t v = br.bits(2);
    if (v != 3) return 3 + static_cast<int>(v);
    v = br.bits(5);
    if (v != 31) return 6 + static_cast<int>(v);
    return 37 + static_cast<int>(br.bits(7));
}

int floor_log2(int v) {
    int n = 0;
    while (v > 1) {
        v >>= 1;
        ++n;
    }
    return n;
}

// Reads the packets of one tile and decodes its components.
class tile_decoder {
public:
    tile_decoder(tile_state& t, const std::vector<uint8_t>& data) : tile_(t), data_(data) {}
    // False when the data ended before the last packet.
    bool read_packets();
    // The component's samples after the inverse transform (before the DC
    // level shift): integers, or floats in the same storage.
    void reconstruct(int c, coefficient_plane& out);

private:
    precinct& precinct_at(int c, int r, int64_t p);
    void read_packet(const packet_position& pos);
    template <typename T>
    void inverse_transform(const tile_component_state& tc, T* buf);

    tile_state& tile_;
    const std::vector<uint8_t>& data_;
    size_t at_ = 0;
    std::vector<uint8_t> packed_;
    size_t packed_at_ = 0;
    std::vector<std::vector<resolution_blocks>> comps_;
    block_decoder decoder_;
};

precinct& tile_decoder::precinct_at(int c, int r, int64_t p) {
    resolution_blocks& rb = comps_[c][r];
    auto found = rb.precincts.find(p);
    if (found != rb.precincts.end()) return found->second;
    precinct& pr = rb.precincts[p];
    const resolution_state& rs = *rb.resolution;
    const coords cell = {rs.first_precinct.y + p / rs.precinct_count.x,
                         rs.first_precinct.x + p % rs.precinct_count.x};
    const int shrink = r == 0 ? 0 : 1;
    const coords e = {rs.precinct_exponent.y - shrink, rs.precinct_exponent.x - shrink};
    for (band_blocks& bb : rb.bands) {
        const subband_state& sb = *bb.band;
        precinct_band pb;
        const rect area = {{cell.y << e.y, cell.x << e.x}, {int64_t{1} << e.y, int64_t{1} << e.x}};
        const rect clip = rect_intersect(area, sb.region);
        cells(clip, sb.block_origin, {log2_exact(sb.block_size.y), log2_exact(sb.block_size.x)},
              pb.first, pb.count);
        pb.first = {pb.first.y - sb.first_block.y, pb.first.x - sb.first_block.x};
        if (pb.count.y > 0 && pb.count.x > 0) {
            pb.inclusion.init(pb.count.y, pb.count.x);
            pb.zero_planes.init(pb.count.y, pb.count.x);
        }
        pr.bands.push_back(std::move(pb));
    }
    return pr;
}

bool tile_decoder::read_packets() {
    comps_.resize(tile_.components.size());
    for (size_t c = 0; c < tile_.components.size(); ++c) {
        const tile_component_state& tc = tile_.components[c];
        for (const resolution_state& rs : tc.resolutions) {
            resolution_blocks rb;
            rb.resolution = &rs;
            for (const subband_state& sb : rs.bands) {
                band_blocks bb;
                bb.band = &sb;
                bb.blocks.resize(static_cast<size_t>(sb.block_count.y * sb.block_count.x));
                rb.bands.push_back(std::move(bb));
            }
            comps_[c].push_back(std::move(rb));
        }
    }
    if (tile_.packed_headers) {
        uint8_t b;
        while (tile_.packed_headers->get_byte(b))
            packed_.push_back(b);
    }
    packet_position pos;
    try {
        progression_walker& walker = tile_ref(&tile_).walker();
        while (walker.next(pos))
            read_packet(pos);
    } catch (truncated&) {
        warning_report w;
        w << "Code-stream data of tile " << tile_.index << " end before its last packet";
        return false;
    }
    return true;
}

void tile_decoder::read_packet(const packet_position& pos) {
    resolution_blocks& rb = comps_[pos.component][pos.resolution];
    precinct& pr = precinct_at(pos.component, pos.resolution, pos.precinct);
    const int modes = tile_.components[pos.component].modes;
    const uint8_t* const base = data_.data();
    const size_t size = data_.size();
    if (tile_.sop && at_ + 6 <= size && base[at_] == 0xFF && base[at_ + 1] == 0x91) at_ += 6;
    const bool packed = tile_.packed_headers != nullptr;
    bit_reader br = packed
                        ? bit_reader(packed_.data() + packed_at_, packed_.data() + packed_.size())
                        : bit_reader(base + at_, base + size);
    // What the header gives each included block, applied once the header
    // has been read whole.
    struct piece {
        code_block* block;
        int passes;
        int64_t length;
        bool new_segment;
    };
    std::vector<piece> pieces;
    if (br.bit()) {
        for (size_t b = 0; b < rb.bands.size(); ++b) {
            band_blocks& bb = rb.bands[b];
            precinct_band& pb = pr.bands[b];
            const int planes = bb.band->roi_magnitude_bits;
            for (int64_t y = 0; y < pb.count.y; ++y)
                for (int64_t x = 0; x < pb.count.x; ++x) {
                    const int64_t leaf = y * pb.count.x + x;
                    code_block& cb =
                        bb.blocks[(pb.first.y + y) * bb.band->block_count.x + pb.first.x + x];
                    const bool in =
                        cb.included ? br.bit() != 0 : pb.inclusion.decode(br, leaf, pos.layer + 1);
                    if (!in) continue;
                    if (!cb.included) {
                        int threshold = 1;
                        while (!pb.zero_planes.decode(br, leaf, threshold))
                            if (++threshold > 64)
                                fail("Corrupt packet header: too many missing bit-planes");
                        cb.missing = pb.zero_planes.value(leaf);
                        cb.included = true;
                    }
                    const int n = pass_count(br);
                    while (br.bit())
                        if (++cb.lblock > 32)
                            fail("Corrupt packet header: code-block length bits beyond 32");
                    if (cb.missing > planes || cb.passes + n > 3 * (planes - cb.missing) - 2)
                        fail(
                            "Corrupt packet header: more coding passes than the code-block's "
                            "bit-planes allow");
                    // Split the new passes at the codeword segment boundaries.
                    int done = cb.passes;
                    int seg_start = -1, seg_passes = 0;
                    if (!cb.segments.empty()) {
                        seg_passes = cb.segments.back().passes;
                        seg_start = cb.passes - seg_passes;
                    }
                    for (int left = n; left > 0;) {
                        int room =
                            seg_start < 0 ? 0 : segment_pass_limit(modes, seg_start) - seg_passes;
                        const bool fresh = room <= 0;
                        if (fresh) {
                            seg_start = done;
                            seg_passes = 0;
                            room = segment_pass_limit(modes, done);
                        }
                        const int k = std::min(room, left);
                        const int64_t length = br.bits(cb.lblock + floor_log2(k));
                        pieces.push_back({&cb, k, length, fresh});
                        seg_passes += k;
                        done += k;
                        left -= k;
                    }
                }
        }
    }
    const uint8_t* end = br.finish();
    const uint8_t* limit = packed ? packed_.data() + packed_.size() : base + size;
    if (tile_.eph && end + 2 <= limit && end[0] == 0xFF && end[1] == 0x92) end += 2;
    if (packed)
        packed_at_ = static_cast<size_t>(end - packed_.data());
    else
        at_ = static_cast<size_t>(end - base);
    bool short_data = false;
    for (const piece& p : pieces) {
        code_block& cb = *p.block;
        const int64_t take = std::min<int64_t>(p.length, static_cast<int64_t>(size - at_));
        if (p.new_segment) cb.segments.push_back({});
        cb.segments.back().passes += p.passes;
        cb.segments.back().length += take;
        cb.passes += p.passes;
        cb.data.insert(cb.data.end(), base + at_, base + at_ + take);
        at_ += static_cast<size_t>(take);
        if (take < p.length) short_data = true;
    }
    if (short_data) throw truncated{};
}

// One-dimensional synthesis on `lanes` signals side by side: sample j of
// lane l at x[j * lanes + l], j from -pad to n + pad - 1, coordinate i0 + j;
// the samples 0..n-1 hold the interleaved low and high halves on entry and
// the signal on return.
constexpr int lifting_pad = 4;

template <typename T>
void lift(T* x, int64_t n, int64_t i0, int64_t lanes) {
    if (n == 1) {
        if (i0 & 1)
            for (int64_t l = 0; l < lanes; ++l) {
                if constexpr (std::is_integral_v<T>)
                    x[l] >>= 1;
                else
                    x[l] /= 2;
            }
        return;
    }
    // Whole-sample symmetric extension.
    const int64_t period = 2 * (n - 1);
    for (int64_t k = 1; k <= lifting_pad; ++k) {
        int64_t m = k % period;
        if (m >= n) m = period - m;
        std::memcpy(x - k * lanes, x + m * lanes, static_cast<size_t>(lanes) * sizeof(T));
        int64_t e = (n - 1 + k) % period;
        if (e >= n) e = period - e;
        std::memcpy(x + (n - 1 + k) * lanes, x + e * lanes, static_cast<size_t>(lanes) * sizeof(T));
    }
    // A step on parity q updates the positions whose coordinate has parity q
    // and both neighbours in range.
    auto step = [&](int parity, auto&& update) {
        int64_t j = -lifting_pad + 1;
        if (((i0 + j) & 1) != parity) ++j;
        for (; j < n + lifting_pad - 1; j += 2) {
            T* t = x + j * lanes;
            const T* a = t - lanes;
            const T* b = t + lanes;
            for (int64_t l = 0; l < lanes; ++l)
                t[l] = update(t[l], a[l], b[l]);
        }
    };
    if constexpr (std::is_integral_v<T>) {
        // 64-bit sums: damaged data may hold any 32-bit values.
        step(0, [](T t, T a, T b) {
            return static_cast<T>(int64_t{t} - ((int64_t{a} + b + 2) >> 2));
        });
        step(1, [](T t, T a, T b) { return static_cast<T>(int64_t{t} + ((int64_t{a} + b) >> 1)); });
    } else {
        constexpr float alpha = -1.586134342059924f, beta = -0.052980118572961f,
                        gamma = 0.882911075530934f, delta = 0.443506852043971f,
                        kappa = 1.230174104914001f;
        for (int64_t j = -lifting_pad; j < n + lifting_pad; ++j) {
            const float f = ((i0 + j) & 1) ? 1 / kappa : kappa;
            T* t = x + j * lanes;
            for (int64_t l = 0; l < lanes; ++l)
                t[l] *= f;
        }
        step(0, [](T t, T a, T b) { return t - delta * (a + b); });
        step(1, [](T t, T a, T b) { return t - gamma * (a + b); });
        step(0, [](T t, T a, T b) { return t - beta * (a + b); });
        step(1, [](T t, T a, T b) { return t - alpha * (a + b); });
    }
}

template <typename T>
void tile_decoder::inverse_transform(const tile_component_state& tc, T* buf) {
    constexpr int64_t strip = 16; // columns lifted together
    const int64_t width = tc.region.size.x;
    std::vector<T> work;
    for (int r = 1; r <= tc.levels; ++r) {
        const rect reg = tc.resolutions[r].region;
        if (reg.empty()) continue;
        const int64_t n_max = std::max(reg.size.x, reg.size.y) + 2 * lifting_pad;
        work.resize(static_cast<size_t>(n_max * strip));
        // Rows: the low half then the high half, interleaved by coordinate.
        {
            const int64_t n = reg.size.x, k0 = reg.pos.x & 1, low = (n + 1 - k0) / 2;
            T* x = work.data() + lifting_pad;
            for (int64_t y = 0; y < reg.size.y; ++y) {
                T* line = buf + y * width;
                for (int64_t j = 0; j < low; ++j)
                    x[k0 + 2 * j] = line[j];
                for (int64_t j = 0; j < n - low; ++j)
                    x[1 - k0 + 2 * j] = line[low + j];
                lift<T>(x, n, reg.pos.x, 1);
                std::memcpy(line, x, static_cast<size_t>(n) * sizeof(T));
            }
        }
        // Columns, a strip at a time.
        {
            const int64_t n = reg.size.y, k0 = reg.pos.y & 1, low = (n + 1 - k0) / 2;
            for (int64_t x0 = 0; x0 < reg.size.x; x0 += strip) {
                const int64_t lanes = std::min(strip, reg.size.x - x0);
                const size_t bytes = static_cast<size_t>(lanes) * sizeof(T);
                T* x = work.data() + lifting_pad * lanes;
                for (int64_t j = 0; j < low; ++j)
                    std::memcpy(x + (k0 + 2 * j) * lanes, buf + j * width + x0, bytes);
                for (int64_t j = 0; j < n - low; ++j)
                    std::memcpy(x + (1 - k0 + 2 * j) * lanes, buf + (low + j) * width + x0, bytes);
                lift<T>(x, n, reg.pos.y, lanes);
                for (int64_t j = 0; j < n; ++j)
                    std::memcpy(buf + j * width + x0, x + j * lanes, bytes);
            }
        }
    }
}

void tile_decoder::reconstruct(int c, coefficient_plane& out) {
    const tile_component_state& tc = tile_.components[c];
    const int64_t width = tc.region.size.x;
    const size_t count = static_cast<size_t>(tc.region.size.y * width);
    if (tc.reversible)
        out.ints.assign(count, 0);
    else
        out.floats.assign(count, 0.0f);
    std::vector<uint32_t> samples;
    for (int r = 0; r <= tc.levels; ++r) {
        const resolution_blocks& rb = comps_[c][r];
        const coords lower = r == 0 ? coords{0, 0} : tc.resolutions[r - 1].region.size;
        for (const band_blocks& bb : rb.bands) {
            const subband_state& sb = *bb.band;
            const coords offset = {sb.orientation >= 2 ? lower.y : 0,
                                   (sb.orientation & 1) ? lower.x : 0};
            const int k = sb.magnitude_bits, kr = sb.roi_magnitude_bits;
            const int shift = 31 - k;
            const int gain = sb.orientation == 0 ? 0 : sb.orientation == 3 ? 2 : 1;
            const float step =
                static_cast<float>(sb.step * std::ldexp(1.0, tc.precision + gain - shift));
            for (int64_t by = 0; by < sb.block_count.y; ++by)
                for (int64_t bx = 0; bx < sb.block_count.x; ++bx) {
                    const code_block& cb = bb.blocks[by * sb.block_count.x + bx];
                    if (!cb.passes) continue;
                    const coords cell = {sb.first_block.y + by, sb.first_block.x + bx};
                    const rect area = {{sb.block_origin.y + cell.y * sb.block_size.y,
                                        sb.block_origin.x + cell.x * sb.block_size.x},
                                       sb.block_size};
                    const rect blk = rect_intersect(area, sb.region);
                    samples.resize(static_cast<size_t>(blk.size.y * blk.size.x));
                    block_coding coding;
                    coding.width = static_cast<int>(blk.size.x);
                    coding.height = static_cast<int>(blk.size.y);
                    coding.orientation = sb.orientation;
                    coding.modes = tc.modes;
                    coding.planes = kr;
                    coding.missing_msbs = cb.missing;
                    coding.segments = cb.segments;
                    coding.data = cb.data.data();
                    decoder_.decode(coding, samples.data());
                    if (kr > k) {
                        const uint32_t background = (0x7FFFFFFFu >> k);
                        for (uint32_t& w : samples)
                            if ((w & 0x7FFFFFFF) && !((w & 0x7FFFFFFF) & ~background))
                                w = (w & 0x80000000u) | ((w & 0x7FFFFFFF) << (kr - k));
                    }
                    for (int64_t y = 0; y < blk.size.y; ++y) {
                        const int64_t at = (offset.y + blk.pos.y - sb.region.pos.y + y) * width +
                                           offset.x + blk.pos.x - sb.region.pos.x;
                        const uint32_t* src = samples.data() + y * blk.size.x;
                        if (tc.reversible) {
                            int32_t* dst = out.ints.data() + at;
                            for (int64_t x = 0; x < blk.size.x; ++x) {
                                const uint32_t w = src[x];
                                const int32_t v = static_cast<int32_t>((w & 0x7FFFFFFF) >> shift);
                                dst[x] = (w >> 31) ? -v : v;
                            }
                        } else {
                            // The sign bit moves over as the float's sign bit.
                            float* fdst = out.floats.data() + at;
                            for (int64_t x = 0; x < blk.size.x; ++x) {
                                const uint32_t w = src[x];
                                float f =
                                    static_cast<float>(static_cast<int32_t>(w & 0x7FFFFFFF)) * step;
                                uint32_t bits;
                                std::memcpy(&bits, &f, 4);
                                bits |= w & 0x80000000u;
                                std::memcpy(&f, &bits, 4);
                                fdst[x] = f;
                            }
                        }
                    }
                }
        }
    }
    if (tc.reversible)
        inverse_transform<int32_t>(tc, out.ints.data());
    else
        inverse_transform<float>(tc, out.floats.data());
}

void read_all_tile_parts(codestream_state& s, std::vector<std::vector<uint8_t>>& data) {
    uint8_t chunk[4096];
    while (s.read_tile_part_header()) {
        std::vector<uint8_t>& d = data[static_cast<size_t>(s.current_tile)];
        int64_t left = s.current_left;
        while (left != 0) {
            const int want = left < 0 ? static_cast<int>(sizeof chunk)
                                      : static_cast<int>(std::min<int64_t>(left, sizeof chunk));
            const int got = s.in->read(chunk, want);
            if (got <= 0) break;
            d.insert(d.end(), chunk, chunk + got);
            if (left > 0) left -= got;
        }
        if (s.current_left > 0) s.current_left = 0;
    }
}

} // namespace

std::vector<component_image> codestream_decoder::decode(codestream_ref cs, bool* complete) {
    if (complete) *complete = true;
    codestream_state& s = *cs.s_;
    const int n = cs.component_count();
    std::vector<std::vector<uint8_t>> data(static_cast<size_t>(s.tile_count()));
    read_all_tile_parts(s, data);
    // A few bytes can declare a vast image of nothing: the samples are
    // bounded by the coded data before anything is allocated.
    int64_t bytes = 0, samples = 0;
    for (const std::vector<uint8_t>& d : data)
        bytes += static_cast<int64_t>(d.size());
    for (int c = 0; c < n; ++c) {
        const rect e = cs.component_extent(c);
        samples += e.size.y * e.size.x;
    }
    if (samples > std::max<int64_t>(int64_t{1} << 24, 8192 * bytes) || samples > (int64_t{1} << 32))
        fail("The code-stream holds too little data for the image size it declares");
    std::vector<component_image> images(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c) {
        const rect e = cs.component_extent(c);
        component_image& im = images[c];
        im.width = e.size.x;
        im.height = e.size.y;
        im.precision = cs.sample_precision(c);
        im.is_signed = cs.sample_signed(c);
        im.samples.assign(static_cast<size_t>(im.width * im.height), 0);
    }
    coords first, count;
    cs.tile_index_range(first, count);
    for (int64_t ty = first.y; ty < first.y + count.y; ++ty)
        for (int64_t tx = first.x; tx < first.x + count.x; ++tx) {
            tile_ref t = cs.fetch_tile(static_cast<int>(ty), static_cast<int>(tx));
            tile_state& ts = *t.t_;
            tile_decoder td(ts, data[static_cast<size_t>(ts.index)]);
            if (!td.read_packets() && complete) *complete = false;
            std::vector<uint8_t>().swap(data[static_cast<size_t>(ts.index)]);
            const bool ycc = t.uses_colour_transform();
            // Each component's plane is written out and dropped as soon as it
            // is complete; the colour transform needs the first three at once.
            auto emit = [&](int c, coefficient_plane& plane) {
                const tile_component_state& tc = ts.components[c + s.first_component];
                component_image& im = images[c];
                im.reversible = tc.reversible;
                im.colour_transform = ycc && c < 3;
                const rect ce = cs.component_extent(c);
                const int p = im.precision;
                const int32_t shift = im.is_signed ? 0 : int32_t{1} << (p - 1);
                const int32_t lo = im.is_signed ? -(int32_t{1} << (p - 1)) : 0;
                const int32_t hi = im.is_signed ? (int32_t{1} << (p - 1)) - 1
                                                : static_cast<int32_t>((int64_t{1} << p) - 1);
                const int64_t w = tc.region.size.x;
                for (int64_t y = 0; y < tc.region.size.y; ++y) {
                    int32_t* dst = im.samples.data() + (tc.region.pos.y - ce.pos.y + y) * im.width +
                                   tc.region.pos.x - ce.pos.x;
                    if (tc.reversible) {
                        const int32_t* src = plane.ints.data() + y * w;
                        for (int64_t x = 0; x < w; ++x)
                            dst[x] = static_cast<int32_t>(
                                std::clamp<int64_t>(int64_t{src[x]} + shift, lo, hi));
                        continue;
                    }
                    // Round to nearest in the float domain, clamped first so
                    // that damaged data (even NaN) converts safely.
                    const float flo = static_cast<float>(lo - shift),
                                fhi = static_cast<float>(hi - shift);
                    const float* src = plane.floats.data() + y * w;
                    for (int64_t x = 0; x < w; ++x) {
                        float f = src[x] + 0.5f;
                        f = f >= flo ? (f <= fhi + 0.5f ? f : fhi) : flo;
                        int32_t v = static_cast<int32_t>(f);
                        if (static_cast<float>(v) > f) --v;
                        dst[x] = std::clamp(v + shift, lo, hi);
                    }
                }
                plane = {};
            };
            coefficient_plane planes[3];
            int c = 0;
            if (ycc) {
                for (; c < 3; ++c)
                    td.reconstruct(c + s.first_component, planes[c]);
                if (ts.components[0].reversible) {
                    int32_t* p0 = planes[0].ints.data();
                    int32_t* p1 = planes[1].ints.data();
                    int32_t* p2 = planes[2].ints.data();
                    for (size_t i = 0; i < planes[0].ints.size(); ++i) {
                        const int64_t y = p0[i], cb = p1[i], cr = p2[i];
                        const int64_t g = y - ((cb + cr) >> 2);
                        p0[i] = static_cast<int32_t>(cr + g);
                        p1[i] = static_cast<int32_t>(g);
                        p2[i] = static_cast<int32_t>(cb + g);
                    }
                } else {
                    float* p0 = planes[0].floats.data();
                    float* p1 = planes[1].floats.data();
                    float* p2 = planes[2].floats.data();
                    for (size_t i = 0; i < planes[0].floats.size(); ++i) {
                        const float y = p0[i], cb = p1[i], cr = p2[i];
                        p0[i] = y + 1.402f * cr;
                        p1[i] = y - 0.3441362862010222f * cb - 0.7141362862010222f * cr;
                        p2[i] = y + 1.772f * cb;
                    }
                }
                for (int k = 0; k < 3; ++k)
                    emit(k, planes[k]);
            }
            for (; c < n; ++c) {
                td.reconstruct(c + s.first_component, planes[0]);
                emit(c, planes[0]);
            }
            t.release();
        }
    return images;
}

std::vector<component_image> codestream_decoder::decode(codestream_source& source, bool* complete) {
    codestream_ref cs = codestream_ref::create_input(&source);
    struct disposer {
        codestream_ref& cs;
        ~disposer() { cs.dispose(); }
    } guard{cs};
    return decode(cs, complete);
}

} // namespace j2k
