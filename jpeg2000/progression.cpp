// Progression orders (ITU-T T.800 B.12): layer-driven LRCP and RLCP walk
// counters; position-driven RPCL, PCRL and CPRL walk a grid of canvas
// positions, each (component, resolution) offering the precinct under its own
// cursor, so a precinct comes out when the grid reaches its corner.
#include "jpeg2000/progression.h"

#include <algorithm>

#include "jpeg2000/clusters.h"
#include "jpeg2000/codestream_state.h"
#include "jpeg2000/messages.h"

namespace j2k {

namespace {
constexpr uint16_t released_precinct = 0xFFFF;
}

progression_walker::progression_walker(tile_state& tile) : tile_(tile) {
    tile_end_ = tile.region.end();
    int64_t total = 0;
    for (tile_component_state& tc : tile.components) {
        max_levels_ = std::max(max_levels_, tc.levels);
        powers_of_two_ = powers_of_two_ && is_power_of_two(tc.subsampling.y) &&
                         is_power_of_two(tc.subsampling.x);
        for (resolution_state& r : tc.resolutions) {
            const int64_t n = r.precinct_count.y * r.precinct_count.x;
            total += n;
            if (total > max_precincts) {
                error_report e;
                e << "Tile " << tile.index << " has more precincts than the engine keeps ("
                  << max_precincts << ")";
                e.refuse();
            }
        }
    }
    // One table for the tile: thousands of components make one allocation.
    layers_count_ = static_cast<size_t>(total);
    layers_.reset(new uint16_t[layers_count_]());
    int64_t at = 0;
    for (tile_component_state& tc : tile.components)
        for (resolution_state& r : tc.resolutions) {
            r.next_layer = layers_.get() + at;
            at += r.precinct_count.y * r.precinct_count.x;
            r.cursor = {0, 0};
        }
    tile.packets = total * tile.layers;
    tile.packets_done = 0;
}

// The canvas position of a precinct's corner.
coords progression_walker::precinct_position(int c, int r, coords cell) const {
    const tile_component_state& tc = tile_.components[c];
    const resolution_state& rs = tc.resolutions[r];
    const int shift = tc.levels - r;
    const int64_t y =
        ((cell.y + rs.first_precinct.y) << (rs.precinct_exponent.y + shift)) * tc.subsampling.y +
        tile_.align.y;
    const int64_t x =
        ((cell.x + rs.first_precinct.x) << (rs.precinct_exponent.x + shift)) * tc.subsampling.x +
        tile_.align.x;
    return {y, x};
}

bool progression_walker::setup() {
    const bool writing = tile_.codestream->out != nullptr;
    param_cluster* poc = tile_.codestream->tree->cluster("POC");
    if (!started_) {
        started_ = true;
        poc_instance_ = 0;
        poc_record_ = 0;
        int v;
        const j2k_params* p = poc->find(tile_.index, -1);
        if (!p) p = poc->head();
        have_changes_ = p->read_int("Porder", 0, 0, v);
    } else if (!have_changes_) {
        return false; // the tile's single progression is done
    }
    int rec[6];
    if (have_changes_) {
        auto read_record = [&](int instance, int record) {
            const j2k_params* p = poc->find(tile_.index, -1, instance);
            if (!p && instance == 0) p = poc->head();
            if (!p) return false;
            for (int f = 0; f < 6; ++f)
                if (!p->read_int("Porder", record, f, rec[f], instance == 0, false)) return false;
            return true;
        };
        if (!read_record(poc_instance_, poc_record_)) {
            const j2k_params* q = poc->find(tile_.index, -1, poc_instance_ + 1);
            if (!q || q->own_records("Porder") == 0) {
                if (!writing) return false;
                error_report e;
                e << "Progression order attributes for tile " << tile_.index << " are insuffient";
                e.raise();
            }
            if (poc_instance_ + 1 >= tile_.tile_parts_read) return false;
            ++poc_instance_;
            poc_record_ = 0;
            if (!read_record(poc_instance_, 0)) return false;
        }
        ++poc_record_;
        first_res_ = rec[0];
        first_comp_ = rec[1];
        layer_end_ = rec[2];
        res_end_ = rec[3];
        comp_end_ = rec[4];
        order_ = rec[5];
    } else {
        order_ = tile_.order;
        first_res_ = 0;
        first_comp_ = 0;
        layer_end_ = tile_.layers;
        comp_end_ = static_cast<int>(tile_.components.size());
        res_end_ = max_levels_ + 1;
    }
    layer_end_ = std::min(layer_end_, tile_.layers);
    comp_end_ = std::min(comp_end_, static_cast<int>(tile_.components.size()));
    res_end_ = std::min(res_end_, max_levels_ + 1);
    layer_ = 0;
    res_ = first_res_;
    comp_ = first_comp_;
    precinct_ = 0;
    if (order_ == RPCL || order_ == PCRL || order_ == CPRL) {
        // The grid of each component: the smallest canvas extent of its
        // precincts, anchored at the code-block alignment.
        if ((order_ == RPCL || order_ == PCRL) && !powers_of_two_)
            fail("Invalid sub-sampling factors");
        bool first = true;
        for (int c = 0; c < static_cast<int>(tile_.components.size()); ++c) {
            if (order_ == CPRL && c != first_comp_) continue;
            tile_component_state& tc = tile_.components[c];
            coords step = {int64_t{1} << 62, int64_t{1} << 62};
            for (resolution_state& rs : tc.resolutions) {
                const int shift = tc.levels - rs.level;
                step.y = std::min(step.y, tc.subsampling.y << (rs.precinct_exponent.y + shift));
                step.x = std::min(step.x, tc.subsampling.x << (rs.precinct_exponent.x + shift));
            }
            if (first || step.y < grid_step_.y || step.x < grid_step_.x) {
                if (first || step.y < grid_step_.y) {
                    grid_step_.y = step.y;
                    grid_start_.y = tile_.align.y +
                                    floor_div(tile_.region.pos.y - tile_.align.y, step.y) * step.y;
                }
                if (first || step.x < grid_step_.x) {
                    grid_step_.x = step.x;
                    grid_start_.x = tile_.align.x +
                                    floor_div(tile_.region.pos.x - tile_.align.x, step.x) * step.x;
                }
                first = false;
            }
            for (resolution_state& rs : tc.resolutions)
                rs.cursor = {0, 0};
        }
        if (order_ != CPRL)
            for (tile_component_state& tc : tile_.components)
                for (resolution_state& rs : tc.resolutions)
                    rs.cursor = {0, 0};
        pos_ = grid_start_;
        check_walk_size();
    }
    return true;
}

// The position-driven orders visit every grid position for every
// (component, resolution) pair of the progression; a hostile mix of one fine
// precinct grid and many components could make that endless.
void progression_walker::check_walk_size() const {
    constexpr double limit = 4294967296.0; // 2^32 visits
    double visits = 0;
    for (int c = first_comp_; c < comp_end_; ++c) {
        const tile_component_state& tc = tile_.components[c];
        coords step = grid_step_, start = grid_start_;
        if (order_ == CPRL) {
            step = {int64_t{1} << 62, int64_t{1} << 62};
            for (const resolution_state& rs : tc.resolutions) {
                const int shift = tc.levels - rs.level;
                step.y = std::min(step.y, tc.subsampling.y << (rs.precinct_exponent.y + shift));
                step.x = std::min(step.x, tc.subsampling.x << (rs.precinct_exponent.x + shift));
            }
            start = {tile_.region.pos.y - step.y, tile_.region.pos.x - step.x};
        }
        const double positions = static_cast<double>(ceil_div(tile_end_.y - start.y, step.y)) *
                                 static_cast<double>(ceil_div(tile_end_.x - start.x, step.x));
        const int pairs = std::max(0, std::min(tc.levels + 1, res_end_) - first_res_);
        visits += positions * pairs;
    }
    if (visits > limit) {
        error_report e;
        e << "The progression of tile " << tile_.index
          << " visits more precinct positions than the engine walks";
        e.refuse();
    }
}

void progression_walker::take(int c, int r, int64_t p, packet_position& out) {
    resolution_state& rs = tile_.components[c].resolutions[r];
    out.layer = rs.next_layer[p];
    out.resolution = r;
    out.component = c;
    out.precinct = p;
    ++rs.next_layer[p];
    ++tile_.packets_done;
}

bool progression_walker::next_layer_driven(packet_position& out) {
    auto visit = [&]() {
        tile_component_state& tc = tile_.components[comp_];
        if (res_ > tc.levels) return false;
        resolution_state& rs = tc.resolutions[res_];
        const int64_t n = rs.precinct_count.y * rs.precinct_count.x;
        for (; precinct_ < n; ++precinct_)
            if (rs.next_layer[precinct_] == layer_) {
                take(comp_, res_, precinct_++, out);
                return true;
            }
        return false;
    };
    if (order_ == LRCP) {
        for (; layer_ < layer_end_; ++layer_, res_ = first_res_)
            for (; res_ < res_end_; ++res_, comp_ = first_comp_)
                for (; comp_ < comp_end_; ++comp_, precinct_ = 0)
                    if (visit()) return true;
    } else {
        for (; res_ < res_end_; ++res_, layer_ = 0)
            for (; layer_ < layer_end_; ++layer_, comp_ = first_comp_)
                for (; comp_ < comp_end_; ++comp_, precinct_ = 0)
                    if (visit()) return true;
    }
    return false;
}

bool progression_walker::offer(int c, int r, packet_position& out) {
    tile_component_state& tc = tile_.components[c];
    if (r > tc.levels) return false;
    resolution_state& rs = tc.resolutions[r];
    const coords count = rs.precinct_count;
    if (count.y <= 0 || count.x <= 0 || rs.cursor.y >= count.y) return false;
    const int64_t p = rs.cursor.y * count.x + rs.cursor.x;
    const uint16_t nl = rs.next_layer[p];
    if (nl == released_precinct || nl >= layer_end_) {
        if (++rs.cursor.x == count.x) {
            rs.cursor.x = 0;
            ++rs.cursor.y;
        }
        return false;
    }
    const coords at = precinct_position(c, r, rs.cursor);
    if ((at.y == pos_.y || at.y < grid_start_.y) && (at.x == pos_.x || at.x < grid_start_.x)) {
        take(c, r, p, out);
        return true;
    }
    return false;
}

bool progression_walker::next_position_driven(packet_position& out) {
    if (order_ == RPCL) {
        for (; res_ < res_end_; ++res_, pos_ = grid_start_)
            for (; pos_.y < tile_end_.y; pos_.y += grid_step_.y, pos_.x = grid_start_.x)
                for (; pos_.x < tile_end_.x; pos_.x += grid_step_.x, comp_ = first_comp_)
                    for (; comp_ < comp_end_; ++comp_)
                        if (offer(comp_, res_, out)) return true;
    } else if (order_ == PCRL) {
        for (; pos_.y < tile_end_.y; pos_.y += grid_step_.y, pos_.x = grid_start_.x)
            for (; pos_.x < tile_end_.x; pos_.x += grid_step_.x, comp_ = first_comp_)
                for (; comp_ < comp_end_; ++comp_, res_ = first_res_)
                    for (; res_ < res_end_; ++res_)
                        if (offer(comp_, res_, out)) return true;
    } else {
        // CPRL: each component walks its own grid.
        auto enter = [&]() {
            if (comp_ >= comp_end_) return;
            tile_component_state& tc = tile_.components[comp_];
            coords step = {int64_t{1} << 62, int64_t{1} << 62};
            for (resolution_state& rs : tc.resolutions) {
                const int shift = tc.levels - rs.level;
                step.y = std::min(step.y, tc.subsampling.y << (rs.precinct_exponent.y + shift));
                step.x = std::min(step.x, tc.subsampling.x << (rs.precinct_exponent.x + shift));
                rs.cursor = {0, 0};
            }
            grid_step_ = step;
            grid_start_ = {
                tile_.align.y + floor_div(tile_.region.pos.y - tile_.align.y, step.y) * step.y,
                tile_.align.x + floor_div(tile_.region.pos.x - tile_.align.x, step.x) * step.x};
            pos_ = grid_start_;
        };
        for (; comp_ < comp_end_; ++comp_, enter())
            for (; pos_.y < tile_end_.y; pos_.y += grid_step_.y, pos_.x = grid_start_.x)
                for (; pos_.x < tile_end_.x; pos_.x += grid_step_.x, res_ = first_res_)
                    for (; res_ < res_end_; ++res_)
                        if (offer(comp_, res_, out)) return true;
    }
    return false;
}

bool progression_walker::next(packet_position& out) {
    if (tile_.packets_done >= tile_.packets) return false;
    if (!started_ && !setup()) return false;
    for (;;) {
        bool got = false;
        if (order_ == LRCP || order_ == RLCP)
            got = next_layer_driven(out);
        else if (order_ >= RPCL && order_ <= CPRL)
            got = next_position_driven(out);
        if (got) return true;
        if (!setup()) return false;
    }
}

void progression_walker::save() {
    saved_layers_.assign(layers_.get(), layers_.get() + layers_count_);
    for (tile_component_state& tc : tile_.components)
        for (resolution_state& rs : tc.resolutions)
            rs.saved_cursor = rs.cursor;
    saved_instance_ = poc_instance_;
    saved_done_ = tile_.packets_done;
}

void progression_walker::restore() {
    std::copy(saved_layers_.begin(), saved_layers_.end(), layers_.get());
    for (tile_component_state& tc : tile_.components)
        for (resolution_state& rs : tc.resolutions)
            rs.cursor = rs.saved_cursor;
    tile_.packets_done = saved_done_;
    // Start again from the first record of the saved order change.
    started_ = have_changes_;
    poc_instance_ = saved_instance_;
    poc_record_ = 0;
    if (!have_changes_) return;
    setup();
}

} // namespace j2k
