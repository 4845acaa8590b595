// Headers of the code-stream: the main header up to the first SOT, the
// tile-part headers (SOT ... SOD), COM segments and the packed packet headers
// of PPM and PPT, read and written (ITU-T T.800 A.4, A.7, A.9).
//   SOT: Lsot 10, Isot (tile index), Psot (tile-part length from the SOT
//        marker; 0: to the end of the data), TPsot (tile-part index),
//        TNsot (tile-parts of the tile, 0 when not given)
//   COM: Lcom, Rcom (1: text), the text
//   PPM: Lppm, Zppm (index), then per tile-part Nppm and its packet headers
//   PPT: Lppt, Zppt (index), packet headers
#include <algorithm>

#include "jpeg2000/clusters.h"
#include "jpeg2000/codestream_state.h"
#include "jpeg2000/messages.h"

namespace j2k {

namespace {

// Keeps a PPM or PPT segment in index order.
void store_pp_marker(std::vector<pp_segment>& store, int code, int length, const uint8_t* bytes) {
    if (length < 1) fail("PPM/PPT marker segments must be at least 3 bytes long");
    pp_segment s;
    s.index = bytes[0];
    s.bytes.assign(bytes + 1, bytes + length);
    auto at = std::find_if(store.begin(), store.end(),
                           [&](const pp_segment& k) { return k.index >= s.index; });
    if (at != store.end() && at->index == s.index)
        fail("Multiple PPM/PPT markers with identical indices");
    (void)code;
    store.insert(at, std::move(s));
}

// Takes n bytes across the kept segments, dropping used ones.
template <typename Sink>
void take_ppm(std::vector<pp_segment>& store, int64_t n, Sink sink) {
    while (n > 0) {
        while (!store.empty() && store.front().pos == store.front().bytes.size())
            store.erase(store.begin());
        if (store.empty()) fail("Insufficient packet header data in PPM marker segments");
        pp_segment& s = store.front();
        const int64_t k = std::min<int64_t>(n, static_cast<int64_t>(s.bytes.size() - s.pos));
        sink(s.bytes.data() + s.pos, static_cast<int>(k));
        s.pos += static_cast<size_t>(k);
        n -= k;
    }
}

// The Nppm of the next tile-part, read across segments.
int64_t read_nppm(std::vector<pp_segment>& store) {
    uint32_t v = 0;
    int got = 0;
    take_ppm(store, 4, [&](const uint8_t* b, int k) {
        for (int i = 0; i < k; ++i, ++got)
            v = v << 8 | b[i];
    });
    return v;
}

} // namespace

void codestream_state::handle_header_segment(unsigned place, int tile, int tile_part,
                                             std::vector<pp_segment>* ppt) {
    const int code = markers->code();
    const int length = markers->length();
    const uint8_t* bytes = markers->bytes();
    const marker_info* info = find_marker(code);
    if (!info) return; // unknown: reported by the reader, its segment skipped
    if (!(info->places & place)) {
        warning_report w;
        w << "Ignoring marker segment " << marker_name(code) << " found where it may not appear";
        return;
    }
    switch (info->reader) {
        case marker_reader_kind::parameters:
            tree->root()->dispatch_marker_segment(code, length, bytes, tile, tile_part);
            break;
        case marker_reader_kind::packed_main:
            had_ppm = true;
            store_pp_marker(ppm, code, length, bytes);
            break;
        case marker_reader_kind::packed_tile:
            if (had_ppm) fail("Use of both PPM and PPT marker segments is illegal");
            store_pp_marker(*ppt, code, length, bytes);
            break;
        case marker_reader_kind::comment:
            if (tile < 0 && length >= 2)
                comments.emplace_back(reinterpret_cast<const char*>(bytes) + 2,
                                      static_cast<size_t>(length - 2));
            break;
        default:
            break;
    }
}

void codestream_state::read_main_header() {
    while (true) {
        if (!markers->next(false, false)) fail("Missing SOT marker");
        if (markers->code() == 0xFF90) return;
        if (markers->code() == 0xFF4F || markers->code() == 0xFF93 || markers->code() == 0xFFD9 ||
            markers->code() == 0xFF51) {
            error_report r;
            r << "Invalid marker code found in code-stream!\n\tExpected SOT marker and got "
              << marker_name(markers->code()) << ".";
            r.raise();
        }
        handle_header_segment(in_main_header, -1, 0, nullptr);
    }
}

bool codestream_state::read_tile_part_header() {
    for (;;) {
        if (at_end) return false;
        // The rest of the tile-part whose data came last; the packet reader
        // consumes it when it runs, otherwise it is skipped here.
        if (current_tile >= 0 || current_left != 0) {
            if (current_left < 0) {
                at_end = true;
                return false;
            }
            if (in->skip(current_left) < current_left) {
                at_end = true;
                return false;
            }
            current_left = 0;
            current_tile = -1;
            // The next tile-part starts where the data of this one end; the
            // search for it skips what does not count as a marker.
            if (!markers->next(true, true)) {
                at_end = true;
                return false;
            }
        }
        if (markers->code() != 0xFF90) {
            at_end = true;
            error_report r;
            r << "Invalid marker code found in code-stream!\n\tExpected SOT marker and got "
              << marker_name(markers->code()) << ".";
            r.raise();
        }
        const int64_t sot_start = in->consumed() - 12;
        const uint8_t* b = markers->bytes();
        const int isot = b[0] << 8 | b[1];
        const int64_t psot = static_cast<int64_t>(b[2]) << 24 | b[3] << 16 | b[4] << 8 | b[5];
        const int tpsot = b[6], tnsot = b[7];
        if (isot >= tile_count())
            invalid_segment(0xFF90, "tile index " + std::to_string(isot) + " not below the " +
                                        std::to_string(tile_count()) + " tiles");
        if (psot != 0 && psot < 14)
            invalid_segment(0xFF90, "Psot " + std::to_string(psot) + " below 14");
        tile_parts_seen[isot] = static_cast<uint16_t>(std::min(tile_parts_seen[isot] + 1, 65535));
        if (released[isot]) {
            // A discarded tile: skip the tile-part, and its packed headers.
            if (had_ppm) take_ppm(ppm, read_nppm(ppm), [](const uint8_t*, int) {});
            current_tile = isot;
            current_left = psot == 0 ? -1 : psot - 12;
            continue;
        }
        tile_state* t = tiles_live[isot].get();
        if (!t) t = &make_tile(isot);
        if (tpsot != t->tile_parts_read) {
            error_report r;
            r << "Missing or out-of-sequence tile-parts for tile number " << isot
              << " in code-stream!";
            r.raise();
        }
        if (tnsot != 0) {
            if (t->tnsot != 0 && t->tnsot != tnsot) {
                error_report r;
                r << "The number of tile-parts for tile number " << isot
                  << " is identified by different non-zero values in different SOT markers for the "
                     "tile!";
                r.raise();
            }
            t->tnsot = tnsot;
        }
        std::vector<pp_segment> ppt;
        const unsigned place = tpsot == 0 ? in_first_tile_part : in_later_tile_part;
        while (true) {
            if (!markers->next(false, false)) {
                if (in->exhausted()) {
                    at_end = true;
                    break;
                }
                fail(
                    "Found non-marker code while looking for SOD marker to terminate a tile-part "
                    "header.  Chances are that a marker segment length field is incorrect!");
            }
            if (markers->code() == 0xFF93) break;
            if (markers->code() == 0xFF90 || markers->code() == 0xFF4F || markers->code() == 0xFFD9)
                fail(
                    "Found non-marker code while looking for SOD marker to terminate a tile-part "
                    "header.  Chances are that a marker segment length field is incorrect!");
            handle_header_segment(place, isot, tpsot, &ppt);
        }
        ++t->tile_parts_read;
        // Packed packet headers of this tile-part go to the tile's source.
        if (had_ppm || !ppt.empty()) {
            if (!t->packed_headers)
                t->packed_headers = std::make_unique<packed_header_input>(&pool);
            packed_header_input* dst = t->packed_headers.get();
            auto append = [dst](const uint8_t* bytes, int k) { dst->append(bytes, k); };
            if (had_ppm) {
                take_ppm(ppm, read_nppm(ppm), append);
            } else {
                for (pp_segment& s : ppt)
                    append(s.bytes.data(), static_cast<int>(s.bytes.size()));
            }
        }
        current_tile = isot;
        if (psot == 0) {
            current_left = -1;
        } else {
            current_left = psot - (in->consumed() - sot_start);
            if (current_left < 0)
                invalid_segment(
                    0xFF90, "Psot " + std::to_string(psot) + " shorter than the tile-part header");
        }
        if (at_end) current_left = 0;
        return true;
    }
}

std::vector<int> codestream_ref::scan_tile_parts() {
    if (s_->in)
        while (s_->read_tile_part_header()) {}
    return std::vector<int>(s_->tile_parts_seen.begin(), s_->tile_parts_seen.end());
}

void codestream_ref::write_main_header() {
    codestream_output_buffer& out = *s_->out;
    out.put_word(0xFF4F); // SOC
    s_->tree->root()->count_marker_bytes(&out, -1, 0);
    for (const std::string& text : s_->comments) {
        if (text.size() > 65531) fail("Invalid argument");
        out.put_word(0xFF64);                                 // COM
        out.put_word(static_cast<uint32_t>(text.size() + 4)); // Lcom
        out.put_word(1);                                      // Rcom: text
        out.put_block(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()));
    }
}

void codestream_ref::write_tile_part_header(int tile, int tile_part, int64_t body_length,
                                            int tnsot) {
    if (tile < 0 || tile >= s_->tile_count()) fail("Invalid argument");
    if (tile_part > 254) {
        error_report r;
        r << "Too many tile-parts for tile " << tile;
        r.raise();
    }
    j2k_params& root = *s_->tree->root();
    // The segments are counted first: counting marks nothing differently
    // from writing, so the count equals what is written.
    const int header = root.count_marker_bytes(nullptr, tile, tile_part) + 14;
    codestream_output_buffer& out = *s_->out;
    out.put_word(0xFF90);                                       // SOT
    out.put_word(10);                                           // Lsot
    out.put_word(static_cast<uint32_t>(tile));                  // Isot
    out.put_dword(static_cast<uint32_t>(header + body_length)); // Psot
    out.put_byte(static_cast<uint8_t>(tile_part));              // TPsot
    out.put_byte(static_cast<uint8_t>(tnsot));                  // TNsot
    root.count_marker_bytes(&out, tile, tile_part);
    out.put_word(0xFF93); // SOD
}

void codestream_ref::write_body(const uint8_t* bytes, int64_t count) {
    codestream_output_buffer& out = *s_->out;
    while (count > 0) {
        const int n = static_cast<int>(std::min<int64_t>(count, 1 << 20));
        out.put_block(bytes, n);
        bytes += n;
        count -= n;
    }
}

void codestream_ref::write_eoc() {
    s_->out->put_word(0xFFD9);
    s_->out->flush();
}

int64_t codestream_ref::bytes_written() const {
    if (!s_->out) return 0;
    s_->out->flush();
    return s_->out->total();
}

} // namespace j2k
