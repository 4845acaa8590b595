#include "jpeg2000/block_contexts.h"

namespace j2k {

context_tables::context_tables() {
    for (int i = 0; i < 256; ++i) {
        const int v = !!(i & sig_n) + !!(i & sig_s), h = !!(i & sig_w) + !!(i & sig_e);
        const int d = !!(i & sig_nw) + !!(i & sig_ne) + !!(i & sig_sw) + !!(i & sig_se);
        auto main_key = [](int h, int v, int d) {
            if (h == 2) return 8;
            if (h == 1) return v >= 1 ? 7 : d >= 1 ? 6 : 5;
            if (v == 2) return 4;
            if (v == 1) return 3;
            return d >= 2 ? 2 : d;
        };
        zc[0][i] = static_cast<uint8_t>(main_key(h, v, d));
        zc[1][i] = static_cast<uint8_t>(main_key(v, h, d));
        const int hv = h + v;
        int l;
        if (d >= 3)
            l = 8;
        else if (d == 2)
            l = hv >= 1 ? 7 : 6;
        else if (d == 1)
            l = hv >= 2 ? 5 : hv == 1 ? 4 : 3;
        else
            l = hv >= 2 ? 2 : hv;
        zc[2][i] = static_cast<uint8_t>(l);

        // sig bits 0-3 and neg bits 4-7 in the order N S W E
        auto contribution = [i](int k) { return (i >> k & 1) ? ((i >> (k + 4) & 1) ? -1 : 1) : 0; };
        int hc = std::clamp(contribution(2) + contribution(3), -1, 1);
        int vc = std::clamp(contribution(0) + contribution(1), -1, 1);
        int x = 0;
        if (hc < 0) {
            hc = -hc;
            vc = -vc;
            x = 1;
        }
        int label;
        if (hc != 0) {
            label = vc + 3;
        } else {
            label = vc < 0 ? -vc : vc;
            if (vc < 0) x = 1;
        }
        sc[i] = static_cast<uint8_t>(label << 1 | x);
    }
}

const context_tables block_tables;

} // namespace j2k
