#include "jpeg2000/decoder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <deque>
#include <map>

#include "jpeg2000/block_row_workers.h"
#include "jpeg2000/codestream_state.h"
#include "jpeg2000/line_stages.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/packets.h"

namespace j2k {

namespace {

// One tile being decoded: its packets, its components' stage trees and the
// rows of the colour-transformed components that wait to be taken.
struct open_tile {
    tile_ref ref;
    std::unique_ptr<tile_packets> packets;
    sample_pool pool;
    std::vector<std::unique_ptr<line_stage>> tops; // per visible component
    std::vector<sample_line> lines;
    std::vector<std::deque<std::vector<int32_t>>> waiting;
    // With workers, the colour-transformed components pull batches of
    // their rows on three threads: batch_rows lines each, rows_pulled so far.
    std::vector<sample_line> batch_lines[3];
    int64_t rows_pulled = 0;
    std::vector<std::vector<int32_t>> spare; // waiting rows taken, for reuse

    std::vector<int32_t> spare_row(int64_t width) {
        std::vector<int32_t> row;
        if (!spare.empty()) {
            row = std::move(spare.back());
            spare.pop_back();
        }
        row.resize(static_cast<size_t>(width));
        return row;
    }
    // Per visible component: its region, from the tile grid (known even
    // when the tile's headers fail).
    std::vector<rect> regions;
    int components_left = 0;
    bool ycc = false, failed = false;
    // What its structures hold, counted in the decoder's total while open.
    int64_t cost = 0;
    int64_t* held = nullptr;

    void fail_quietly() {
        failed = true;
        tops.clear();
        packets.reset();
        waiting.clear();
    }

    ~open_tile() {
        tops.clear();
        packets.reset();
        if (ref.exists()) ref.release();
        if (held) *held -= cost;
    }
};

// What a tile's decoding holds from the start besides its coded data: the
// layer count of every precinct of every component (the packets name them
// all), and for the decoded components a row of code-blocks per band and a
// few lines per level. The records of code-blocks and precincts are made as
// packets bring them, counted by the packet reader. Counted in doubles: hostile sizes overflow 64
// bits.
double tile_structure_bytes(const tile_state& ts, int first, int n) {
    double bytes = 0;
    for (const tile_component_state& tc : ts.components) {
        const bool decoded = tc.index >= first && tc.index < first + n;
        for (const resolution_state& rs : tc.resolutions) {
            bytes += static_cast<double>(rs.precinct_count.y) *
                     static_cast<double>(rs.precinct_count.x) * 2 * sizeof(uint16_t);
            for (const subband_state& sb : rs.bands) {
                bytes += sizeof(band_blocks);
                if (!decoded || sb.region.empty()) continue;
                bytes += static_cast<double>(std::min(sb.block_size.y, sb.region.size.y)) *
                             static_cast<double>(sb.region.size.x) * sizeof(float) +
                         static_cast<double>(sb.block_count.x) * sizeof(std::vector<uint8_t>);
            }
            if (decoded) bytes += 8.0 * static_cast<double>(rs.region.size.x) * sizeof(float);
        }
    }
    return bytes;
}

// A row of the top stage to the component's samples: the DC level shift,
// rounding on the irreversible path, and clamping to the precision.
__attribute__((target_clones("avx2", "default"))) void emit_row(const sample_line& line,
                                                                int precision, bool is_signed,
                                                                int32_t* dst) {
    const int p = precision;
    const int32_t shift = is_signed ? 0 : int32_t{1} << (p - 1);
    const int32_t lo = is_signed ? -(int32_t{1} << (p - 1)) : 0;
    const int32_t hi =
        is_signed ? (int32_t{1} << (p - 1)) - 1 : static_cast<int32_t>((int64_t{1} << p) - 1);
    const int64_t w = line.width;
    if (line.absolute) {
        // Clamped before the shift, which then cannot overflow: 32-bit
        // lanes throughout (comparisons, not std::clamp: no call per sample
        // in unoptimised builds).
        const int32_t* src = line.samples<int32_t>();
        const int32_t below = lo - shift, above = hi - shift;
        for (int64_t x = 0; x < w; ++x) {
            const int32_t v = src[x] < below ? below : src[x] > above ? above : src[x];
            dst[x] = v + shift;
        }
        return;
    }
    // Round half up in the float domain, clamped first so that damaged data
    // (even NaN: the comparisons pick the bound) converts safely.
    const float flo = static_cast<float>(lo - shift), fhi = static_cast<float>(hi - shift);
    const float* src = line.samples<float>();
    for (int64_t x = 0; x < w; ++x) {
        const float f = std::min(fhi, std::max(flo, src[x] + 0.5f));
        dst[x] = static_cast<int32_t>(std::floor(f)) + shift;
    }
}

// Rows of the three colour-transformed components pulled at once when
// workers share the lines: enough work per thread to outweigh the hand-over.
constexpr int64_t batch_rows = 32;

// The inverse colour transform of one row of the first three components:
// RCT on integers, ICT on floats.
void inverse_colour_transform(sample_line* lines) {
    const int64_t w = lines[0].width;
    if (lines[0].absolute) {
        int32_t* p0 = lines[0].samples<int32_t>();
        int32_t* p1 = lines[1].samples<int32_t>();
        int32_t* p2 = lines[2].samples<int32_t>();
        for (int64_t i = 0; i < w; ++i) {
            const int64_t y = p0[i], cb = p1[i], cr = p2[i];
            const int64_t g = y - ((cb + cr) >> 2);
            p0[i] = static_cast<int32_t>(cr + g);
            p1[i] = static_cast<int32_t>(g);
            p2[i] = static_cast<int32_t>(cb + g);
        }
        return;
    }
    float* p0 = lines[0].samples<float>();
    float* p1 = lines[1].samples<float>();
    float* p2 = lines[2].samples<float>();
    for (int64_t i = 0; i < w; ++i) {
        const float y = p0[i], cb = p1[i], cr = p2[i];
        p0[i] = y + 1.402f * cr;
        p1[i] = y - 0.3441362862010222f * cb - 0.7141362862010222f * cr;
        p2[i] = y + 1.772f * cb;
    }
}

} // namespace

struct codestream_decoder::state {
    codestream_ref cs;
    codestream_state& s;
    int n = 0;
    coords first, count; // tiles meeting the region
    block_work work;
    std::unique_ptr<block_row_workers> workers;
    // Bodies of tile-parts met ahead of their tile.
    std::map<int, tile_data> data;
    // Bytes the open tiles' structures may take, and take now; declared
    // before the tiles, which give theirs back as they go.
    int64_t limit = INT64_MAX, held = 0;
    int64_t data_bytes = 0; // of the tiles opened so far
    int tiles_started = 0;
    // Open tiles by tile row; per component its tile row and rows left there.
    std::map<int64_t, std::vector<std::unique_ptr<open_tile>>> rows;
    int64_t rows_opened = 0;
    std::vector<int64_t> tile_row, left;
    // Per component: rows pulled by seek_canvas_row, and the last of them
    // (one zero sample for a component without samples).
    std::vector<int64_t> pulled;
    std::vector<std::vector<int32_t>> current;
    bool complete = true, reversible = true, ycc = false;
    bool skip_damaged = false, damaged = false;

    // The operation's message sink, for the work done on other threads.
    message_sink* sink = message_scope::bound();

    explicit state(codestream_ref c) : cs(c), s(*c.s_) {}
    bool read_tile_part();
    tile_data take_tile_data(int index);
    rect tile_component_region(int64_t ty, int64_t tx, int c) const;
    void start_tile(open_tile& t, int64_t ty, int64_t tx);
    void open_tile_row(int64_t ty);
    void done_with(int64_t ty);
    void tile_row_of(open_tile& t, int c, int32_t* out);
    void tile_row_from_stages(open_tile& t, int c, int32_t* dst);
    void pull_colour_rows(open_tile& t);
};

bool codestream_decoder::state::read_tile_part() {
    if (!s.read_tile_part_header()) return false;
    tile_data& d = data[s.current_tile];
    // A source that reads at any position keeps the body: only its place
    // is noted.
    codestream_source* source = s.in->source();
    if (source->capabilities() & source_random_access) {
        const int64_t at = s.in->consumed();
        const int64_t length = s.in->skip(s.current_left < 0 ? INT64_MAX : s.current_left);
        d.add_part(source, at, length);
        if (s.current_left > 0) s.current_left = 0;
        return true;
    }
    uint8_t chunk[4096];
    int64_t left_bytes = s.current_left;
    while (left_bytes != 0) {
        const int want = left_bytes < 0
                             ? static_cast<int>(sizeof chunk)
                             : static_cast<int>(std::min<int64_t>(left_bytes, sizeof chunk));
        const int got = s.in->read(chunk, want);
        if (got <= 0) break;
        d.append(chunk, got);
        if (left_bytes > 0) left_bytes -= got;
    }
    if (s.current_left > 0) s.current_left = 0;
    return true;
}

// The tile's tile-parts are read up to the last it announces (or to the end
// of the data), keeping the bodies of other tiles met on the way.
tile_data codestream_decoder::state::take_tile_data(int index) {
    for (;;) {
        const tile_state* t = s.tiles_live[static_cast<size_t>(index)].get();
        if (t && t->tnsot != 0 && t->tile_parts_read >= t->tnsot) break;
        if (!read_tile_part()) break;
    }
    tile_data d;
    auto found = data.find(index);
    if (found != data.end()) {
        d = std::move(found->second);
        data.erase(found);
    }
    return d;
}

rect codestream_decoder::state::tile_component_region(int64_t ty, int64_t tx, int c) const {
    const rect cell = {{s.tile_origin.y + ty * s.tile_size.y, s.tile_origin.x + tx * s.tile_size.x},
                       s.tile_size};
    const rect t = rect_intersect(cell, s.canvas);
    const coords sub = s.components[static_cast<size_t>(c + s.first_component)].subsampling;
    const coords p = {ceil_div(t.pos.y, sub.y), ceil_div(t.pos.x, sub.x)};
    return {p, {ceil_div(t.end().y, sub.y) - p.y, ceil_div(t.end().x, sub.x) - p.x}};
}

void codestream_decoder::state::open_tile_row(int64_t ty) {
    std::vector<std::unique_ptr<open_tile>>& row = rows[ty];
    for (int64_t tx = first.x; tx < first.x + count.x; ++tx) {
        auto t = std::make_unique<open_tile>();
        for (int c = 0; c < n; ++c) {
            t->regions.push_back(tile_component_region(ty, tx, c));
            // Components without rows in the tile never come for them.
            if (!t->regions.back().empty()) ++t->components_left;
        }
        try {
            start_tile(*t, ty, tx);
        } catch (const refusal&) {
            throw;
        } catch (const failure&) {
            if (!skip_damaged) throw;
            t->fail_quietly();
            damaged = true;
        }
        if (t->components_left == 0) t.reset();
        row.push_back(std::move(t));
    }
}

void codestream_decoder::state::start_tile(open_tile& t, int64_t ty, int64_t tx) {
    const int index = static_cast<int>(ty * s.tiles.x + tx);
    tile_data d = take_tile_data(index);
    t.ref = cs.fetch_tile(static_cast<int>(ty), static_cast<int>(tx));
    tile_state& ts = *t.ref.t_;
    // A stream whose data has ended without a byte of packets is no image,
    // however large its header says it is.
    data_bytes += d.size();
    if (data_bytes == 0 && !ts.packed_headers) {
        // Look ahead for a tile-part with a body (kept for its tile).
        while (read_tile_part())
            if (data[s.current_tile].size() > 0) break;
        if (s.at_end) refuse("The code-stream holds no tile data");
    }
    // A few bytes can declare structures of any size: they are counted
    // against what the decoding may take before they are built.
    const double cost = tile_structure_bytes(ts, s.first_component, n);
    if (static_cast<double>(held) + cost > static_cast<double>(limit)) {
        error_report e;
        e << "Tile " << ts.index << " needs " << static_cast<int64_t>(cost / 1048576)
          << " MB for its code-blocks, precincts and lines, more than the image may take";
        e.refuse();
    }
    t.cost = static_cast<int64_t>(cost);
    t.held = &held;
    held += t.cost;
    t.packets = std::make_unique<tile_packets>(ts, std::move(d), limit - held);
    ++tiles_started;
    if (!t.packets->read_packets()) {
        complete = false;
        // Data that end before the first code-block's bytes, in the only
        // tile or with no other tile's data to come, make no image: refused
        // whole rather than decoded as a flat picture of the size the header
        // claims.
        const bool others = std::any_of(data.begin(), data.end(),
                                        [](const auto& kept) { return kept.second.size() > 0; });
        const bool alone = count.y * count.x == 1 || (s.at_end && !others);
        if (tiles_started == 1 && alone && !t.packets->coded())
            refuse("The code-stream's data end before any coded data");
    }
    t.ycc = t.ref.uses_colour_transform();
    const tile_component_state* tc = ts.components.data() + s.first_component;
    if (t.ycc && (n < 3 || tc[1].region != tc[0].region || tc[2].region != tc[0].region ||
                  tc[1].reversible != tc[0].reversible || tc[2].reversible != tc[0].reversible))
        fail("The colour transform joins components of different sizes or paths");
    const tile_sources from{*t.packets, work, t.pool, workers.get()};
    t.lines.resize(static_cast<size_t>(n));
    t.waiting.resize(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c) {
        if (tc[c].region != t.regions[static_cast<size_t>(c)])
            fail("The tile's components do not lie where the tile grid puts them");
        t.tops.push_back(create_tile_component_stages(tc[c], from));
        t.pool.pre_create(t.lines[static_cast<size_t>(c)],
                          std::max<int64_t>(tc[c].region.size.x, 0), tc[c].reversible);
    }
    if (t.ycc && workers)
        for (int k = 0; k < 3; ++k) {
            t.batch_lines[k].resize(static_cast<size_t>(batch_rows));
            for (sample_line& line : t.batch_lines[k])
                t.pool.pre_create(line, std::max<int64_t>(tc[k].region.size.x, 0),
                                  tc[k].reversible);
        }
    t.pool.carve();
    reversible = tc[0].reversible;
    ycc = t.ycc;
}

// Component c has taken its last row of tile row ty: tiles no component
// needs any more go.
void codestream_decoder::state::done_with(int64_t ty) {
    auto found = rows.find(ty);
    if (found == rows.end()) return;
    bool any = false;
    for (std::unique_ptr<open_tile>& t : found->second) {
        if (t && --t->components_left == 0) t.reset();
        any = any || t;
    }
    if (!any) rows.erase(found);
}

void codestream_decoder::state::tile_row_of(open_tile& t, int c, int32_t* out) {
    const rect& region = t.regions[static_cast<size_t>(c)];
    if (region.size.x <= 0) return;
    int32_t* dst = out + (region.pos.x - cs.component_extent(c).pos.x);
    if (!t.failed) {
        try {
            tile_row_from_stages(t, c, dst);
            return;
        } catch (const refusal&) {
            throw;
        } catch (const failure&) {
            if (!skip_damaged) throw;
            t.fail_quietly();
            damaged = true;
        }
    }
    std::fill_n(dst, region.size.x, 0);
}

void codestream_decoder::state::tile_row_from_stages(open_tile& t, int c, int32_t* dst) {
    const int64_t width = t.regions[static_cast<size_t>(c)].size.x;
    const int precision = cs.sample_precision(c);
    const bool is_signed = cs.sample_signed(c);
    if (!t.ycc || c >= 3) {
        t.tops[static_cast<size_t>(c)]->produce_line(t.lines[static_cast<size_t>(c)]);
        emit_row(t.lines[static_cast<size_t>(c)], precision, is_signed, dst);
        return;
    }
    std::deque<std::vector<int32_t>>& waiting = t.waiting[static_cast<size_t>(c)];
    if (waiting.empty() && workers) pull_colour_rows(t);
    if (!waiting.empty()) {
        std::copy(waiting.front().begin(), waiting.front().end(), dst);
        t.spare.push_back(std::move(waiting.front()));
        waiting.pop_front();
        return;
    }
    for (int k = 0; k < 3; ++k)
        t.tops[static_cast<size_t>(k)]->produce_line(t.lines[static_cast<size_t>(k)]);
    inverse_colour_transform(t.lines.data());
    for (int k = 0; k < 3; ++k) {
        if (k == c) {
            emit_row(t.lines[static_cast<size_t>(k)], precision, is_signed, dst);
            continue;
        }
        std::vector<int32_t> row = t.spare_row(width);
        emit_row(t.lines[static_cast<size_t>(k)], cs.sample_precision(k), cs.sample_signed(k),
                 row.data());
        t.waiting[static_cast<size_t>(k)].push_back(std::move(row));
    }
}

// The next rows of the three components, each pulled through its stages on
// a thread of its own, then joined by the inverse colour transform and left
// waiting to be taken.
void codestream_decoder::state::pull_colour_rows(open_tile& t) {
    const int64_t n = std::min(batch_rows, t.regions[0].size.y - t.rows_pulled);
    if (n <= 0) return;
    block_row_workers::batch lines;
    workers->submit(lines, 3, [&](int k, block_work&) {
        for (int64_t i = 0; i < n; ++i)
            t.tops[static_cast<size_t>(k)]->produce_line(t.batch_lines[k][static_cast<size_t>(i)]);
    });
    workers->wait(lines, work);
    t.rows_pulled += n;
    for (int64_t i = 0; i < n; ++i) {
        sample_line row[3] = {t.batch_lines[0][static_cast<size_t>(i)],
                              t.batch_lines[1][static_cast<size_t>(i)],
                              t.batch_lines[2][static_cast<size_t>(i)]};
        inverse_colour_transform(row);
        for (int k = 0; k < 3; ++k) {
            std::vector<int32_t> out = t.spare_row(row[k].width);
            emit_row(row[k], cs.sample_precision(k), cs.sample_signed(k), out.data());
            t.waiting[static_cast<size_t>(k)].push_back(std::move(out));
        }
    }
}

codestream_decoder::codestream_decoder(codestream_ref cs) : s_(std::make_unique<state>(cs)) {
    s_->n = cs.component_count();
    // Rows carry 32-bit integers: deeper samples would overflow the level
    // shift.
    for (int c = 0; c < s_->n; ++c)
        if (cs.sample_precision(c) > 31) fail("Sample precision above 31 bits is not supported");
    cs.tile_index_range(s_->first, s_->count);
    s_->tile_row.assign(static_cast<size_t>(s_->n), s_->first.y - 1);
    s_->left.assign(static_cast<size_t>(s_->n), 0);
}

codestream_decoder::~codestream_decoder() = default;

void codestream_decoder::next_row(int c, int32_t* out) {
    state& st = *s_;
    if (c < 0 || c >= st.n) fail("Invalid argument");
    int64_t& ty = st.tile_row[static_cast<size_t>(c)];
    int64_t& left = st.left[static_cast<size_t>(c)];
    while (left == 0) {
        if (++ty >= st.first.y + st.count.y) fail("Invalid argument");
        while (st.first.y + st.rows_opened <= ty)
            st.open_tile_row(st.first.y + st.rows_opened++);
        std::vector<std::unique_ptr<open_tile>>& row = st.rows[ty];
        left = 0;
        for (const std::unique_ptr<open_tile>& t : row)
            if (t) {
                left = std::max<int64_t>(t->regions[static_cast<size_t>(c)].size.y, 0);
                break;
            }
    }
    for (std::unique_ptr<open_tile>& t : st.rows[ty])
        if (t) st.tile_row_of(*t, c, out);
    if (--left == 0) st.done_with(ty);
}

void codestream_decoder::for_each_row(const std::function<void(int c, int64_t k)>& due) {
    const codestream_ref cs = s_->cs;
    const int n = s_->n;
    const rect region = cs.component_extent(-1);
    std::vector<int64_t> done(static_cast<size_t>(n), 0);
    for (int64_t y = region.pos.y; y < region.end().y; ++y)
        for (int c = 0; c < n; ++c) {
            const rect e = cs.component_extent(c);
            int64_t& k = done[static_cast<size_t>(c)];
            if (y % cs.component_subsampling(c).y != 0 || k >= e.size.y) continue;
            due(c, k++);
        }
}

void codestream_decoder::seek_canvas_row(int64_t y) {
    state& st = *s_;
    if (st.current.empty()) {
        st.current.resize(static_cast<size_t>(st.n));
        st.pulled.assign(static_cast<size_t>(st.n), 0);
        for (int c = 0; c < st.n; ++c)
            st.current[static_cast<size_t>(c)].resize(
                static_cast<size_t>(std::max<int64_t>(st.cs.component_extent(c).size.x, 1)));
    }
    for (int c = 0; c < st.n; ++c) {
        const rect e = st.cs.component_extent(c);
        if (e.size.y <= 0) continue;
        const int64_t want = std::clamp<int64_t>(
            floor_div(y, st.cs.component_subsampling(c).y) - e.pos.y, 0, e.size.y - 1);
        int64_t& pulled = st.pulled[static_cast<size_t>(c)];
        for (; pulled <= want; ++pulled)
            next_row(c, st.current[static_cast<size_t>(c)].data());
    }
}

const int32_t* codestream_decoder::row(int c) const {
    return s_->current[static_cast<size_t>(c)].data();
}

void codestream_decoder::set_workers(int workers) {
    s_->workers = workers > 0 ? std::make_unique<block_row_workers>(workers, s_->sink) : nullptr;
}

void codestream_decoder::set_memory_limit(int64_t bytes) {
    s_->limit = bytes;
    s_->s.structure_limit = bytes;
}

void codestream_decoder::skip_damaged_tiles() {
    s_->skip_damaged = true;
}

bool codestream_decoder::damaged() const {
    return s_->damaged;
}

bool codestream_decoder::complete() const {
    return s_->complete;
}

bool codestream_decoder::reversible() const {
    return s_->reversible;
}

bool codestream_decoder::colour_transform() const {
    return s_->ycc;
}

std::vector<component_image> codestream_decoder::decode(codestream_ref cs, bool* complete,
                                                        int64_t memory_limit) {
    const int n = cs.component_count();
    std::vector<component_image> images(static_cast<size_t>(n));
    double planes = 0;
    for (int c = 0; c < n; ++c) {
        const rect e = cs.component_extent(c);
        planes += static_cast<double>(e.size.y) * static_cast<double>(e.size.x) * sizeof(int32_t);
    }
    if (planes > static_cast<double>(memory_limit))
        refuse("The image is larger than the memory allowed for it");
    for (int c = 0; c < n; ++c) {
        const rect e = cs.component_extent(c);
        component_image& im = images[static_cast<size_t>(c)];
        im.width = e.size.x;
        im.height = e.size.y;
        im.precision = cs.sample_precision(c);
        im.is_signed = cs.sample_signed(c);
    }
    codestream_decoder d(cs);
    d.set_memory_limit(memory_limit - static_cast<int64_t>(planes));
    // The planes grow as rows arrive.
    d.for_each_row([&](int c, int64_t k) {
        component_image& im = images[static_cast<size_t>(c)];
        im.samples.resize(static_cast<size_t>((k + 1) * im.width));
        d.next_row(c, im.samples.data() + k * im.width);
    });
    for (component_image& im : images) {
        im.samples.resize(static_cast<size_t>(im.width * im.height));
        im.reversible = d.reversible();
    }
    for (int c = 0; c < n && c < 3; ++c)
        images[static_cast<size_t>(c)].colour_transform = d.colour_transform();
    if (complete) *complete = d.complete();
    return images;
}

std::vector<component_image> codestream_decoder::decode(codestream_source& source, bool* complete,
                                                        int64_t memory_limit) {
    codestream_ref cs = codestream_ref::create_input(&source);
    struct disposer {
        codestream_ref& cs;
        ~disposer() { cs.dispose(); }
    } guard{cs};
    return decode(cs, complete, memory_limit);
}

} // namespace j2k
