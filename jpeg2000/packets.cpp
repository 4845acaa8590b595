#include "jpeg2000/packets.h"

#include <algorithm>
#include <cstring>

#include "jpeg2000/messages.h"

namespace j2k {

namespace {

// Packet data ran out.
struct truncated {};

// Packet-header bits: most significant first, 7 bits in a byte after 0xFF;
// from packed headers in memory, or from the tile's data a run at a time.
class bit_reader {
public:
    bit_reader(const uint8_t* begin, size_t at, const uint8_t* end)
        : p_(begin + at), end_(end), base_(begin) {}
    bit_reader(tile_data& data, int64_t at) : data_(&data) {
        if (at < data.size()) data.view(at, p_, end_);
        base_ = p_;
        base_position_ = at;
    }
    int bit() {
        if (n_ == 0) {
            if (p_ == end_ && !more()) throw truncated{};
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
    // The end of the header (a final 0xFF is followed by a stuffed byte):
    // its position.
    int64_t finish() {
        if (last_ == 0xFF) {
            if (p_ == end_ && !more()) throw truncated{};
            ++p_;
        }
        return position();
    }

private:
    int64_t position() const { return base_position_ + (p_ - base_); }
    bool more() {
        if (!data_ || position() >= data_->size()) return false;
        base_position_ = position();
        data_->view(base_position_, p_, end_);
        base_ = p_;
        return p_ != end_;
    }

    const uint8_t* p_ = nullptr;
    const uint8_t* end_ = nullptr;
    const uint8_t* base_ = nullptr;
    int64_t base_position_ = 0;
    tile_data* data_ = nullptr;
    uint8_t last_ = 0;
    int n_ = 0;
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

} // namespace

void tile_data::append(const uint8_t* bytes, int64_t n) {
    bytes_.insert(bytes_.end(), bytes, bytes + n);
    size_ += n;
}

void tile_data::add_part(codestream_source* source, int64_t position, int64_t length) {
    source_ = source;
    parts_.push_back({size_, position, length});
    size_ += length;
}

void tile_data::read(int64_t offset, uint8_t* out, int64_t n) const {
    if (!source_) {
        std::memcpy(out, bytes_.data() + offset, static_cast<size_t>(n));
        return;
    }
    auto p = std::upper_bound(parts_.begin(), parts_.end(), offset,
                              [](int64_t at, const part& q) { return at < q.offset; });
    for (--p; n > 0; ++p) {
        const int64_t skip = offset - p->offset;
        const int64_t want = std::min(n, p->length - skip);
        const int64_t got = std::max<int64_t>(source_->read_at(p->position + skip, out, want), 0);
        std::fill(out + got, out + want, 0xFF);
        out += want;
        offset += want;
        n -= want;
    }
}

void tile_data::view(int64_t offset, const uint8_t*& begin, const uint8_t*& end) {
    if (!source_) {
        begin = bytes_.data() + offset;
        end = bytes_.data() + size_;
        return;
    }
    // Packets follow one another: the run read last usually holds the next.
    const int64_t held = static_cast<int64_t>(window_.size());
    if (offset < window_at_ || offset >= window_at_ + held) {
        constexpr int64_t run = 1 << 16;
        window_.resize(static_cast<size_t>(std::min(run, size_ - offset)));
        read(offset, window_.data(), static_cast<int64_t>(window_.size()));
        window_at_ = offset;
    }
    begin = window_.data() + (offset - window_at_);
    end = window_.data() + window_.size();
}

tile_packets::tile_packets(tile_state& tile, tile_data data, int64_t room)
    : tile_(tile), data_(std::move(data)), room_(room) {}

tile_packets::precinct& tile_packets::precinct_at(int c, int r, int64_t p) {
    resolution_blocks& rb = component(c)[static_cast<size_t>(r)];
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
        room_ -= static_cast<int64_t>(sizeof(precinct_band)) + pb.inclusion.bytes() +
                 pb.zero_planes.bytes();
        pr.bands.push_back(std::move(pb));
    }
    // A precinct's record, with the hash table's share.
    room_ -= static_cast<int64_t>(sizeof(precinct)) + 64;
    if (room_ < 0) refuse("The code-stream's precincts need more memory than the image may take");
    return pr;
}

// A component's records are made when a packet or the decoding first
// reaches it: a tile of thousands of components whose data ends early makes
// only those of the few its packets name.
std::vector<tile_packets::resolution_blocks>& tile_packets::component(int c) const {
    std::vector<resolution_blocks>& rbs = comps_[static_cast<size_t>(c)];
    if (!rbs.empty()) return rbs;
    const tile_component_state& tc = tile_.components[static_cast<size_t>(c)];
    rbs.resize(tc.resolutions.size());
    for (size_t r = 0; r < rbs.size(); ++r) {
        const resolution_state& rs = tc.resolutions[r];
        rbs[r].resolution = &rs;
        rbs[r].bands.resize(rs.bands.size());
        for (size_t b = 0; b < rs.bands.size(); ++b)
            rbs[r].bands[b].band = &rs.bands[b];
    }
    return rbs;
}

bool tile_packets::read_packets() {
    comps_.resize(tile_.components.size());
    if (tile_.packed_headers) {
        uint8_t b;
        while (tile_.packed_headers->get_byte(b))
            packed_.push_back(b);
    }
    packet_position pos;
    // Without packed headers and markers, a zero byte is an empty packet
    // whole: flat images are mostly such packets, and so is a flood of them.
    const bool plain = !tile_.packed_headers && !tile_.sop && !tile_.eph;
    const int64_t size = data_.size();
    try {
        progression_walker& walker = tile_ref(&tile_).walker();
        // The bytes from at_ to the end of their run, kept while the walk
        // reads empty packets (read_packet moves at_ and the runs).
        const uint8_t *run = nullptr, *run_end = nullptr;
        while (walker.next(pos)) {
            if (plain && at_ < size) {
                if (run == run_end) data_.view(at_, run, run_end);
                if (*run == 0) {
                    ++at_;
                    ++run;
                    continue;
                }
            }
            run = run_end = nullptr;
            read_packet(pos);
        }
    } catch (truncated&) {
        warning_report w;
        w << "Code-stream data of tile " << tile_.index << " end before its last packet";
        return false;
    }
    return true;
}

void tile_packets::read_packet(const packet_position& pos) {
    resolution_blocks& rb = component(pos.component)[static_cast<size_t>(pos.resolution)];
    const int modes = tile_.components[pos.component].modes;
    const int64_t size = data_.size();
    // Two bytes of the data at `at`, when there.
    auto marker_at = [&](int64_t at, uint8_t second) {
        if (at + 2 > size) return false;
        const uint8_t *b, *e;
        data_.view(at, b, e);
        if (e - b < 2) {
            uint8_t pair[2];
            data_.read(at, pair, 2);
            return pair[0] == 0xFF && pair[1] == second;
        }
        return b[0] == 0xFF && b[1] == second;
    };
    if (tile_.sop && at_ + 6 <= size && marker_at(at_, 0x91)) at_ += 6;
    const bool packed = tile_.packed_headers != nullptr;
    bit_reader br = packed ? bit_reader(packed_.data(), packed_at_, packed_.data() + packed_.size())
                           : bit_reader(data_, at_);
    // What the header gives each included block, applied once the header
    // has been read whole.
    struct piece {
        code_block* block;
        int passes;
        int64_t length;
        bool new_segment;
    };
    std::vector<piece> pieces;
    // An empty packet leaves its precinct as it was: the record is only made
    // for a packet that brings something.
    if (br.bit()) {
        precinct& pr = precinct_at(pos.component, pos.resolution, pos.precinct);
        for (size_t b = 0; b < rb.bands.size(); ++b) {
            band_blocks& bb = rb.bands[b];
            precinct_band& pb = pr.bands[b];
            if (bb.blocks.empty() && pb.count.y > 0 && pb.count.x > 0) {
                const int64_t n = bb.band->block_count.y * bb.band->block_count.x;
                room_ -= n * static_cast<int64_t>(sizeof(code_block));
                if (room_ < 0)
                    refuse(
                        "The code-stream's code-blocks need more memory than the image may take");
                bb.blocks.resize(static_cast<size_t>(n));
            }
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
                    bb.coded = true;
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
    int64_t end = br.finish();
    const bool eph = !tile_.eph ? false
                     : packed   ? end + 2 <= static_cast<int64_t>(packed_.size()) &&
                                    packed_[static_cast<size_t>(end)] == 0xFF &&
                                    packed_[static_cast<size_t>(end) + 1] == 0x92
                              : marker_at(end, 0x92);
    if (eph) end += 2;
    if (packed)
        packed_at_ = static_cast<size_t>(end);
    else
        at_ = end;
    bool short_data = false;
    for (const piece& p : pieces) {
        code_block& cb = *p.block;
        const int64_t take = std::min<int64_t>(p.length, size - at_);
        if (p.new_segment) cb.segments.push_back({});
        cb.segments.back().passes += p.passes;
        cb.segments.back().length += take;
        cb.passes += p.passes;
        if (take > 0) {
            cb.chunks.push_back({at_, take});
            coded_ = true;
        }
        at_ += take;
        if (take < p.length) short_data = true;
    }
    if (short_data) throw truncated{};
}

} // namespace j2k
