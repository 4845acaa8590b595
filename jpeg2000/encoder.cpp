#include "jpeg2000/encoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "jpeg2000/block_pool.h"
#include "jpeg2000/byte_buffers.h"
#include "jpeg2000/codestream_state.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/progression.h"
#include "jpeg2000/split_stages.h"
#include "jpeg2000/tag_tree.h"

namespace j2k {

namespace {

struct block_record {
    encoded_block coded;
    std::vector<int> layer_passes; // cumulative passes after each layer
    // Packet-writing state.
    int sent = 0, lblock = 3;
};

struct precinct_band {
    int64_t band_first_x = 0, stride = 0; // block index of the first block, row pitch
    coords count;
    tag_tree inclusion, zero_planes;
};

struct resolution_record {
    const resolution_state* rs;
    std::vector<std::vector<block_record>> bands;      // per band, blocks in raster order
    std::vector<std::vector<precinct_band>> precincts; // per precinct, per band
};

int floor_log2(int64_t v) {
    return 63 - std::countl_zero(static_cast<uint64_t>(v | 1));
}

void put_pass_count(header_bit_writer& w, int n) {
    if (n == 1) {
        w.put_bit(0);
    } else if (n == 2) {
        w.put_bits(2, 2);
    } else if (n <= 5) {
        w.put_bits(3, 2);
        w.put_bits(static_cast<uint32_t>(n - 3), 2);
    } else if (n <= 36) {
        w.put_bits(15, 4);
        w.put_bits(static_cast<uint32_t>(n - 6), 5);
    } else {
        w.put_bits(0x1FF, 9);
        w.put_bits(static_cast<uint32_t>(n - 37), 7);
    }
}

class tile_encoder {
public:
    tile_encoder(tile_state& t, block_pool& pool) : tile_(t), pool_(pool) {}
    // Transforms, quantises and codes every code-block.
    void code(codestream_ref cs, sample_source& source);
    // Chooses each layer's passes to keep the tile within its byte budgets
    // (cumulative, 0: none of its own). Sets missed[l] for each layer whose
    // own budget even its fewest passes exceed.
    void allocate(const std::vector<int64_t>& budgets, std::vector<bool>& missed);
    // The packets in progression order.
    // Writes the tile's packets in progression order, one tile-part per
    // progression (the tile's order, or each instance of its order
    // changes): a dry walk measures the tile-parts, then the packets go
    // straight to the output after their headers.
    void write(codestream_ref cs, codestream_output_buffer& out);

private:
    void build_precincts(int c);
    // Passes with slopes of at least the threshold; 0: all, 0x10000: none.
    void choose_passes(int layer, int threshold);
    void reset_packet_state();
    // Packets of the tile so far: the SOP markers' sequence number.
    int64_t packets_written_ = 0;
    // Writes (or, with out null, counts) one packet; its bytes.
    int64_t packet(int c, int r, int64_t p, int layer, codestream_output_buffer* out);
    int64_t size_through(int layer);
    // The packets of tile-part k (out null: measured only); false when it
    // holds none.
    bool walk_part(int k, codestream_output_buffer* out, int64_t& bytes);

    tile_state& tile_;
    std::vector<std::vector<resolution_record>> comps_;
    block_pool& pool_;
};

// Quantises the rows of one subband and codes its code-blocks a row of
// blocks at a time, as soon as the row is complete.
template <typename T>
class band_coder final : public row_sink<T> {
public:
    band_coder(const tile_component_state& tc, const subband_state& sb,
               std::vector<block_record>& blocks, block_pool& pool, roi_node* mask)
        : sb_(sb), blocks_(blocks), pool_(pool), mask_(mask) {
        const int k = sb.magnitude_bits;
        if (k > 31) fail("Too many magnitude bit-planes for the code-block encoder");
        up_shift_ = sb.roi_magnitude_bits - k;
        if (mask_ && up_shift_ > 0 && up_shift_ < k) fail("Value for ROI up-shift too small");
        const int gain = sb.orientation == 0 ? 0 : sb.orientation == 3 ? 2 : 1;
        // The absolute step: 9/7 steps are relative to the nominal range of
        // the normalised bands, whose high-pass coefficients are half the
        // transform's.
        inv_step_ = tc.reversible ? 1.0 : 1 / (sb.step * std::ldexp(1.0, tc.precision + gain));
        shift_ = 31 - k;
        limit_ = k >= 31 ? 0x7FFFFFFFu : (1u << k) - 1;
        block_.orientation = sb.orientation;
        block_.modes = tc.modes;
        block_.planes = k;
        block_.reversible = tc.reversible;
        // The squared error of magnitude bit 30 relative to the nominal
        // range, through the synthesis energy gain of the band's
        // normalisation (the 5/3 bands are their own) and the band's weight.
        const double msb =
            std::ldexp(tc.reversible ? std::ldexp(1.0, -tc.precision) : sb.step, k - 1);
        weight_ = msb * msb * sb.energy_gain * sb.weight * sb.weight * std::ldexp(1.0, 16);
        buffer_.resize(static_cast<size_t>(sb.block_size.y * sb.region.size.x));
        if (mask_) masks_.resize(buffer_.size());
        start_row();
    }

    void accept(T* row) override {
        const int64_t w = sb_.region.size.x;
        std::copy(row, row + w, buffer_.data() + filled_ * w);
        if (mask_) mask_->pull(masks_.data() + filled_ * w, w);
        if (++filled_ == rows_) {
            code_row();
            ++block_row_;
            start_row();
        }
    }

private:
    // The rows of the next row of blocks.
    void start_row() {
        filled_ = 0;
        const int64_t top =
            sb_.block_origin.y + (sb_.first_block.y + block_row_) * sb_.block_size.y;
        rows_ =
            std::min(top + sb_.block_size.y, sb_.region.end().y) - std::max(top, sb_.region.pos.y);
    }

    void code_row() {
        const int64_t w = sb_.region.size.x;
        for (int64_t bx = 0; bx < sb_.block_count.x; ++bx) {
            const int64_t left = sb_.block_origin.x + (sb_.first_block.x + bx) * sb_.block_size.x;
            const int64_t x0 = std::max(left, sb_.region.pos.x);
            const int64_t x1 = std::min(left + sb_.block_size.x, sb_.region.end().x);
            if (x1 <= x0) continue;
            const int64_t bw = x1 - x0;
            std::vector<uint32_t> samples = pool_.buffer();
            samples.resize(static_cast<size_t>(bw * rows_));
            for (int64_t y = 0; y < rows_; ++y) {
                const T* src = buffer_.data() + y * w + x0 - sb_.region.pos.x;
                uint32_t* dst = samples.data() + y * bw;
                for (int64_t x = 0; x < bw; ++x)
                    dst[x] = quantise(src[x]);
            }
            block_.width = static_cast<int>(bw);
            block_.height = static_cast<int>(rows_);
            block_.planes = sb_.magnitude_bits;
            block_.weight = weight_;
            if (mask_) apply_region(samples, x0 - sb_.region.pos.x, bw);
            pool_.submit(block_, std::move(samples),
                         &blocks_[block_row_ * sb_.block_count.x + bx].coded);
        }
    }

    // The max-shift method: samples outside the region go down by the
    // up-shift, below every sample inside it, and the block is coded over
    // the extra planes when it has any; a block touching the region takes
    // the region's weight.
    void apply_region(std::vector<uint32_t>& samples, int64_t x0, int64_t bw) {
        const int64_t w = sb_.region.size.x;
        bool inside = false, outside = false;
        for (int64_t y = 0; y < rows_; ++y) {
            const uint8_t* m = masks_.data() + y * w + x0;
            uint32_t* v = samples.data() + y * bw;
            for (int64_t x = 0; x < bw; ++x) {
                if (m[x]) {
                    inside = true;
                    continue;
                }
                if (up_shift_ <= 0) continue;
                outside = true;
                const uint32_t magnitude = (v[x] & 0x7FFFFFFF) >> up_shift_;
                v[x] = magnitude ? (v[x] & 0x80000000u) | magnitude : 0;
            }
        }
        if (outside) block_.planes = std::min(sb_.roi_magnitude_bits, 31);
        if (inside && sb_.roi_weight >= 0) block_.weight = weight_ * sb_.roi_weight;
    }

    // Sign-magnitude with the subband's top magnitude bit at bit 30.
    uint32_t quantise(T v) const {
        uint32_t m, neg;
        if constexpr (std::is_integral_v<T>) {
            neg = v < 0;
            const int64_t a = v < 0 ? -int64_t{v} : v;
            m = static_cast<uint32_t>(std::min<int64_t>(a, limit_));
        } else {
            neg = v < 0;
            // Truncation is the floor here: the value is not negative.
            const double q = std::fabs(v) * inv_step_;
            m = q >= limit_ ? limit_ : static_cast<uint32_t>(q);
        }
        return m ? (m << shift_) | (neg << 31) : 0;
    }

    const subband_state& sb_;
    std::vector<block_record>& blocks_;
    block_pool& pool_;
    roi_node* mask_; // region-of-interest mask rows, or null
    int up_shift_ = 0;
    double weight_ = 0;
    std::vector<uint8_t> masks_; // the mask rows of the current row of blocks
    block_source block_;
    double inv_step_ = 1;
    int shift_ = 0;
    uint32_t limit_ = 0;
    std::vector<T> buffer_; // the rows of the current row of blocks
    int64_t block_row_ = 0, rows_ = 0, filled_ = 0;
};

// The region-of-interest rows of one tile-component, from the source.
class source_mask final : public roi_node {
public:
    source_mask(sample_source& source, int c, int64_t y, int64_t x0)
        : source_(source), c_(c), y_(y), x0_(x0) {}
    void pull(uint8_t* line, int64_t width) override {
        source_.region_row(c_, y_++, x0_, width, line);
    }

private:
    sample_source& source_;
    int c_;
    int64_t y_, x0_;
};

template <typename T>
std::unique_ptr<row_sink<T>> make_component_stages(const tile_component_state& tc,
                                                   std::vector<resolution_record>& records,
                                                   block_pool& pool, roi_node* mask) {
    return make_split_stages(
        tc, tc.levels, band_sink_maker<T>([&](int r, int b, roi_node* band_mask) {
            return std::unique_ptr<row_sink<T>>(new band_coder<T>(
                tc, tc.resolutions[r].bands[b], records[r].bands[b], pool, band_mask));
        }),
        mask);
}

void tile_encoder::code(codestream_ref cs, sample_source& source) {
    // Should the tile fail, blocks still being coded write into its records:
    // those are dropped or waited for first.
    struct cancel_guard {
        block_pool& pool;
        bool done = false;
        ~cancel_guard() {
            if (!done) pool.cancel();
        }
    } guard{pool_};
    const int n = static_cast<int>(tile_.components.size());
    comps_.resize(static_cast<size_t>(n));
    // The masks before the stages, which pull their rows.
    std::vector<std::unique_ptr<source_mask>> masks(static_cast<size_t>(n));
    std::vector<std::unique_ptr<row_sink<int32_t>>> int_stages(static_cast<size_t>(n));
    std::vector<std::unique_ptr<row_sink<float>>> float_stages(static_cast<size_t>(n));
    int64_t height = 0;
    for (int c = 0; c < n; ++c) {
        const tile_component_state& tc = tile_.components[c];
        for (int r = 0; r <= tc.levels; ++r) {
            const resolution_state& rs = tc.resolutions[r];
            resolution_record rec;
            rec.rs = &rs;
            for (const subband_state& sb : rs.bands)
                rec.bands.emplace_back(static_cast<size_t>(sb.block_count.y * sb.block_count.x));
            comps_[c].push_back(std::move(rec));
        }
        build_precincts(c);
        const rect ce = cs.component_extent(c);
        masks[c] = std::make_unique<source_mask>(source, c, tc.region.pos.y - ce.pos.y,
                                                 tc.region.pos.x - ce.pos.x);
        const bool masked =
            source.has_region() && (tc.levels == 0 ? band_uses_mask(tc.resolutions[0].bands[0])
                                                   : tc.resolutions[tc.levels].roi);
        roi_node* mask = masked ? masks[c].get() : nullptr;
        if (tc.reversible)
            int_stages[c] = make_component_stages<int32_t>(tc, comps_[c], pool_, mask);
        else
            float_stages[c] = make_component_stages<float>(tc, comps_[c], pool_, mask);
        height = std::max(height, tc.region.size.y);
    }
    std::vector<std::vector<int32_t>> ints(static_cast<size_t>(n));
    std::vector<std::vector<float>> floats(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c) {
        ints[c].resize(static_cast<size_t>(tile_.components[c].region.size.x));
        floats[c].resize(ints[c].size());
    }
    const bool ycc = tile_.ycc && n >= 3;
    for (int64_t y = 0; y < height; ++y) {
        for (int c = 0; c < n; ++c) {
            const tile_component_state& tc = tile_.components[c];
            if (y >= tc.region.size.y) continue;
            const rect ce = cs.component_extent(c);
            const int64_t w = tc.region.size.x;
            int32_t* row = ints[c].data();
            source.row(c, tc.region.pos.y - ce.pos.y + y, tc.region.pos.x - ce.pos.x, w, row);
            const int32_t shift = tc.is_signed ? 0 : int32_t{1} << (tc.precision - 1);
            for (int64_t x = 0; x < w; ++x)
                row[x] -= shift;
            // The irreversible path works on floats.
            if (!tc.reversible) std::copy(row, row + w, floats[c].data());
        }
        if (ycc) {
            const int64_t w = std::min({ints[0].size(), ints[1].size(), ints[2].size()});
            if (tile_.components[0].reversible) {
                int32_t *p0 = ints[0].data(), *p1 = ints[1].data(), *p2 = ints[2].data();
                for (int64_t i = 0; i < w; ++i) {
                    const int64_t r = p0[i], g = p1[i], b = p2[i];
                    p0[i] = static_cast<int32_t>((r + 2 * g + b) >> 2);
                    p1[i] = static_cast<int32_t>(b - g);
                    p2[i] = static_cast<int32_t>(r - g);
                }
            } else {
                float *p0 = floats[0].data(), *p1 = floats[1].data(), *p2 = floats[2].data();
                for (int64_t i = 0; i < w; ++i) {
                    const float r = p0[i], g = p1[i], b = p2[i];
                    p0[i] = 0.299f * r + 0.587f * g + 0.114f * b;
                    p1[i] = -0.168736f * r - 0.331264f * g + 0.5f * b;
                    p2[i] = 0.5f * r - 0.418688f * g - 0.081312f * b;
                }
            }
        }
        for (int c = 0; c < n; ++c) {
            if (y >= tile_.components[c].region.size.y) continue;
            if (int_stages[c])
                int_stages[c]->accept(ints[c].data());
            else
                float_stages[c]->accept(floats[c].data());
        }
    }
    pool_.finish();
    guard.done = true;
}

void tile_encoder::build_precincts(int c) {
    const tile_component_state& tc = tile_.components[c];
    for (int r = 0; r <= tc.levels; ++r) {
        resolution_record& rec = comps_[c][r];
        const resolution_state& rs = *rec.rs;
        const int64_t count = rs.precinct_count.y * rs.precinct_count.x;
        rec.precincts.resize(static_cast<size_t>(count));
        const int shrink = r == 0 ? 0 : 1;
        const coords e = {rs.precinct_exponent.y - shrink, rs.precinct_exponent.x - shrink};
        for (int64_t p = 0; p < count; ++p) {
            const coords cell = {rs.first_precinct.y + p / rs.precinct_count.x,
                                 rs.first_precinct.x + p % rs.precinct_count.x};
            for (size_t b = 0; b < rs.bands.size(); ++b) {
                const subband_state& sb = rs.bands[b];
                precinct_band pb;
                const rect area = {{cell.y << e.y, cell.x << e.x},
                                   {int64_t{1} << e.y, int64_t{1} << e.x}};
                const rect clip = rect_intersect(area, sb.region);
                coords first{0, 0};
                pb.count = {0, 0};
                if (!clip.empty()) {
                    const coords be = {log2_exact(sb.block_size.y), log2_exact(sb.block_size.x)};
                    first = {floor_div(clip.pos.y - sb.block_origin.y, int64_t{1} << be.y),
                             floor_div(clip.pos.x - sb.block_origin.x, int64_t{1} << be.x)};
                    pb.count = {
                        ceil_div(clip.end().y - sb.block_origin.y, int64_t{1} << be.y) - first.y,
                        ceil_div(clip.end().x - sb.block_origin.x, int64_t{1} << be.x) - first.x};
                }
                pb.stride = sb.block_count.x;
                pb.band_first_x =
                    (first.y - sb.first_block.y) * sb.block_count.x + first.x - sb.first_block.x;
                if (pb.count.y > 0 && pb.count.x > 0) {
                    pb.inclusion.init(pb.count.y, pb.count.x);
                    pb.zero_planes.init(pb.count.y, pb.count.x);
                }
                rec.precincts[p].push_back(std::move(pb));
            }
        }
    }
}

void tile_encoder::choose_passes(int layer, int threshold) {
    const int layers = tile_.layers;
    for (auto& comp : comps_)
        for (resolution_record& rec : comp)
            for (auto& band : rec.bands)
                for (block_record& b : band) {
                    b.layer_passes.resize(static_cast<size_t>(layers));
                    int n = 0;
                    for (int i = b.coded.passes() - 1; i >= 0; --i)
                        if (b.coded.slopes[i] && b.coded.slopes[i] >= threshold) {
                            n = i + 1;
                            break;
                        }
                    if (threshold == 0) n = b.coded.passes();
                    const int before = layer ? b.layer_passes[layer - 1] : 0;
                    b.layer_passes[layer] = std::max(n, before);
                }
}

void tile_encoder::reset_packet_state() {
    packets_written_ = 0;
    for (auto& comp : comps_)
        for (resolution_record& rec : comp) {
            for (auto& band : rec.bands)
                for (block_record& b : band) {
                    b.sent = 0;
                    b.lblock = 3;
                }
            for (auto& precinct : rec.precincts)
                for (size_t bi = 0; bi < precinct.size(); ++bi) {
                    precinct_band& pb = precinct[bi];
                    if (pb.count.y * pb.count.x == 0) continue;
                    std::vector<int> first_layer, missing;
                    for (int64_t y = 0; y < pb.count.y; ++y)
                        for (int64_t x = 0; x < pb.count.x; ++x) {
                            const block_record& b =
                                rec.bands[bi][pb.band_first_x + y * pb.stride + x];
                            int l = 0;
                            while (l < tile_.layers && b.layer_passes[l] == 0)
                                ++l;
                            first_layer.push_back(l);
                            missing.push_back(b.coded.missing_msbs);
                        }
                    pb.inclusion.set_values(first_layer);
                    pb.zero_planes.set_values(missing);
                }
        }
}

int64_t tile_encoder::packet(int c, int r, int64_t p, int layer, codestream_output_buffer* out) {
    resolution_record& rec = comps_[c][r];
    std::vector<precinct_band>& precinct = rec.precincts[p];
    const int modes = tile_.components[c].modes;
    bool any = false;
    for (size_t bi = 0; bi < precinct.size() && !any; ++bi) {
        const precinct_band& pb = precinct[bi];
        for (int64_t y = 0; y < pb.count.y && !any; ++y)
            for (int64_t x = 0; x < pb.count.x && !any; ++x) {
                const block_record& b = rec.bands[bi][pb.band_first_x + y * pb.stride + x];
                any = b.layer_passes[layer] > b.sent;
            }
    }
    // The markers the coding style asks for: SOP before the packet, with the
    // packet's number in the tile, EPH after its header.
    int64_t markers = 0;
    if (tile_.sop) {
        const int64_t number = packets_written_ & 0xFFFF;
        if (out)
            for (int v : {0xFF, 0x91, 0x00, 0x04, static_cast<int>(number >> 8),
                          static_cast<int>(number & 0xFF)})
                out->put_byte(static_cast<uint8_t>(v));
        markers += 6;
    }
    ++packets_written_;
    auto put_eph = [&] {
        if (!tile_.eph) return;
        if (out) {
            out->put_byte(0xFF);
            out->put_byte(0x92);
        }
        markers += 2;
    };
    if (!any) {
        // An empty packet; tag trees of blocks not yet included still learn
        // nothing, as a reader of the empty packet does.
        if (out) out->put_byte(0);
        put_eph();
        return 1 + markers;
    }
    header_bit_writer w(out);
    struct piece {
        const block_record* block;
        int64_t from, to;
    };
    std::vector<piece> bodies;
    for (size_t bi = 0; bi < precinct.size(); ++bi) {
        precinct_band& pb = precinct[bi];
        for (int64_t y = 0; y < pb.count.y; ++y)
            for (int64_t x = 0; x < pb.count.x; ++x) {
                const int64_t leaf = y * pb.count.x + x;
                block_record& b = rec.bands[bi][pb.band_first_x + y * pb.stride + x];
                const int n = b.layer_passes[layer] - b.sent;
                if (b.sent == 0)
                    pb.inclusion.encode(w, leaf, layer + 1);
                else
                    w.put_bit(n > 0);
                if (n <= 0) continue;
                if (b.sent == 0) pb.zero_planes.encode(w, leaf, b.coded.missing_msbs + 1);
                put_pass_count(w, n);
                // Split the new passes at the codeword segment boundaries.
                struct cut {
                    int passes;
                    int64_t length;
                };
                std::vector<cut> cuts;
                int seg_first = 0;
                while (seg_first + segment_pass_limit(modes, seg_first) <= b.sent)
                    seg_first += segment_pass_limit(modes, seg_first);
                for (int done = b.sent; done < b.sent + n;) {
                    const int seg_end = std::min<int64_t>(
                        int64_t{seg_first} + segment_pass_limit(modes, seg_first), b.sent + n);
                    const int last = seg_end - 1;
                    const int64_t from = done ? b.coded.ends[done - 1] : 0;
                    cuts.push_back({seg_end - done, b.coded.ends[last] - from});
                    done = seg_end;
                    seg_first = seg_end;
                }
                int grow = 0;
                for (const cut& k : cuts) {
                    const int need = floor_log2(k.length) + 1 - floor_log2(k.passes);
                    grow = std::max(grow, need - b.lblock);
                }
                for (int i = 0; i < grow; ++i)
                    w.put_bit(1);
                w.put_bit(0);
                b.lblock += grow;
                for (const cut& k : cuts)
                    w.put_bits(static_cast<uint32_t>(k.length), b.lblock + floor_log2(k.passes));
                bodies.push_back(
                    {&b, b.sent ? b.coded.ends[b.sent - 1] : 0, b.coded.ends[b.sent + n - 1]});
                b.sent += n;
            }
    }
    int64_t bytes = w.finish();
    put_eph();
    bytes += markers;
    for (const piece& pc : bodies) {
        if (out && pc.to > pc.from)
            out->put_block(pc.block->coded.data.data() + pc.from,
                           static_cast<int>(pc.to - pc.from));
        bytes += pc.to - pc.from;
    }
    return bytes;
}

int64_t tile_encoder::size_through(int layer) {
    reset_packet_state();
    int64_t total = 0;
    for (size_t c = 0; c < comps_.size(); ++c)
        for (size_t r = 0; r < comps_[c].size(); ++r)
            for (size_t p = 0; p < comps_[c][r].precincts.size(); ++p)
                for (int l = 0; l <= layer; ++l)
                    total += packet(static_cast<int>(c), static_cast<int>(r),
                                    static_cast<int64_t>(p), l, nullptr);
    return total;
}

void tile_encoder::allocate(const std::vector<int64_t>& budgets, std::vector<bool>& missed) {
    const int layers = tile_.layers;
    const int last = layers - 1;
    std::vector<int64_t> targets(static_cast<size_t>(layers), 0);
    for (int l = 0; l < layers && l < static_cast<int>(budgets.size()); ++l)
        targets[static_cast<size_t>(l)] = std::max<int64_t>(budgets[static_cast<size_t>(l)], 0);
    // Layers without a target of their own (all of them when lossless) are
    // spread geometrically between their neighbours' targets, so that each
    // adds quality instead of the first taking every pass. P: the bytes of
    // one layer of empty packets; full: every pass in one layer.
    int64_t per_layer = 0, full = 0;
    if (std::any_of(targets.begin(), targets.end() - 1, [](int64_t t) { return t == 0; })) {
        choose_passes(0, 0x10000);
        per_layer = size_through(0);
        choose_passes(0, 0);
        full = size_through(0);
    }
    int64_t previous = 0; // the previous layer's target, net of its packets
    for (int l = 0; l < layers; ++l) {
        int64_t budget = targets[static_cast<size_t>(l)];
        if (budget == 0 && l < last) {
            int next = l + 1;
            while (next < last && targets[static_cast<size_t>(next)] == 0)
                ++next;
            const int64_t far =
                targets[static_cast<size_t>(next)] ? targets[static_cast<size_t>(next)] : full;
            const double n =
                static_cast<double>(std::max<int64_t>(far - per_layer * (next + 1), 1));
            double net;
            if (l == 0) {
                net = n / std::sqrt(std::ldexp(1.0, next));
            } else {
                const double o = static_cast<double>(std::max<int64_t>(previous, 1));
                const double hi = std::max(n, o);
                net = std::exp(std::log(o) + (std::log(hi) - std::log(o)) / (next - l + 1));
            }
            budget = std::max<int64_t>(static_cast<int64_t>(net) + per_layer * (l + 1), 1);
        }
        previous = budget - per_layer * (l + 1);
        if (budget == 0) { // the last layer without a target takes the rest
            choose_passes(l, 0);
            continue;
        }
        // The lowest slope threshold (the most data) that fits.
        int lo = 1, hi = 0xFFFF;
        choose_passes(l, 0xFFFF);
        if (size_through(l) > budget) {
            choose_passes(l, 0x10000); // nothing more fits
            if (targets[static_cast<size_t>(l)] != 0) missed[static_cast<size_t>(l)] = true;
            continue;
        }
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            choose_passes(l, mid);
            if (size_through(l) <= budget)
                hi = mid;
            else
                lo = mid + 1;
        }
        choose_passes(l, hi);
    }
    reset_packet_state();
}

bool tile_encoder::walk_part(int k, codestream_output_buffer* out, int64_t& bytes) {
    // The walker moves to the next order-change instance only once the
    // tile-part before it is complete.
    tile_.tile_parts_read = k + 1;
    progression_walker& walker = tile_ref(&tile_).walker();
    const int64_t before = tile_.packets_done;
    bytes = 0;
    packet_position pos;
    while (walker.next(pos))
        bytes += packet(pos.component, pos.resolution, pos.precinct, pos.layer, out);
    return tile_.packets_done > before;
}

void tile_encoder::write(codestream_ref cs, codestream_output_buffer& out) {
    std::vector<int64_t> lengths;
    do {
        if (lengths.size() == 255)
            fail("Too many tile-parts for tile " + std::to_string(tile_.index));
        int64_t bytes;
        if (!walk_part(static_cast<int>(lengths.size()), nullptr, bytes) &&
            tile_.packets_done < tile_.packets)
            fail("The progression order changes of tile " + std::to_string(tile_.index) +
                 " leave packets out");
        const int64_t header = tile_.codestream->tree->root()->count_marker_bytes(
                                   nullptr, tile_.index, static_cast<int>(lengths.size())) +
                               14;
        if (bytes + header > 0xFFFFFFFFll)
            fail("A tile's code-stream data exceed the 4 GB a tile-part can hold");
        lengths.push_back(bytes);
    } while (tile_.packets_done < tile_.packets);
    // Again from the start, writing.
    reset_packet_state();
    tile_.walker.reset();
    const int parts = static_cast<int>(lengths.size());
    for (int k = 0; k < parts; ++k) {
        cs.write_tile_part_header(tile_.index, k, lengths[static_cast<size_t>(k)], parts);
        int64_t bytes;
        walk_part(k, &out, bytes);
    }
}

// Tile-parts a tile is written in: one per instance of its own order
// changes, at least one.
int tile_part_count(codestream_state& s, int tile) {
    param_cluster* poc = s.tree->cluster("POC");
    int n = 1;
    while (const j2k_params* p = poc->find(tile, -1, n)) {
        if (p->own_records("Porder") == 0) break;
        ++n;
    }
    return n;
}

} // namespace

void codestream_encoder::encode(codestream_ref cs, const std::vector<component_image>& images,
                                const std::vector<int64_t>& layer_bytes) {
    const int n = cs.component_count();
    if (static_cast<int>(images.size()) != n) fail("One image per component is needed");
    for (int c = 0; c < n; ++c) {
        const rect e = cs.component_extent(c);
        if (images[c].width != e.size.x || images[c].height != e.size.y ||
            static_cast<int64_t>(images[c].samples.size()) != e.size.x * e.size.y)
            fail("An image does not match its component's size");
    }
    struct image_source : sample_source {
        const std::vector<component_image>& images;
        explicit image_source(const std::vector<component_image>& i) : images(i) {}
        void row(int c, int64_t y, int64_t x0, int64_t n, int32_t* out) override {
            const int32_t* src = images[c].samples.data() + y * images[c].width + x0;
            std::copy(src, src + n, out);
        }
    } source(images);
    encode(cs, source, layer_bytes);
}

void codestream_encoder::encode(codestream_ref cs, sample_source& source,
                                const std::vector<int64_t>& layer_bytes) {
    codestream_state& s = *cs.s_;
    // The caller transforms while the workers code: one worker fewer than
    // the processors, so that no more threads run than there are processors.
    block_pool pool(std::max(block_pool::default_workers() - 1, 0), message_scope::bound());
    cs.write_main_header();
    const int64_t main_header = cs.bytes_written();
    coords first, count;
    cs.tile_index_range(first, count);
    const rect canvas = cs.canvas();
    const double area = static_cast<double>(canvas.size.y) * static_cast<double>(canvas.size.x);
    std::vector<bool> missed(layer_bytes.size(), false);
    for (int64_t ty = first.y; ty < first.y + count.y; ++ty)
        for (int64_t tx = first.x; tx < first.x + count.x; ++tx) {
            tile_ref t = cs.fetch_tile(static_cast<int>(ty), static_cast<int>(tx));
            tile_state& ts = *t.t_;
            tile_encoder te(ts, pool);
            te.code(cs, source);
            // The code-stream's budgets shared by area, less the headers.
            const double share = static_cast<double>(ts.region.size.y) *
                                 static_cast<double>(ts.region.size.x) / area;
            const int parts = tile_part_count(s, ts.index);
            int64_t tile_header = 0;
            for (int k = 0; k < parts; ++k)
                tile_header += s.tree->root()->count_marker_bytes(nullptr, ts.index, k) + 14;
            std::vector<int64_t> budgets;
            for (int64_t b : layer_bytes)
                budgets.push_back(
                    b <= 0 ? 0
                           : std::max<int64_t>(
                                 1, static_cast<int64_t>(static_cast<double>(b - main_header - 2) *
                                                         share) -
                                        tile_header));
            missed.resize(std::max(missed.size(), static_cast<size_t>(ts.layers)), false);
            te.allocate(budgets, missed);
            te.write(cs, *s.out);
            t.release();
        }
    cs.write_eoc();
    for (size_t l = 0; l < missed.size(); ++l)
        if (missed[l])
            warn("Unable to achieve the rate target for quality layer " + std::to_string(l) +
                 ".  Try requesting a smaller number of quality layers.");
}

} // namespace j2k
