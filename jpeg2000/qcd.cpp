// QCD and QCC: quantisation (ITU-T T.800 A.6.4, A.6.5).
//   QCD: Lqcd, Sqcd (guard bits << 5 | style: 0 none, 1 scalar derived,
//        2 scalar expounded), SPqcd per band: style 0 one byte (exponent << 3),
//        styles 1 and 2 two bytes (exponent << 11 | mantissa); style 1 only LL
//   QCC: Lqcc, Cqcc (component), Sqcc, SPqcc as in QCD
// Band records: LL, then HL, LH, HH per level from the coarsest to the finest.
#include <cmath>

#include "jpeg2000/byte_buffers.h"
#include "jpeg2000/clusters.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/util.h"
#include "jpeg2000/wavelet_kernel.h"

namespace j2k {

namespace {

const attribute_table& qcd_attributes() {
    static const attribute_table table = {
        {"Qguard", "I", 0},     {"Qderived", "B", 0},    {"Qstep", "F", 0},
        {"Qabs_steps", "F", 1}, {"Qabs_ranges", "I", 1},
    };
    return table;
}

constexpr float default_step = 0.00390625f; // 1/256

} // namespace

step_code encode_step(float step) {
    if (!(step > 0)) fail("Absolute quantization step sizes must be strictly positive");
    int e = 0;
    double s = step;
    while (s >= 2 && e > -64) {
        s /= 2;
        --e;
    }
    while (s < 1 && e < 64) {
        s *= 2;
        ++e;
    }
    int m = static_cast<int>(std::floor((s - 1) * 2048 + 0.5));
    if (m == 2048) {
        m = 0;
        --e;
    }
    if (e > 31) return {31, 0};
    if (e < 0) return {0, 2047};
    return {e, m};
}

float decode_step(step_code c) {
    return static_cast<float>((1.0 + c.mantissa / 2048.0) / std::ldexp(1.0, c.exponent));
}

qcd_params::qcd_params() : j2k_params("QCD", qcd_attributes(), true, true, false) {}

int qcd_params::segment_component(int code, int length, const uint8_t* bytes) const {
    if (code == 0xFF5C) return -1;
    if (code != 0xFF5D) return -2;
    const uint8_t* p = bytes;
    try {
        return static_cast<int>(
            read_big_endian(p, bytes + length, component_count() > 256 ? 2 : 1));
    } catch (segment_too_small) {
        fail("Malformed QCD/QCC marker segment. Segment too small");
    }
}

namespace {

// The object whose non-derived records of the attribute this object sees.
const j2k_params* visible_holder(const j2k_params& p, const char* name) {
    const int t = p.tile(), c = p.component();
    const j2k_params* chain[4] = {&p, t >= 0 && c >= 0 ? p.find_object(t, -1) : nullptr,
                                  t >= 0 && c >= 0 ? p.find_object(-1, c) : nullptr,
                                  t >= 0 || c >= 0 ? p.find_object(-1, -1) : nullptr};
    for (const j2k_params* q : chain)
        if (q && q->own_records(name, true) > 0) return q;
    return nullptr;
}

// Steps for `levels` levels derived from the base step q; only LL when
// derived_only.
std::vector<float> derive_steps(float q, int levels, int kernel, bool reversible,
                                bool derived_only) {
    const wavelet_kernel_desc& k =
        wavelet_kernel_desc::standard(kernel, reversible && kernel == W5X3);
    std::vector<float> steps;
    steps.push_back(static_cast<float>(q / k.synthesis_energy_gain(2, levels)));
    if (derived_only) return steps;
    for (int d = levels; d >= 1; --d) {
        const double gl = k.synthesis_energy_gain(2, d), gh = k.synthesis_energy_gain(3, d);
        const float mixed = static_cast<float>(q / std::sqrt(gl * gh));
        steps.push_back(mixed);
        steps.push_back(mixed);
        steps.push_back(static_cast<float>(q / gh));
    }
    return steps;
}

} // namespace

void qcd_params::complete() {
    int guard;
    if (!read_int("Qguard", 0, 0, guard)) {
        guard = 1;
        put_int("Qguard", 0, 0, 1);
    }
    const j2k_params* cod = find_cluster("COD");
    tree().ensure(tile(), component());
    cod = cod ? cod->find_object(tile(), component()) : nullptr;
    bool reversible = false;
    int levels = 0, kernel = W9X7;
    if (!cod || !cod->read_bool("Creversible", 0, 0, reversible) ||
        !cod->read_int("Clevels", 0, 0, levels) || !cod->read_int("Ckernels", 0, 0, kernel))
        return; // the coding style is not complete; nothing can be derived
    const int bands = 3 * levels + 1;
    bool derived;
    if (reversible) {
        if (!read_bool("Qderived", 0, 0, derived)) put_bool("Qderived", 0, 0, false);
        const j2k_params* holder = visible_holder(*this, "Qabs_ranges");
        if (!holder || holder->own_records("Qabs_ranges") < bands) {
            int depth = 0;
            const j2k_params* s = siz();
            if (!s || !s->read_int("Sprecision", std::max(component(), 0), 0, depth))
                fail(
                    "Trying to finalize quantization parameter attributes without first "
                    "providing any information about the image component bit-depths (i.e. "
                    "\"Sprecision\").");
            if (depth < 5) ++depth;
            put_int("Qabs_ranges", 0, 0, depth - guard + 3);
            for (int b = 1; b < bands; ++b)
                put_int("Qabs_ranges", b, 0, depth - guard + ((b - 1) % 3 == 2 ? 5 : 4));
            set_derived("Qabs_ranges");
        }
        return;
    }
    const j2k_params* holder = visible_holder(*this, "Qabs_steps");
    const int visible = holder ? holder->own_records("Qabs_steps") : 0;
    float q;
    auto derive_from = [&](float base, bool ll_only) {
        clear_own("Qabs_steps");
        std::vector<float> steps = derive_steps(base, levels, kernel, false, ll_only);
        for (size_t b = 0; b < steps.size(); ++b)
            put_float("Qabs_steps", static_cast<int>(b), 0, steps[b]);
        set_derived("Qabs_steps");
    };
    if (read_float("Qstep", 0, 0, q)) {
        if (own_records("Qabs_steps", true)) warn("Some Qsteps will be ignored");
        if (!read_bool("Qderived", 0, 0, derived)) {
            derived = false;
            put_bool("Qderived", 0, 0, false);
        }
        derive_from(q, derived);
    } else if (visible >= bands) {
        if (!read_bool("Qderived", 0, 0, derived)) put_bool("Qderived", 0, 0, false);
    } else if (visible == 1) {
        if (!read_bool("Qderived", 0, 0, derived)) {
            derived = true;
            put_bool("Qderived", 0, 0, true);
        }
        if (!derived) {
            if (holder == this) {
                float step = 0;
                read_float("Qabs_steps", 0, 0, step);
                warning_report w;
                w << "A single absolute step size (value = " << step
                  << "), which you have provided will be ignored, since the relevant tile, "
                     "component or tile-component also has `Qderived' equal to \"no\".";
            }
            put_float("Qstep", 0, 0, default_step);
            derive_from(default_step, false);
        }
    } else {
        if (!read_bool("Qderived", 0, 0, derived)) {
            derived = false;
            put_bool("Qderived", 0, 0, false);
        }
        put_float("Qstep", 0, 0, default_step);
        derive_from(default_step, derived);
    }
    // Keep the values the segment can carry.
    read_bool("Qderived", 0, 0, derived);
    const int signalled = derived ? 1 : bands;
    const bool own = own_records("Qabs_steps") > 0;
    for (int b = 0; b < signalled; ++b) {
        float step;
        if (!read_float("Qabs_steps", b, 0, step)) break;
        put_float("Qabs_steps", b, 0, decode_step(encode_step(step)));
    }
    if (!own && own_records("Qabs_steps")) set_derived("Qabs_steps");
}

int qcd_params::emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                                    int tile_part) {
    if (tile_part != 0) return 0;
    struct values {
        bool reversible = false, derived = false;
        int levels = 0, guard = 0;
        std::vector<int> ranges;
        std::vector<step_code> steps;
        bool read(const j2k_params& p) {
            const j2k_params* cod = p.find_cluster("COD");
            p.tree().ensure(p.tile(), p.component());
            cod = cod ? cod->find_object(p.tile(), p.component()) : nullptr;
            if (!cod || !cod->read_int("Clevels", 0, 0, levels) ||
                !cod->read_bool("Creversible", 0, 0, reversible) ||
                !p.read_int("Qguard", 0, 0, guard))
                return false;
            if (!reversible && !p.read_bool("Qderived", 0, 0, derived)) return false;
            const int bands = reversible || !derived ? 3 * levels + 1 : 1;
            ranges.clear();
            steps.clear();
            for (int b = 0; b < bands; ++b) {
                int r = -1;
                float s = 0;
                if (reversible) {
                    p.read_int("Qabs_ranges", b, 0, r, true, false);
                    ranges.push_back(r);
                } else {
                    steps.push_back(p.read_float("Qabs_steps", b, 0, s, true, false)
                                        ? encode_step(s)
                                        : step_code{-1, -1});
                }
            }
            return true;
        }
        bool operator==(const values& o) const {
            if (reversible != o.reversible || levels != o.levels || guard != o.guard ||
                ranges != o.ranges || steps.size() != o.steps.size())
                return false;
            if (!reversible && derived != o.derived) return false;
            for (size_t i = 0; i < steps.size(); ++i)
                if (steps[i].exponent != o.steps[i].exponent ||
                    steps[i].mantissa != o.steps[i].mantissa)
                    return false;
            return true;
        }
    } v;
    if (!v.read(*this)) fail("Cannot write QCD/QCC marker yet");
    if (reference) {
        values r;
        if (!r.read(*reference)) fail("Cannot write QCD/QCC marker yet");
        if (v == r) return 0;
    }
    if (v.guard < 0 || v.guard > 7) {
        error_report r;
        r << "Illegal number of guard bits, " << v.guard;
        r.raise();
    }
    for (int range : v.ranges) {
        if (range < 0 && range != -1) fail("Absolute ranging parameters for subbands invalid");
        if (range == -1) fail("Insufficient ranging parameters for QCD/QCC marker");
        if (range > 31) fail("Absolute ranging parameters for subbands invalid");
    }
    for (step_code s : v.steps)
        if (s.exponent < 0)
            fail("Insufficient quantization step size parameters for QCD/QCC marker");
    const bool wide = component_count() > 256;
    const int body =
        v.reversible ? static_cast<int>(v.ranges.size()) : 2 * static_cast<int>(v.steps.size());
    const int length = 5 + body + (component() >= 0 ? (wide ? 2 : 1) : 0);
    if (!out) return length;
    out->put_word(component() < 0 ? 0xFF5C : 0xFF5D);
    out->put_word(static_cast<uint32_t>(length - 2)); // Lqcd / Lqcc
    if (component() >= 0) {
        if (wide)
            out->put_word(static_cast<uint32_t>(component()));
        else
            out->put_byte(static_cast<uint8_t>(component()));
    }
    const int style = v.reversible ? 0 : (v.derived ? 1 : 2);
    out->put_byte(static_cast<uint8_t>(v.guard << 5 | style)); // Sqcd
    for (int range : v.ranges)
        out->put_byte(static_cast<uint8_t>(range << 3));
    for (step_code s : v.steps)
        out->put_word(static_cast<uint32_t>(s.exponent << 11 | s.mantissa));
    return length;
}

bool qcd_params::absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) {
    if (tile_part != 0) return false;
    if (!((code == 0xFF5C && component() < 0) || (code == 0xFF5D && component() >= 0)))
        return false;
    const uint8_t* p = bytes;
    const uint8_t* end = bytes + length;
    try {
        if (code == 0xFF5D) read_big_endian(p, end, component_count() > 256 ? 2 : 1);
        const uint32_t sqcd = read_big_endian(p, end, 1);
        put_int("Qguard", 0, 0, static_cast<int>(sqcd >> 5));
        const uint32_t style = sqcd & 31;
        if (style > 2) fail("Undefined style byte found in QCD/QCC marker");
        if (p >= end) throw segment_too_small{};
        int band = 0;
        if (style == 0) {
            put_bool("Qderived", 0, 0, false);
            while (p < end)
                put_int("Qabs_ranges", band++, 0, static_cast<int>(*p++ >> 3));
        } else {
            put_bool("Qderived", 0, 0, style == 1);
            while (end - p >= 2) {
                const uint32_t v = read_big_endian(p, end, 2);
                put_float("Qabs_steps", band++, 0,
                          decode_step({static_cast<int>(v >> 11), static_cast<int>(v & 2047)}));
            }
            if (p != end) fail("Malformed QCD/QCC marker segment");
        }
        if (band > 3 * 32 + 1) invalid_segment(code, "more bands than 32 levels have");
    } catch (segment_too_small) {
        fail("Malformed QCD/QCC marker segment. Segment too small");
    }
    return true;
}

void qcd_params::copy_transformed(const j2k_params& source, int, int, bool transpose, bool, bool) {
    int i;
    bool b;
    float f;
    if (source.own_records("Qguard") && source.read_int("Qguard", 0, 0, i, false))
        put_int("Qguard", 0, 0, i);
    if (source.own_records("Qderived") && source.read_bool("Qderived", 0, 0, b, false))
        put_bool("Qderived", 0, 0, b);
    // With transposition each HL record and the LH record after it swap.
    auto mapped = [transpose](int r) {
        if (!transpose || r == 0) return r;
        const int k = (r - 1) % 3;
        return k == 0 ? r + 1 : (k == 1 ? r - 1 : r);
    };
    for (int r = 0; r < source.own_records("Qabs_steps"); ++r)
        if (source.read_float("Qabs_steps", r, 0, f, false, false))
            put_float("Qabs_steps", mapped(r), 0, f);
    for (int r = 0; r < source.own_records("Qabs_ranges"); ++r)
        if (source.read_int("Qabs_ranges", r, 0, i, false, false))
            put_int("Qabs_ranges", mapped(r), 0, i);
}

} // namespace j2k
