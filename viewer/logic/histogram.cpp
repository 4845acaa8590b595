#include "viewer/logic/histogram.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "imglib/convert/srgb.h"

namespace {

// The layouts the window can read: the model, the sample kind and the
// sample positions of red, green and blue (grey: green only) and alpha.
struct Layout {
    uint32_t model;
    uint32_t kind;
    uint32_t channels;
    int red, green, blue; // sample index per pixel
    int alpha;            // -1 without
    uint32_t bitsPerSample;
};

bool LayoutOf(const ILImage& image, Layout& layout) {
    const ILPixelType type = image.type;
    layout.model = ILPixelModel(type);
    layout.kind = ILSampleKind(type);
    layout.channels = ILChannelCount(type);
    layout.bitsPerSample = ILBitsPerSample(type);
    const bool hasAlpha = ILHasAlpha(type);
    switch (layout.model) {
        case IL_MODEL_GRAY:
            if (layout.kind != IL_KIND_1 && layout.kind != IL_KIND_2 && layout.kind != IL_KIND_4 &&
                layout.kind != IL_KIND_8 && layout.kind != IL_KIND_16 &&
                layout.kind != IL_KIND_HALF && layout.kind != IL_KIND_FLOAT)
                return false;
            if (layout.kind < IL_KIND_8 && layout.channels != 1) return false;
            layout.red = layout.green = layout.blue = 0;
            layout.alpha = hasAlpha ? 1 : -1;
            return true;
        case IL_MODEL_INDEXED:
            if (layout.kind != IL_KIND_1 && layout.kind != IL_KIND_2 && layout.kind != IL_KIND_4 &&
                layout.kind != IL_KIND_8)
                return false;
            if (layout.kind < IL_KIND_8 && layout.channels != 1) return false;
            layout.red = layout.green = layout.blue = 0;
            layout.alpha = -1;
            return true;
        case IL_MODEL_RGB: {
            if (layout.kind != IL_KIND_8 && layout.kind != IL_KIND_16 &&
                layout.kind != IL_KIND_HALF && layout.kind != IL_KIND_FLOAT)
                return false;
            const bool rgbOrder = (type & IL_ORDER_RGB) != 0;
            layout.red = rgbOrder ? 0 : 2;
            layout.green = 1;
            layout.blue = rgbOrder ? 2 : 0;
            layout.alpha = hasAlpha ? 3 : -1;
            return layout.channels >= 3;
        }
        default:
            return false;
    }
}

uint32_t SmallSample(const uint8_t* row, int64_t x, uint32_t bits) {
    const uint32_t perByte = 8 / bits;
    const uint32_t shift = 8 - bits * (static_cast<uint32_t>(x % perByte) + 1);
    return (row[x / perByte] >> shift) & ((1u << bits) - 1);
}

template <class T>
T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Exact half to float. Imath's half is not used here: under winelib its
// header wants the Windows compiler's intrinsics.
float HalfValue(const uint8_t* p) {
    const uint32_t bits = Load<uint16_t>(p);
    const uint32_t sign = (bits & 0x8000u) << 16;
    const uint32_t exponent = (bits >> 10) & 0x1F;
    uint32_t mantissa = bits & 0x3FF;
    uint32_t out;
    if (exponent == 0x1F) {
        out = sign | 0x7F800000u | (mantissa << 13); // infinity, NaN
    } else if (exponent != 0) {
        out = sign | ((exponent + 112) << 23) | (mantissa << 13);
    } else if (mantissa == 0) {
        out = sign;
    } else { // subnormal: normalise
        int shift = 0;
        while (!(mantissa & 0x400)) {
            mantissa <<= 1;
            ++shift;
        }
        out = sign | ((113 - shift) << 23) | ((mantissa & 0x3FF) << 13);
    }
    float value;
    std::memcpy(&value, &out, sizeof value);
    return value;
}

// Rows of 8-bit samples, the common case, without a switch per sample.
void Count8(const ILImage& image, const Layout& layout, HistogramCounts& counts, bool color) {
    const uint32_t step = layout.channels;
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* p = image.data + int64_t{y} * image.stride;
        const uint8_t* end = p + int64_t{image.width} * step;
        if (color) {
            uint32_t* red = counts.bins[HIST_RED];
            uint32_t* green = counts.bins[HIST_GREEN];
            uint32_t* blue = counts.bins[HIST_BLUE];
            for (; p < end; p += step) {
                ++red[p[layout.red]];
                ++green[p[layout.green]];
                ++blue[p[layout.blue]];
            }
        } else {
            uint32_t* green = counts.bins[HIST_GREEN];
            for (; p < end; p += step)
                ++green[*p];
        }
    }
}

// Bins of the wide kinds, chosen once per image rather than per sample.
struct Bin16 {
    uint8_t operator()(const uint8_t* p) const {
        return static_cast<uint8_t>((Load<uint16_t>(p) + 128u) / 257u);
    }
};
struct BinHalf {
    uint8_t operator()(const uint8_t* p) const { return ILClampToU8(HalfValue(p)); }
};
struct BinFloat {
    uint8_t operator()(const uint8_t* p) const { return ILClampToU8(Load<float>(p)); }
};

template <class Bin, uint32_t Bytes>
void CountWideAs(const ILImage& image, const Layout& layout, HistogramCounts& counts, bool color) {
    const Bin bin;
    const uint32_t pixelBytes = Bytes * layout.channels;
    const uint32_t red = layout.red * Bytes, green = layout.green * Bytes,
                   blue = layout.blue * Bytes;
    uint32_t* redBins = counts.bins[HIST_RED];
    uint32_t* greenBins = counts.bins[HIST_GREEN];
    uint32_t* blueBins = counts.bins[HIST_BLUE];
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* p = image.data + int64_t{y} * image.stride;
        const uint8_t* end = p + int64_t{image.width} * pixelBytes;
        if (color) {
            for (; p < end; p += pixelBytes) {
                ++redBins[bin(p + red)];
                ++greenBins[bin(p + green)];
                ++blueBins[bin(p + blue)];
            }
        } else {
            for (; p < end; p += pixelBytes)
                ++greenBins[bin(p + green)];
        }
    }
}

void CountWide(const ILImage& image, const Layout& layout, HistogramCounts& counts, bool color) {
    switch (layout.kind) {
        case IL_KIND_16:
            CountWideAs<Bin16, 2>(image, layout, counts, color);
            break;
        case IL_KIND_HALF:
            CountWideAs<BinHalf, 2>(image, layout, counts, color);
            break;
        default:
            CountWideAs<BinFloat, 4>(image, layout, counts, color);
            break;
    }
}

uint32_t IndexAt(const Layout& layout, const uint8_t* row, int64_t x) {
    if (layout.kind == IL_KIND_8) return row[x * layout.channels];
    return SmallSample(row, x, layout.bitsPerSample);
}

void PaletteBytes(const ILPalette& palette, uint32_t index, int out[3]) {
    // Entries beyond the palette read as black.
    if (index >= palette.count) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    const ILPaletteEntry& e = palette.entries[index];
    out[HIST_RED] = e.red / 257;
    out[HIST_GREEN] = e.green / 257;
    out[HIST_BLUE] = e.blue / 257;
}

void CountIndexed(const ILImage& image, const Layout& layout, HistogramCounts& counts) {
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.data + int64_t{y} * image.stride;
        for (uint32_t x = 0; x < image.width; ++x) {
            int rgb[3];
            PaletteBytes(*image.palette, IndexAt(layout, row, x), rgb);
            for (int c = 0; c < 3; ++c)
                ++counts.bins[c][rgb[c]];
        }
    }
}

void CountSmallGray(const ILImage& image, const Layout& layout, HistogramCounts& counts) {
    const uint32_t bits = layout.bitsPerSample;
    const uint32_t factor = bits == 1 ? 255 : bits == 2 ? 85 : 17;
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.data + int64_t{y} * image.stride;
        for (uint32_t x = 0; x < image.width; ++x)
            ++counts.bins[HIST_GREEN][SmallSample(row, x, bits) * factor];
    }
}

template <class... Args>
std::string Printf(const char* format, Args... args) {
    char text[96];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// Encoded and linear value of one grey or colour sample.
void ReadSample(const uint8_t* p, uint32_t kind, int* encoded, float* linear) {
    switch (kind) {
        case IL_KIND_8:
            *encoded = *p;
            *linear = ILSrgbTable8[*encoded];
            break;
        case IL_KIND_16: {
            const uint16_t v = Load<uint16_t>(p);
            *linear = ILSrgbTable16[v];
            *encoded = v / 257;
            break;
        }
        case IL_KIND_HALF:
            *linear = HalfValue(p);
            *encoded = ILLinearToSrgb8(*linear);
            break;
        default:
            *linear = Load<float>(p);
            *encoded = ILLinearToSrgb8(*linear);
            break;
    }
}

float ReadAlpha(const uint8_t* p, uint32_t kind) {
    switch (kind) {
        case IL_KIND_8:
            return *p / 255.0f;
        case IL_KIND_16:
            return Load<uint16_t>(p) / 65535.0f;
        case IL_KIND_HALF:
            return HalfValue(p);
        default:
            return Load<float>(p);
    }
}

} // namespace

bool ComputeHistogramCounts(const ILImage& image, HistogramCounts& counts) {
    counts = HistogramCounts{};
    Layout layout;
    if (!image.data || !LayoutOf(image, layout)) return false;
    counts.color = layout.model > IL_MODEL_GRAY;
    counts.wideRange = layout.kind > IL_KIND_16;
    if (layout.model == IL_MODEL_INDEXED) {
        if (!image.palette) return false;
        CountIndexed(image, layout, counts);
    } else if (layout.kind < IL_KIND_8) {
        CountSmallGray(image, layout, counts);
    } else if (layout.kind == IL_KIND_8) {
        Count8(image, layout, counts, counts.color);
    } else {
        CountWide(image, layout, counts, counts.color);
    }
    return true;
}

void ComputeBarHeights(const uint32_t (&bins)[kHistogramBins], double scale, uint64_t pixels,
                       BarHeights& out) {
    out = BarHeights{};
    for (int i = 0; i < kHistogramBins; ++i) {
        if (bins[i] == 0) continue;
        if (out.first < 0) out.first = i;
        out.last = i;
        const double height = pixels ? bins[i] * scale / static_cast<double>(pixels) : 0;
        out.heights[i] = static_cast<uint32_t>(std::min(height, static_cast<double>(kBarCap)));
    }
}

PixelProbe ProbePixel(const ILImage& image, int32_t x, int32_t y) {
    PixelProbe probe;
    Layout layout;
    if (!image.data || x < 0 || y < 0 || static_cast<uint32_t>(x) >= image.width ||
        static_cast<uint32_t>(y) >= image.height || !LayoutOf(image, layout))
        return probe;
    if (layout.model == IL_MODEL_INDEXED && !image.palette) return probe;
    probe.valid = true;
    probe.position = Printf("%d / %d", x + 1, static_cast<int>(image.height) - y);
    const uint8_t* row = image.data + int64_t{y} * image.stride;
    probe.gray = layout.model == IL_MODEL_GRAY;
    probe.indexed = layout.model == IL_MODEL_INDEXED;
    const bool wide = layout.kind > IL_KIND_16;

    if (probe.indexed) {
        const uint32_t index = IndexAt(layout, row, x);
        PaletteBytes(*image.palette, index, probe.encoded);
        for (int c = 0; c < 3; ++c)
            probe.linear[c] = ILSrgbTable8[probe.encoded[c]];
        probe.index = static_cast<int>(index);
        probe.indexText = Printf("index: %d", probe.index);
        if (ILHasAlpha(image.type) && index < image.palette->count) {
            probe.alphaShown = true;
            probe.opacity = image.palette->entries[index].alpha / 257 / 255.0f;
        }
    } else if (probe.gray && layout.kind < IL_KIND_8) {
        const uint32_t bits = layout.bitsPerSample;
        const uint32_t v = SmallSample(row, x, bits);
        const int e = static_cast<int>(v * (bits == 1 ? 255 : bits == 2 ? 85 : 17));
        probe.encoded[HIST_GREEN] = e;
        probe.linear[HIST_GREEN] = bits == 1 ? static_cast<float>(v) : ILSrgbTable8[e];
    } else {
        const uint32_t bytes = layout.bitsPerSample / 8;
        const uint8_t* p = row + int64_t{x} * bytes * layout.channels;
        const int channels[3] = {layout.red, layout.green, layout.blue};
        for (int c = 0; c < 3; ++c)
            if (!probe.gray || c == HIST_GREEN)
                ReadSample(p + channels[c] * bytes, layout.kind, &probe.encoded[c],
                           &probe.linear[c]);
        if (layout.alpha >= 0) {
            probe.alphaShown = true;
            probe.opacity = ReadAlpha(p + layout.alpha * bytes, layout.kind);
        }
    }
    if (probe.gray) {
        for (int c : {HIST_RED, HIST_BLUE}) {
            probe.encoded[c] = probe.encoded[HIST_GREEN];
            probe.linear[c] = probe.linear[HIST_GREEN];
        }
    }
    for (int c = 0; c < 3; ++c)
        probe.marker[c] = wide && !probe.indexed ? ILClampToU8(probe.linear[c]) : probe.encoded[c];

    float L = 0, A = 0, B = 0;
    ILRgbToLab(probe.linear[HIST_RED], probe.linear[HIST_GREEN], probe.linear[HIST_BLUE], &L, &A,
               &B);
    if (probe.gray) {
        probe.encodedText = Printf("%d", probe.encoded[HIST_GREEN]);
        probe.linearText = Printf("%.4f", static_cast<double>(probe.linear[HIST_GREEN]));
        probe.labText = Printf("%.4f", static_cast<double>(L));
    } else {
        probe.encodedText = Printf("%d, %d, %d", probe.encoded[HIST_RED], probe.encoded[HIST_GREEN],
                                   probe.encoded[HIST_BLUE]);
        probe.linearText = Printf("%.4f, %.4f, %.4f", static_cast<double>(probe.linear[HIST_RED]),
                                  static_cast<double>(probe.linear[HIST_GREEN]),
                                  static_cast<double>(probe.linear[HIST_BLUE]));
        probe.labText = Printf("%.2f, %.2f, %.2f", static_cast<double>(L), static_cast<double>(A),
                               static_cast<double>(B));
    }
    if (probe.alphaShown)
        probe.opacityText = Printf("opaque: %.4f", static_cast<double>(probe.opacity));
    return probe;
}

std::string ProbeClipboardText(const std::string& linearText) {
    std::string text = linearText;
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    if (text.empty()) return text;
    if (text.size() >= 2 && text.size() <= 7) return "<" + text + ", " + text + ", " + text + ">";
    return "<" + text + ">";
}
