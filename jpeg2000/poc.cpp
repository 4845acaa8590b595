// POC: progression order change (ITU-T T.800 A.6.6).
//   Lpoc, then per change: RSpoc (first resolution), CSpoc (first component,
//   1 or 2 bytes), LYEpoc (layer end), REpoc (resolution end), CEpoc
//   (component end, 1 or 2 bytes; 0 in one byte means 256), Ppoc (order)
#include <array>

#include "jpeg2000/byte_buffers.h"
#include "jpeg2000/clusters.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/util.h"

namespace j2k {

namespace {
const attribute_table& poc_attributes() {
    static const attribute_table table = {
        {"Porder", "IIIII(LRCP=0,RLCP=1,RPCL=2,PCRL=3,CPRL=4)", 1}};
    return table;
}

// Porder fields
enum { first_resolution, first_component, layer_end, resolution_end, component_end, order };
} // namespace

poc_params::poc_params() : j2k_params("POC", poc_attributes(), true, false, true) {}

j2k_params* poc_params::add_instance() {
    return tile() >= 0 ? create_next_instance() : nullptr;
}

int poc_params::segment_component(int code, int, const uint8_t*) const {
    return code == 0xFF5F ? -1 : -2;
}

int poc_params::emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                                    int tile_part) {
    if (instance() != tile_part) return 0;
    std::vector<std::array<int, 6>> records;
    for (int r = 0; r < own_records("Porder"); ++r) {
        std::array<int, 6> rec;
        bool any = false, all = true;
        for (int f = 0; f < 6; ++f) {
            bool got = read_int("Porder", r, f, rec[f], false, false);
            any = any || got;
            all = all && got;
        }
        if (!any) break;
        if (!all)
            fail("Information required to write POC marker segment is not currently complete!");
        records.push_back(rec);
    }
    if (records.empty()) return 0;
    if (reference && tile() >= 0 && reference->tile() < 0) {
        const j2k_params* second = find_object(tile(), -1, 1);
        if (!second || second->own_records("Porder") == 0) {
            bool same = reference->own_records("Porder") == static_cast<int>(records.size());
            for (size_t r = 0; same && r < records.size(); ++r)
                for (int f = 0; f < 6; ++f) {
                    int v;
                    same = same &&
                           reference->read_int("Porder", static_cast<int>(r), f, v, false, false) &&
                           v == records[r][f];
                }
            if (same) return 0;
        }
    }
    const int c_limit = component_count() <= 256 ? 256 : 16384;
    for (auto& rec : records) {
        error_report r;
        if (rec[first_resolution] < 0 || rec[first_resolution] > 32) {
            r << "Illegal lower bound, " << rec[first_resolution]
              << ", for resolution level indices in progression order change attribute.  Legal "
                 "range is from 0 to 32.";
            r.raise();
        }
        if (rec[resolution_end] <= rec[first_resolution] || rec[resolution_end] > 33) {
            r << "Illegal upper bound (exclusive), " << rec[resolution_end]
              << ", for resolution level indices in progression order change attribute.  Legal "
                 "range is from the lower bound + 1 to 33.";
            r.raise();
        }
        if (rec[first_component] < 0 || rec[first_component] >= c_limit) {
            r << "Illegal lower bound, " << rec[first_component]
              << ", for component indices in progression order change attribute. Legal range is "
                 "from 0 to "
              << (c_limit - 1) << ".";
            r.raise();
        }
        if (rec[component_end] <= rec[first_component] || rec[component_end] > c_limit) {
            r << "Illegal upper bound (exclusive), " << rec[component_end]
              << ", for component indices in progression order change attribute. Legal range is "
                 "from the lower bound + 1 to "
              << c_limit << ".";
            r.raise();
        }
        if (rec[layer_end] < 0 || rec[layer_end] > 65535) {
            r << "Illegal upper bound (exclusive), " << rec[layer_end]
              << ", for layer indices in progression order change attribute. Legal range is from "
                 "0 to "
              << 65535 << ".";
            r.raise();
        }
    }
    const bool wide = component_count() > 256;
    const int per = wide ? 9 : 7;
    const int length = 4 + per * static_cast<int>(records.size());
    if (!out) return length;
    out->put_word(0xFF5F);
    out->put_word(static_cast<uint32_t>(length - 2)); // Lpoc
    for (auto& rec : records) {
        out->put_byte(static_cast<uint8_t>(rec[first_resolution])); // RSpoc
        if (wide)
            out->put_word(static_cast<uint32_t>(rec[first_component])); // CSpoc
        else
            out->put_byte(static_cast<uint8_t>(rec[first_component]));
        out->put_word(static_cast<uint32_t>(rec[layer_end]));     // LYEpoc
        out->put_byte(static_cast<uint8_t>(rec[resolution_end])); // REpoc
        if (wide)
            out->put_word(static_cast<uint32_t>(rec[component_end])); // CEpoc
        else
            out->put_byte(static_cast<uint8_t>(rec[component_end] & 0xFF));
        out->put_byte(static_cast<uint8_t>(rec[order])); // Ppoc
    }
    return length;
}

bool poc_params::absorb_marker_segment(int code, int length, const uint8_t* bytes, int) {
    if (code != 0xFF5F) return false;
    const bool wide = component_count() > 256;
    const int per = wide ? 9 : 7;
    const int count = length / per;
    if (count == 0) fail("Malformed POC marker segment encountered. Marker segment is too small.");
    const uint8_t* p = bytes;
    const uint8_t* end = bytes + length;
    for (int r = 0; r < count; ++r) {
        const int rs = static_cast<int>(read_big_endian(p, end, 1));
        const int cs = static_cast<int>(read_big_endian(p, end, wide ? 2 : 1));
        const int lye = static_cast<int>(read_big_endian(p, end, 2));
        const int re = static_cast<int>(read_big_endian(p, end, 1));
        int ce = static_cast<int>(read_big_endian(p, end, wide ? 2 : 1));
        if (!wide && ce == 0) ce = 256;
        const int ord = static_cast<int>(read_big_endian(p, end, 1));
        if (ord > CPRL) invalid_segment(code, "progression order " + std::to_string(ord));
        if (rs > 32 || re > 33) invalid_segment(code, "resolution bounds above 33");
        put_int("Porder", r, first_resolution, rs);
        put_int("Porder", r, first_component, cs);
        put_int("Porder", r, layer_end, lye);
        put_int("Porder", r, resolution_end, re);
        put_int("Porder", r, component_end, ce);
        put_int("Porder", r, order, ord);
    }
    if (p != end) {
        error_report r;
        r << "Malformed POC marker segment encountered. The final " << (end - p)
          << " bytes were not consumed!";
        r.raise();
    }
    return true;
}

void poc_params::copy_transformed(const j2k_params& source, int first_kept, int, bool, bool, bool) {
    for (int r = 0; r < source.own_records("Porder"); ++r) {
        int v[6];
        bool all = true;
        for (int f = 0; f < 6; ++f)
            all = all && source.read_int("Porder", r, f, v[f], false, false);
        if (!all) break;
        v[first_component] = std::max(v[first_component] - first_kept, 0);
        v[component_end] -= first_kept;
        if (v[component_end] <= 0) {
            v[component_end] = 1;
            v[layer_end] = 0;
        }
        for (int f = 0; f < 6; ++f)
            put_int("Porder", r, f, v[f]);
    }
}

} // namespace j2k
