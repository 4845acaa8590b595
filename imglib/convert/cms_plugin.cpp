// The lcms2 formatter plug-in: lets transforms read half, 24-bit float and
// float rows and signed 8/16-bit Lab rows, and write float and half rows, in
// the library's own sample layouts.
//
// The byte codes 3 (24-bit float) and 5 (half) are the library's own: lcms2
// does not know them and asks the plug-in first. Samples are consecutive;
// with the do-swap bit and 3 or 4 samples, the first three are stored in
// reverse (B, G, R) and a fourth (alpha or filler) keeps its place. lcms2's
// stride argument is never needed.
#include <Imath/half.h>

#include <array>
#include <cstring>
#include <utility>

#include "imglib/convert/cms.h"
#include "imglib/convert/converter.h"
#include "imglib/convert/half_float.h"

namespace {

// Sample codecs: bytes per sample, read to float, write from float.
struct HalfSample {
    static constexpr int kBytes = 2;
    static float Read(const uint8_t* p) {
        uint16_t bits;
        std::memcpy(&bits, p, 2);
        return ILHalfToFloat(bits);
    }
    static void Write(uint8_t* p, float v) {
        const uint16_t bits = imath_float_to_half(v);
        std::memcpy(p, &bits, 2);
    }
};

struct Float24Sample {
    static constexpr int kBytes = 3;
    static float Read(const uint8_t* p) {
        return ILFloat24ToFloat(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16);
    }
};

struct FloatSample {
    static constexpr int kBytes = 4;
    static float Read(const uint8_t* p) {
        float v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static void Write(uint8_t* p, float v) { std::memcpy(p, &v, 4); }
};

// Memory position of value v in a pixel of n samples.
constexpr int Slot(int v, int n, bool swap) {
    return swap && (n == 3 || n == 4) && v < 3 ? 2 - v : v;
}

// Full scale from 1 up, 0 at or below 0 (and for NaN), else rounded.
cmsUInt16Number To16(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 65535;
    return static_cast<cmsUInt16Number>(v * 65535.0f + 0.49999f);
}

template <class S, int N, bool Swap>
cmsUInt8Number* UnpackToFloat(_cmstransform_struct*, cmsFloat32Number values[],
                              cmsUInt8Number* source, cmsUInt32Number) {
    for (int v = 0; v < N; ++v)
        values[v] = S::Read(source + Slot(v, N, Swap) * S::kBytes);
    return source + N * S::kBytes;
}

template <class S, int N, bool Swap>
cmsUInt8Number* UnpackTo16(_cmstransform_struct*, cmsUInt16Number values[], cmsUInt8Number* source,
                           cmsUInt32Number) {
    for (int v = 0; v < N; ++v)
        values[v] = To16(S::Read(source + Slot(v, N, Swap) * S::kBytes));
    return source + N * S::kBytes;
}

// Writes the C colour values of a pixel of N samples. Extra samples (alpha,
// filler) are stepped over untouched, as lcms2's own packers do: the
// transform carries no value for them, and a caller may have filled them.
template <class S, int C, int N, bool Swap>
cmsUInt8Number* PackFromFloat(_cmstransform_struct*, cmsFloat32Number values[],
                              cmsUInt8Number* target, cmsUInt32Number) {
    for (int v = 0; v < C && v < N; ++v)
        S::Write(target + Slot(v, N, Swap) * S::kBytes, values[v]);
    return target + N * S::kBytes;
}

// Signed 8-bit Lab: L scaled to 16 bits; a and b are two's-complement bytes
// moved onto the 16-bit encoding whose zero is 0x8000.
cmsUInt8Number* UnpackSignedLab8(_cmstransform_struct*, cmsUInt16Number values[],
                                 cmsUInt8Number* source, cmsUInt32Number) {
    values[0] = static_cast<cmsUInt16Number>(source[0] * 257);
    values[1] = static_cast<cmsUInt16Number>(source[1] * 257 - 32768);
    values[2] = static_cast<cmsUInt16Number>(source[2] * 257 - 32768);
    return source + 3;
}

cmsUInt8Number* UnpackSignedLab16(_cmstransform_struct*, cmsUInt16Number values[],
                                  cmsUInt8Number* source, cmsUInt32Number) {
    uint16_t lab[3];
    std::memcpy(lab, source, sizeof lab);
    values[0] = lab[0];
    values[1] = static_cast<cmsUInt16Number>(lab[1] - 32768);
    values[2] = static_cast<cmsUInt16Number>(lab[2] - 32768);
    return source + sizeof lab;
}

constexpr uint32_t kMaxInputSamples = 5;
constexpr uint32_t kMaxOutputSamples = 4;
constexpr uint32_t kSignedLab8 = COLORSPACE_SH(PT_LabV2) | CHANNELS_SH(3) | BYTES_SH(1);
constexpr uint32_t kSignedLab16 = COLORSPACE_SH(PT_LabV2) | CHANNELS_SH(3) | BYTES_SH(2);

// Tables of instantiations indexed by sample count - 1 (and colour count - 1).
template <class S, bool Swap, size_t... I>
constexpr std::array<cmsFormatterFloat, sizeof...(I)> FloatUnpackers(std::index_sequence<I...>) {
    return {&UnpackToFloat<S, int(I) + 1, Swap>...};
}
template <class S, bool Swap, size_t... I>
constexpr std::array<cmsFormatter16, sizeof...(I)> Unpackers16(std::index_sequence<I...>) {
    return {&UnpackTo16<S, int(I) + 1, Swap>...};
}
template <class S, bool Swap, size_t... I>
constexpr std::array<cmsFormatterFloat, sizeof...(I)> FloatPackers(std::index_sequence<I...>) {
    return {
        &PackFromFloat<S, int(I / kMaxOutputSamples) + 1, int(I % kMaxOutputSamples) + 1, Swap>...};
}

template <class S>
cmsFormatter InputFormatter(uint32_t samples, bool swap, bool toFloat) {
    constexpr auto seq = std::make_index_sequence<kMaxInputSamples>{};
    cmsFormatter f{};
    if (toFloat) {
        static constexpr auto plain = FloatUnpackers<S, false>(seq);
        static constexpr auto swapped = FloatUnpackers<S, true>(seq);
        f.FmtFloat = (swap ? swapped : plain)[samples - 1];
    } else {
        static constexpr auto plain = Unpackers16<S, false>(seq);
        static constexpr auto swapped = Unpackers16<S, true>(seq);
        f.Fmt16 = (swap ? swapped : plain)[samples - 1];
    }
    return f;
}

template <class S>
cmsFormatter OutputFormatter(uint32_t channels, uint32_t samples, bool swap) {
    constexpr auto seq = std::make_index_sequence<kMaxOutputSamples * kMaxOutputSamples>{};
    static constexpr auto plain = FloatPackers<S, false>(seq);
    static constexpr auto swapped = FloatPackers<S, true>(seq);
    cmsFormatter f{};
    f.FmtFloat = (swap ? swapped : plain)[(channels - 1) * kMaxOutputSamples + samples - 1];
    return f;
}

cmsPluginFormatters ILLcmsFormatterPlugin = {
    {cmsPluginMagicNumber, 200, cmsPluginFormattersSig, nullptr},
    ILLcmsFormatterFactory,
};

} // namespace

cmsFormatter ILLcmsFormatterFactory(cmsUInt32Number format, cmsFormatterDirection direction,
                                    cmsUInt32Number flags) {
    const uint32_t channels = T_CHANNELS(format);
    const uint32_t samples = channels + T_EXTRA(format);
    const uint32_t byteCode = T_BYTES(format);
    const bool swap = T_DOSWAP(format) != 0;
    const bool isFloat = (flags & CMS_PACK_FLAGS_FLOAT) != 0;
    cmsFormatter none{};

    if (direction == cmsFormatterInput) {
        if (samples >= 1 && samples <= kMaxInputSamples) {
            if (byteCode == IL_LCMS_BYTES_FLOAT24)
                return InputFormatter<Float24Sample>(samples, swap, isFloat);
            if (byteCode == IL_LCMS_BYTES_HALF)
                return InputFormatter<HalfSample>(samples, swap, isFloat);
            if (byteCode == IL_LCMS_BYTES_FLOAT && isFloat)
                return InputFormatter<FloatSample>(samples, swap, true);
        }
        if (!isFloat && format == kSignedLab8) {
            cmsFormatter f{};
            f.Fmt16 = UnpackSignedLab8;
            return f;
        }
        if (!isFloat && format == kSignedLab16) {
            cmsFormatter f{};
            f.Fmt16 = UnpackSignedLab16;
            return f;
        }
        return none;
    }

    if (!isFloat || channels < 1 || samples > kMaxOutputSamples) return none;
    if (byteCode == IL_LCMS_BYTES_FLOAT)
        return OutputFormatter<FloatSample>(channels, samples, swap);
    if (byteCode == IL_LCMS_BYTES_HALF) return OutputFormatter<HalfSample>(channels, samples, swap);
    return none;
}

bool ILRegisterLcmsPlugin() {
    return cmsPlugin(&ILLcmsFormatterPlugin) != FALSE;
}

void ILUnregisterLcmsPlugin() {
    cmsUnregisterPlugins();
}
