// The code-stream object: parameter tree, canvas and tile partition, and the
// tiles with their components, resolutions and subbands (ITU-T T.800 Annex B).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "jpeg2000/clusters.h"
#include "jpeg2000/codestream_state.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/wavelet_kernel.h"

namespace j2k {

namespace {

// A band or lower resolution of a region, for band bits (by, bx) (B.15).
rect halve(const rect& r, int by, int bx) {
    rect out;
    out.pos = {(r.pos.y - by + 1) >> 1, (r.pos.x - bx + 1) >> 1};
    coords end = {(r.end().y - by + 1) >> 1, (r.end().x - bx + 1) >> 1};
    out.size = {end.y - out.pos.y, end.x - out.pos.x};
    return out;
}

// The cells of a partition (origin o, cell size 2^e) meeting a region.
void cells(const rect& r, coords origin, coords exponent, coords& first, coords& count) {
    if (r.empty()) {
        first = {0, 0};
        count = {0, 0};
        return;
    }
    const int64_t ny = int64_t{1} << exponent.y, nx = int64_t{1} << exponent.x;
    first = {floor_div(r.pos.y - origin.y, ny), floor_div(r.pos.x - origin.x, nx)};
    count = {ceil_div(r.end().y - origin.y, ny) - first.y,
             ceil_div(r.end().x - origin.x, nx) - first.x};
}

rect scaled(const rect& r, coords factor) {
    rect out;
    out.pos = {ceil_div(r.pos.y, factor.y), ceil_div(r.pos.x, factor.x)};
    coords end = {ceil_div(r.end().y, factor.y), ceil_div(r.end().x, factor.x)};
    out.size = {end.y - out.pos.y, end.x - out.pos.x};
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Creation and geometry

// v[axis]: canvas end, origin, tile size, tile origin. The canvas must not be
// empty and its origin must lie in the first tile.
void codestream_state::check_canvas(const int v[2][4]) {
    for (int a = 0; a < 2; ++a)
        if (v[a][0] <= v[a][1] || v[a][2] <= 0 || v[a][3] > v[a][1] ||
            static_cast<int64_t>(v[a][3]) + v[a][2] <= v[a][1])
            fail("Illegal canvas coordinates");
}

codestream_ref codestream_ref::create_input(codestream_source* source) {
    auto s = std::make_unique<codestream_state>();
    s->in = std::make_unique<codestream_input_buffer>(source);
    s->markers = std::make_unique<marker_reader>(s->in.get());
    if (!s->markers->next(false, false) || s->markers->code() != 0xFF4F) fail("Missing SOC marker");
    s->tree = make_codestream_tree();
    if (!s->markers->next(false, false) || s->markers->code() != 0xFF51 ||
        !s->tree->root()->dispatch_marker_segment(0xFF51, s->markers->length(), s->markers->bytes(),
                                                  -1, 0))
        fail("Missing SIZ marker segment");
    s->build_geometry();
    s->read_main_header();
    return codestream_ref(s.release());
}

codestream_ref codestream_ref::create_output(const j2k_params& siz, codestream_sink* sink) {
    auto s = std::make_unique<codestream_state>();
    s->out = std::make_unique<codestream_output_buffer>(sink);
    s->tree = make_codestream_tree();
    s->tree->root()->copy_all_from(siz, 0, 0, false, false, false);
    s->build_geometry();
    // Writers set per-component attributes on the main header objects.
    for (int c = 0; c < static_cast<int>(s->components.size()); ++c)
        s->tree->ensure(-1, c);
    return codestream_ref(s.release());
}

void codestream_state::build_geometry() {
    j2k_params* siz = tree->root();
    int v[2][4] = {};
    auto read_canvas = [&] {
        for (int a = 0; a < 2; ++a) {
            siz->read_int("Ssize", 0, a, v[a][0]);
            siz->read_int("Sorigin", 0, a, v[a][1]);
            siz->read_int("Stiles", 0, a, v[a][2]);
            siz->read_int("Stile_origin", 0, a, v[a][3]);
        }
    };
    // A read SIZ holds every value: its canvas is checked before completion.
    if (in) {
        read_canvas();
        check_canvas(v);
    }
    siz->complete();
    read_canvas();
    check_canvas(v);
    canvas.pos = {v[0][1], v[1][1]};
    canvas.size = {static_cast<int64_t>(v[0][0]) - v[0][1],
                   static_cast<int64_t>(v[1][0]) - v[1][1]};
    tile_size = {v[0][2], v[1][2]};
    tile_origin = {v[0][3], v[1][3]};
    int count = 0;
    siz->read_int("Scomponents", 0, 0, count);
    components.resize(static_cast<size_t>(count));
    for (int c = 0; c < count; ++c) {
        component_info& ci = components[c];
        int y, x;
        if (!siz->read_int("Sprecision", c, 0, ci.precision))
            fail("No information concerning component sample bit-depths");
        if (!siz->read_bool("Ssigned", c, 0, ci.is_signed))
            fail("No information regarding whether components are signed or unsigned");
        if (!siz->read_int("Ssampling", c, 0, y) || !siz->read_int("Ssampling", c, 1, x))
            fail("No information concerning component sub-sampling factors");
        ci.subsampling = {y, x};
    }
    tiles = {ceil_div(canvas.end().y - tile_origin.y, tile_size.y),
             ceil_div(canvas.end().x - tile_origin.x, tile_size.x)};
    if (tiles.y * tiles.x > 65535) fail("Maximum number of allowable tiles is 65535");
    tiles_live.resize(static_cast<size_t>(tile_count()));
    released.assign(static_cast<size_t>(tile_count()), 0);
    tile_parts_seen.assign(static_cast<size_t>(tile_count()), 0);
    first_component = 0;
    visible_components = count;
    discard_levels = 0;
    max_layers = 0xFFFF;
    region = canvas;
}

void codestream_ref::dispose() {
    if (!s_) return;
    s_->tiles_live.clear();
    if (s_->pool.in_use() > 0) warn("Data buffer destroyed");
    delete s_; // the output buffer flushes what it still holds
    s_ = nullptr;
}

j2k_params& codestream_ref::root_siz() const {
    return *s_->tree->root();
}

j2k_params& codestream_ref::access_params(const char* cluster, int tile, int component) const {
    param_cluster* c = s_->tree->cluster(cluster);
    if (!c) fail("Invalid argument");
    s_->tree->ensure(tile, component);
    j2k_params* p = c->find(tile, component);
    if (!p) fail("Invalid argument");
    return *p;
}

int codestream_ref::component_count() const {
    return s_->visible_components;
}

int codestream_ref::sample_precision(int c) const {
    return s_->components.at(static_cast<size_t>(c + s_->first_component)).precision;
}

bool codestream_ref::sample_signed(int c) const {
    return s_->components.at(static_cast<size_t>(c + s_->first_component)).is_signed;
}

coords codestream_ref::component_subsampling(int c) const {
    coords s = s_->components.at(static_cast<size_t>(c + s_->first_component)).subsampling;
    return {s.y << s_->discard_levels, s.x << s_->discard_levels};
}

rect codestream_ref::component_extent(int c) const {
    if (c < 0) return s_->region;
    return scaled(s_->region, component_subsampling(c));
}

rect codestream_ref::canvas() const {
    return s_->canvas;
}
coords codestream_ref::tile_size() const {
    return s_->tile_size;
}
coords codestream_ref::tile_origin() const {
    return s_->tile_origin;
}

void codestream_ref::tile_index_range(coords& first, coords& count) const {
    const rect& r = s_->region;
    if (r.empty()) {
        first = count = {0, 0};
        return;
    }
    first = {floor_div(r.pos.y - s_->tile_origin.y, s_->tile_size.y),
             floor_div(r.pos.x - s_->tile_origin.x, s_->tile_size.x)};
    count = {ceil_div(r.end().y - s_->tile_origin.y, s_->tile_size.y) - first.y,
             ceil_div(r.end().x - s_->tile_origin.x, s_->tile_size.x) - first.x};
}

void codestream_ref::limit_components(int n) {
    const int all = static_cast<int>(s_->components.size());
    s_->first_component = 0;
    s_->visible_components = n <= 0 ? all : std::min(n, all);
    s_->discard_levels = 0;
    s_->max_layers = 0xFFFF;
    s_->region = s_->canvas;
}

void codestream_ref::set_comments(std::vector<std::string> comments) {
    s_->comments = std::move(comments);
}

const std::vector<std::string>& codestream_ref::comments() const {
    return s_->comments;
}

void codestream_ref::set_recovery_mode() {
    s_->resilient = true;
    s_->expect_sop = false;
    s_->strict = false;
}

void codestream_ref::clear_check_modes() {
    s_->resilient = false;
    s_->strict = false;
}

// ---------------------------------------------------------------------------
// Tiles

tile_state& codestream_state::make_tile(int index) {
    auto t = std::make_unique<tile_state>();
    t->codestream = this;
    t->index = index;
    const int64_t ty = index / tiles.x, tx = index % tiles.x;
    rect cell{{tile_origin.y + ty * tile_size.y, tile_origin.x + tx * tile_size.x}, tile_size};
    t->region = rect_intersect(cell, canvas);
    tiles_live[index] = std::move(t);
    return *tiles_live[index];
}

void codestream_state::destroy_tile(int index) {
    tiles_live[index].reset();
    released[index] = 1;
    tree->erase_tile(index);
}

tile_ref codestream_ref::fetch_tile(int y, int x) {
    if (y < 0 || x < 0 || y >= s_->tiles.y || x >= s_->tiles.x) fail("Invalid argument");
    const int index = static_cast<int>(y * s_->tiles.x + x);
    if (s_->released[index])
        fail("Attempting to access a tile which has already been discarded or closed!");
    tile_state* t = s_->tiles_live[index].get();
    if (t && t->open) fail("You must close a tile before you can re-open it.");
    if (t && t->closed)
        fail("Attempting to access a tile which has already been discarded or closed!");
    if (!t) t = &s_->make_tile(index);
    if (s_->in) {
        // Read tile-parts until this tile's first one (its main parameters).
        while (t->tile_parts_read == 0 && !s_->at_end && s_->read_tile_part_header()) {}
    }
    if (!t->built) s_->build_tile(*t);
    t->open = true;
    return tile_ref(t);
}

void tile_ref::release() {
    tile_state* t = t_;
    t->open = false;
    t->closed = true;
    codestream_state* s = t->codestream;
    // A read tile goes at once; its remaining tile-parts are skipped.
    if (s->in) s->destroy_tile(t->index);
    t_ = nullptr;
}

void codestream_state::build_tile(tile_state& t) {
    const int n = static_cast<int>(components.size());
    param_cluster* cod = tree->cluster("COD");
    param_cluster* qcd = tree->cluster("QCD");
    param_cluster* rgn = tree->cluster("RGN");
    tree->ensure(t.index, -1);
    const j2k_params* tc = cod->find(t.index, -1);
    int layers = 1;
    tc->read_int("Clayers", 0, 0, layers);
    t.layers = std::min(layers, max_layers);
    tc->read_int("Corder", 0, 0, t.order);
    tc->read_bool("Cycc", 0, 0, t.ycc);
    tc->read_bool("Cuse_sop", 0, 0, t.sop);
    tc->read_bool("Cuse_eph", 0, 0, t.eph);
    bool align[2] = {false, false};
    tc->read_bool("Calign_blk_last", 0, 0, align[0]);
    tc->read_bool("Calign_blk_last", 0, 1, align[1]);
    t.align = {align[0] ? 1 : 0, align[1] ? 1 : 0};
    // Thousands of components of up to 33 resolutions each: their records
    // are counted before they are made.
    double records = 0;
    std::vector<size_t> first_resolution(static_cast<size_t>(n) + 1, 0);
    for (int c = 0; c < n; ++c) {
        int levels = 0;
        cod->read_int(t.index, c, "Clevels", 0, 0, levels);
        levels = std::clamp(levels, 0, 32);
        first_resolution[static_cast<size_t>(c) + 1] =
            first_resolution[static_cast<size_t>(c)] + static_cast<size_t>(levels) + 1;
        records += sizeof(tile_component_state) + (levels + 1.0) * sizeof(resolution_state);
    }
    if (records > static_cast<double>(structure_limit)) {
        error_report e;
        e << "Tile " << t.index << " needs " << static_cast<int64_t>(records / 1048576)
          << " MB for the records of its components, more than the image may take";
        e.refuse();
    }
    t.components.resize(static_cast<size_t>(n));
    t.resolution_table.assign(first_resolution.back(), resolution_state{});
    // The last component built from the tile's and the main header's
    // parameters alone: thousands of components alike are copies of it.
    int like = -1;
    for (int c = 0; c < n; ++c) {
        // Read through inheritance: no object is made per tile-component.
        tile_component_state& tcs = t.components[c];
        const bool own_params = cod->find(t.index, c) || cod->find(-1, c) ||
                                qcd->find(t.index, c) || qcd->find(-1, c) ||
                                rgn->find(t.index, c) || rgn->find(-1, c);
        // The colour transform weighs the first three components' bands.
        if (!own_params && like >= 0 && !(t.ycc && c < 3) &&
            components[c].subsampling == components[like].subsampling &&
            components[c].precision == components[like].precision &&
            components[c].is_signed == components[like].is_signed) {
            const tile_component_state& model = t.components[like];
            tcs = model;
            tcs.index = c;
            tcs.resolutions.place(t.resolution_table.data() + first_resolution[c],
                                  model.resolutions.size());
            std::copy(model.resolutions.begin(), model.resolutions.end(), tcs.resolutions.begin());
            for (resolution_state& res : tcs.resolutions) {
                res.component = &tcs;
                for (subband_state& sb : res.bands)
                    sb.resolution = &res;
            }
            continue;
        }
        if (!own_params && !(t.ycc && c < 3)) like = c;
        tcs.tile = &t;
        tcs.index = c;
        tcs.subsampling = components[c].subsampling;
        tcs.precision = components[c].precision;
        tcs.is_signed = components[c].is_signed;
        tcs.region = scaled(t.region, tcs.subsampling);
        int blk[2] = {64, 64};
        bool use_precincts = false;
        cod->read_int(t.index, c, "Clevels", 0, 0, tcs.levels);
        cod->read_bool(t.index, c, "Creversible", 0, 0, tcs.reversible);
        cod->read_int(t.index, c, "Ckernels", 0, 0, tcs.kernels);
        cod->read_int(t.index, c, "Cblk", 0, 0, blk[0]);
        cod->read_int(t.index, c, "Cblk", 0, 1, blk[1]);
        cod->read_int(t.index, c, "Cmodes", 0, 0, tcs.modes);
        cod->read_bool(t.index, c, "Cuse_precincts", 0, 0, use_precincts);
        tcs.block = {blk[0], blk[1]};
        if (tcs.levels - discard_levels < 0)
            fail(
                "Attempting to discard more DWT levels than are available in one or more tile "
                "components!");
        const int levels = tcs.levels;
        // Quantisation: every band the coding style has needs its record.
        int guard = 1, rshift = 0, rlevels = 4;
        bool derived = false;
        qcd->read_int(t.index, c, "Qguard", 0, 0, guard);
        qcd->read_bool(t.index, c, "Qderived", 0, 0, derived);
        rgn->read_int(t.index, c, "Rshift", 0, 0, rshift);
        rgn->read_int(t.index, c, "Rlevels", 0, 0, rlevels);
        float rweight = -1;
        const bool has_weight = rgn->read_float(t.index, c, "Rweight", 0, 0, rweight);
        const int bands = 3 * levels + 1;
        const char* kind = tcs.reversible ? "Qabs_ranges" : "Qabs_steps";
        int dummy_i;
        float dummy_f;
        const bool have_records =
            tcs.reversible ? qcd->read_int(t.index, c, kind, derived ? 0 : bands - 1, 0, dummy_i)
                           : qcd->read_float(t.index, c, kind, derived ? 0 : bands - 1, 0, dummy_f);
        if (!have_records)
            invalid_segment(0xFF5C, "no quantisation record for every one of the " +
                                        std::to_string(bands) + " bands of tile " +
                                        std::to_string(t.index) + " component " +
                                        std::to_string(c));
        const wavelet_kernel_desc& kernel =
            wavelet_kernel_desc::standard(tcs.kernels, tcs.reversible && tcs.kernels == W5X3);
        // Levels beyond 32 are refused with the coding style.
        if (first_resolution[c] + static_cast<size_t>(levels) + 1 != first_resolution[c + 1])
            fail("Invalid number of decomposition levels");
        tcs.resolutions.place(t.resolution_table.data() + first_resolution[c],
                              static_cast<size_t>(levels + 1));
        const coords align_c = t.align;
        for (int r = 0; r <= levels; ++r) {
            resolution_state& res = tcs.resolutions[r];
            res.component = &tcs;
            res.level = r;
            res.depth = r == 0 ? levels : levels - r + 1;
            res.roi = rshift > 0 && res.depth <= rlevels;
            rect reg = tcs.region;
            for (int k = 0; k < levels - r; ++k)
                reg = halve(reg, 0, 0);
            res.region = reg;
            int pp[2] = {1 << 15, 1 << 15};
            if (use_precincts) {
                cod->read_int(t.index, c, "Cprecincts", levels - r, 0, pp[0]);
                cod->read_int(t.index, c, "Cprecincts", levels - r, 1, pp[1]);
            }
            if (!is_power_of_two(pp[0]) || !is_power_of_two(pp[1]))
                fail(
                    "Coding partitions (namely, code-block and precinct partitions) must have "
                    "exact power-of-2 dimensions!");
            if (r > 0 && (pp[0] < 2 || pp[1] < 2))
                fail(
                    "Precinct partition dimensions must be >= 2 in all but the lowest "
                    "resolution level!");
            res.precinct_exponent = {log2_exact(pp[0]), log2_exact(pp[1])};
            cells(reg, {0, 0}, res.precinct_exponent, res.first_precinct, res.precinct_count);
            const int first_band = r == 0 ? 0 : 1, last_band = r == 0 ? 0 : 3;
            for (int b = first_band; b <= last_band; ++b) {
                subband_state sb;
                sb.resolution = &res;
                sb.orientation = b;
                const int by = b >= 2 ? 1 : 0, bx = (b & 1) ? 1 : 0;
                sb.region = r == 0 ? reg : halve(tcs.resolutions[r].region, by, bx);
                // Band record: LL, then per level from the coarsest HL, LH, HH.
                const int record = r == 0 ? 0 : 3 * (r - 1) + b;
                if (tcs.reversible) {
                    qcd->read_int(t.index, c, "Qabs_ranges", record, 0, sb.exponent);
                } else {
                    float step0 = 1;
                    qcd->read_float(t.index, c, "Qabs_steps", derived ? 0 : record, 0, step0);
                    step_code code = encode_step(step0);
                    if (derived) {
                        code.exponent += (r == 0 ? 0 : res.depth - levels);
                        code.exponent = std::max(code.exponent, 0);
                    }
                    sb.exponent = code.exponent;
                    sb.step = decode_step(code);
                }
                sb.magnitude_bits = guard + sb.exponent - 1;
                sb.roi_magnitude_bits = sb.magnitude_bits + rshift;
                if (sb.roi_magnitude_bits > 31 || sb.magnitude_bits < 0)
                    invalid_segment(0xFF5C, std::to_string(sb.roi_magnitude_bits) +
                                                " magnitude bit-planes, above 31");
                if (has_weight && rweight >= 0) sb.roi_weight = rweight * rweight;
                float lw = 1, bw = 1;
                if (b != 0) {
                    cod->read_float(t.index, c, "Clev_weights", levels - r, 0, lw);
                    cod->read_float(t.index, c, "Cband_weights", 3 * (res.depth - 1) + (3 - b), 0,
                                    bw);
                }
                sb.weight = lw * bw;
                const int d = res.depth;
                const double gl = kernel.synthesis_energy_gain(2, d),
                             gh = kernel.synthesis_energy_gain(3, d);
                sb.energy_gain = (by ? gh : gl) * (bx ? gh : gl);
                if (t.ycc && c < 3) {
                    static const double rev[3] = {3, 0.6875, 0.6875},
                                        irr[3] = {3, 3.2584138, 2.4755945};
                    sb.energy_gain *= tcs.reversible ? rev[c] : irr[c];
                }
                // Code-blocks: Cblk limited to the precinct (half of it in the
                // bands of resolutions above 0).
                const int shrink = r == 0 ? 0 : 1;
                const coords blk_exp = {
                    std::min<int64_t>(log2_exact(tcs.block.y), res.precinct_exponent.y - shrink),
                    std::min<int64_t>(log2_exact(tcs.block.x), res.precinct_exponent.x - shrink)};
                sb.block_size = {int64_t{1} << blk_exp.y, int64_t{1} << blk_exp.x};
                sb.block_origin = align_c;
                cells(sb.region, sb.block_origin, blk_exp, sb.first_block, sb.block_count);
                res.bands.push_back(sb);
            }
        }
    }
    if (t.ycc) {
        if (n < 3 || t.components[1].subsampling != t.components[0].subsampling ||
            t.components[2].subsampling != t.components[0].subsampling ||
            t.components[1].reversible != t.components[0].reversible ||
            t.components[2].reversible != t.components[0].reversible)
            fail(
                "Illegal colour transform specified when image has insufficient or "
                "incompatible colour components.");
    }
    t.built = true;
}

// ---------------------------------------------------------------------------
// Handle accessors

int tile_ref::index() const {
    return t_->index;
}
rect tile_ref::extent() const {
    return t_->region;
}
int tile_ref::component_count() const {
    return t_->codestream->visible_components;
}
bool tile_ref::uses_colour_transform() const {
    return t_->ycc && t_->codestream->first_component == 0 &&
           t_->codestream->visible_components >= 3;
}
tile_component_ref tile_ref::component_at(int i) const {
    return tile_component_ref(&t_->components.at(i + t_->codestream->first_component));
}
int tile_ref::layers() const {
    return t_->layers;
}
int tile_ref::order() const {
    return t_->order;
}
bool tile_ref::uses_sop() const {
    return t_->sop;
}
bool tile_ref::uses_eph() const {
    return t_->eph;
}
int tile_ref::tile_parts_read() const {
    return t_->tile_parts_read;
}
progression_walker& tile_ref::walker() const {
    if (!t_->walker) t_->walker = std::make_unique<progression_walker>(*t_);
    return *t_->walker;
}

int tile_component_ref::component_index() const {
    return c_->index;
}
int tile_component_ref::sample_precision(bool with_headroom) const {
    if (!with_headroom) return c_->precision;
    const int extra = !c_->reversible ? 7 : (c_->tile->ycc && c_->index < 3 ? 5 : 4);
    return c_->precision + extra;
}
bool tile_component_ref::is_reversible() const {
    return c_->reversible;
}
resolution_ref tile_component_ref::top_resolution() const {
    const int kept = c_->levels - c_->tile->codestream->discard_levels;
    return resolution_ref(&c_->resolutions[static_cast<size_t>(kept)]);
}
coords tile_component_ref::subsampling() const {
    const int d = c_->tile->codestream->discard_levels;
    return {c_->subsampling.y << d, c_->subsampling.x << d};
}
rect tile_component_ref::extent() const {
    return c_->region;
}
int tile_component_ref::levels() const {
    return c_->levels;
}
coords tile_component_ref::block_size() const {
    return c_->block;
}
int tile_component_ref::modes() const {
    return c_->modes;
}

int resolution_ref::level_index() const {
    return r_->level;
}
resolution_ref resolution_ref::next_lower() const {
    return resolution_ref(r_->level == 0 ? nullptr : r_ - 1);
}
subband_ref resolution_ref::band_at(int band) const {
    if (r_->level == 0) return subband_ref(band == 0 ? &r_->bands[0] : nullptr);
    return subband_ref(band >= 1 && band <= 3 ? &r_->bands[band - 1] : nullptr);
}
rect resolution_ref::extent() const {
    return r_->region;
}
int resolution_ref::decomposition_depth() const {
    return r_->depth;
}
int resolution_ref::kernel_id() const {
    return r_->component->kernels;
}
bool resolution_ref::is_reversible() const {
    return r_->component->reversible;
}
bool resolution_ref::roi_levels_reached() const {
    return r_->roi;
}
coords resolution_ref::precinct_exponents() const {
    return r_->precinct_exponent;
}
void resolution_ref::precinct_indices(coords& first, coords& count) const {
    first = r_->first_precinct;
    count = r_->precinct_count;
}

int subband_ref::orientation() const {
    return s_->orientation;
}
rect subband_ref::extent() const {
    return s_->region;
}
void subband_ref::valid_blocks(coords& first, coords& count) const {
    first = s_->first_block;
    count = s_->block_count;
}
void subband_ref::block_partition(coords& nominal, coords& first_size) const {
    nominal = s_->block_size;
    // The first code-block runs from the band's origin to the next boundary.
    const int64_t y0 = s_->block_origin.y + s_->first_block.y * s_->block_size.y;
    const int64_t x0 = s_->block_origin.x + s_->first_block.x * s_->block_size.x;
    first_size = {std::min(y0 + s_->block_size.y, s_->region.end().y) - s_->region.pos.y,
                  std::min(x0 + s_->block_size.x, s_->region.end().x) - s_->region.pos.x};
}
float subband_ref::step_size() const {
    return s_->step;
}
bool subband_ref::is_reversible() const {
    return s_->resolution->component->reversible;
}
int subband_ref::magnitude_bits() const {
    return s_->magnitude_bits;
}
int subband_ref::roi_magnitude_bits() const {
    return s_->roi_magnitude_bits;
}
float subband_ref::roi_weight() const {
    return s_->roi_weight;
}
double subband_ref::energy_gain() const {
    return s_->energy_gain;
}
float subband_ref::weight() const {
    return s_->weight;
}

} // namespace j2k

namespace j2k {

void tile_ref::read_remaining_tile_parts() {
    codestream_state* s = t_->codestream;
    if (!s->in) return;
    while ((t_->tnsot == 0 || t_->tile_parts_read < t_->tnsot) && s->read_tile_part_header()) {}
}

} // namespace j2k

namespace j2k {

codestream_input_buffer* tile_ref::packed_headers() const {
    return t_->packed_headers.get();
}

} // namespace j2k
