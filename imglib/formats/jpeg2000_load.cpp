// JPEG 2000 reading through the engine in jpeg2000/: raw code-streams and JP2
// files. The code-stream is decoded row by row into the image: its components'
// rows are mapped to the image's channels (JP2 channel definitions and palettes
// applied as the file format defines them), scaled to 8 or 16 bits and
// converted row by row.
// Sub-sampled components are widened by repeating their samples, each at the
// canvas position it is coded for, as the standard's reference decodings are.
// Not handled: the Luv colour space.
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/convert/profile_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/jpeg2000.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"
#include "imglib/pixel_type.h"
#include "jpeg2000/block_pool.h"
#include "jpeg2000/codestream.h"
#include "jpeg2000/decoder.h"
#include "jpeg2000/jp2_file.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/sources.h"

namespace {

// Engine messages go to the handle: each error whole, as one text.
class handle_sink : public j2k::message_sink {
public:
    explicit handle_sink(ILHandle* h) : h_(h) {}
    void error_line(std::string_view line) override {
        if (!error_.empty()) error_ += '\n';
        error_.append(line);
    }
    void warning(std::string_view text) override {
        std::string t(text);
        while (!t.empty() && t.back() == '\n')
            t.pop_back();
        ILWarning(h_, t.c_str());
    }
    // Reports the error collected so far.
    void report() {
        ILError(h_, error_.empty() ? "JPEG 2000 decoding failed" : error_.c_str());
        error_.clear();
    }

private:
    ILHandle* h_;
    std::string error_;
};

// How the image's channels come from the code-stream's components.
struct channel_plan {
    uint32_t colorType = IL_CT_NONE;
    int channels = 0; // colour channels, plus one for alpha
    bool alpha = false;
    int component[5] = {0, 1, 2, 3, 4};
    int table[5] = {-1, -1, -1, -1, -1};
    int paletteEntries = 0; // an indexed image
    int alphaTable = -1;    // the palette table of its entries' opacity
};

uint32_t ColourType(int space, int n) {
    switch (space) {
        case 1:
            return n < 3 ? IL_CT_GRAY : IL_CT_RGB;
        case 2:
            return IL_CT_RGB;
        case 3:
            return IL_CT_YCC;
        case 5:
            return IL_CT_CMYK;
        case 7:
            return IL_CT_LAB;
        case 8:
            return IL_CT_LOGL;
        default:
            return IL_CT_NONE;
    }
}

channel_plan PlanRaw(int n) {
    channel_plan p;
    p.colorType = n >= 3 ? IL_CT_RGB : IL_CT_GRAY;
    p.channels = n >= 3 ? 3 : 1;
    return p;
}

channel_plan PlanJp2(const j2k::boxed_file_reader& jp2, int n, ILHandle* h) {
    channel_plan p;
    const j2k::colour_info& colour = jp2.colour();
    p.colorType = colour.is_set() ? ColourType(colour.space(), n) : IL_CT_NONE;
    const j2k::channel_info& ch = jp2.channels();
    int colours = std::clamp(ch.count(), 1, 4);
    if (!colour.is_set()) colours = std::min(n, 3);
    for (int k = 0; k < colours && k < 3; ++k) {
        int comp, table;
        if (ch.mapping(k, comp, table)) {
            p.component[k] = comp;
            p.table[k] = table;
        }
    }
    if (colours == 4) p.component[3] = 3;
    // Opacity: the first channel of either opacity type.
    int comp, table;
    for (int pair : {3, 6})
        if (ch.mapping(pair, comp, table)) {
            p.alpha = true;
            p.component[colours] = comp;
            p.table[colours] = table;
            break;
        }
    if (!p.alpha && ch.count() == 0 && (n == 2 || (n == 4 && p.colorType != IL_CT_CMYK))) {
        p.alpha = true;
        p.component[n - 1] = n - 1;
    }
    // A palette whose three tables give the colours is kept as an image
    // palette: the image holds the indices.
    const j2k::palette_info& pal = jp2.palette();
    // Opacity from a fourth table of the same indices goes with the colours.
    const bool palette_alpha =
        p.alpha && p.table[colours] >= 0 && p.component[colours] == p.component[0];
    if (pal.table_count() >= 1 && colours == 3 && (!p.alpha || palette_alpha) && p.table[0] >= 0 &&
        p.table[1] >= 0 && p.table[2] >= 0 && p.component[0] == p.component[1] &&
        p.component[1] == p.component[2]) {
        if (palette_alpha) {
            p.alphaTable = p.table[colours];
            p.alpha = false;
        }
        p.paletteEntries = pal.entry_count();
        if (p.paletteEntries > 256) {
            ILWarning(h, "Only the first 256 palette entries are used");
            p.paletteEntries = 256;
        }
        p.colorType = IL_CT_INDEXED;
        colours = 1;
    }
    p.channels = colours + (p.alpha ? 1 : 0);
    return p;
}

ILPixelType SourceType(const channel_plan& p, bool deep) {
    const bool a = p.alpha;
    switch (p.colorType) {
        case IL_CT_INDEXED:
            return IL_INDEX8;
        case IL_CT_GRAY:
            return deep ? (a ? IL_GREY_A16 : IL_GREY16) : (a ? IL_GREY_A8 : IL_GREY8);
        case IL_CT_RGB:
        case IL_CT_YCC:
            return deep ? (a ? IL_RGBA16 : IL_RGB16) : (a ? IL_RGBA8 : IL_RGB8);
        case IL_CT_CMYK:
            return deep ? (a ? IL_CMYK_A16 : IL_CMYK16) : (a ? IL_CMYK_A8 : IL_CMYK8);
        case IL_CT_LAB:
            return a ? 0 : deep ? IL_LAB16 : IL_LAB8;
        default:
            return 0;
    }
}

// The packed type that holds low-depth grey or a short palette as it is,
// or 0 when the samples take a byte or more.
ILPixelType PackedType(const channel_plan& p, int precision) {
    if (p.alpha) return 0;
    if (p.colorType == IL_CT_INDEXED)
        return p.paletteEntries <= 2    ? IL_INDEX1
               : p.paletteEntries <= 4  ? IL_INDEX2
               : p.paletteEntries <= 16 ? IL_INDEX4
                                        : 0;
    if (p.colorType == IL_CT_GRAY)
        return precision == 1   ? IL_GREY1
               : precision == 2 ? IL_GREY2
               : precision <= 4 ? IL_GREY4
                                : 0;
    return 0;
}

// The white point a CIE Lab colour specification names by its illuminant
// value (letters in the low bytes; "CT" and a temperature in kelvin).
cmsCIExyY LabWhitePoint(uint32_t illuminant) {
    struct named {
        uint32_t value;
        double x, y;
    };
    static constexpr named points[] = {
        {0x00443530, 0.34566, 0.3585},  {0x00443635, 0.31271, 0.32902},
        {0x00443735, 0.29903, 0.31487}, {0x00005341, 0.44753, 0.40744},
        {0x00005343, 0.31006, 0.31616}, {0x00004632, 0.37207, 0.37512},
        {0x00004637, 0.31285, 0.32917}, {0x00463131, 0.38054, 0.37692},
    };
    if ((illuminant >> 16) == 0x4354) {
        cmsCIExyY white;
        if (cmsWhitePointFromTemp(&white, illuminant & 0xFFFF)) return white;
    }
    for (const named& p : points)
        if (p.value == illuminant) return {p.x, p.y, 1.0};
    return {0.34566, 0.3585, 1.0};
}

// CIE Lab samples in the encoding of the converter's Lab rows: the file's
// range and offset of each channel (L = R (v - O) / (2^p - 1)) turned into
// L 0..100 over the full row range, a and b offset by 128 (0x80 in 8 bits,
// 0x8080 in 16).
struct lab_scaling {
    double range[3], offset[3];

    uint32_t Encode(int k, int32_t v, int precision, int bits) const {
        const double top = std::ldexp(1.0, precision) - 1;
        const double value = range[k] * (v - offset[k]) / top;
        const double full = std::ldexp(1.0, bits) - 1;
        const double coded = k == 0 ? value * full / 100 : (value + 128) * full / 255;
        return static_cast<uint32_t>(std::clamp(std::floor(coded + 0.5), 0.0, full));
    }
};

// A component's samples scaled to 0..2^bits - 1.
uint32_t Scale(int32_t v, int precision, bool is_signed, int bits) {
    const int p = precision;
    int64_t u = int64_t{v} + (is_signed ? int64_t{1} << (p - 1) : 0);
    const int64_t top = (int64_t{1} << p) - 1, out = (int64_t{1} << bits) - 1;
    u = std::clamp<int64_t>(u, 0, top);
    if (p == bits) return static_cast<uint32_t>(u);
    if (p > bits)
        return static_cast<uint32_t>(
            std::min(out, (u + (int64_t{1} << (p - bits - 1))) >> (p - bits)));
    return static_cast<uint32_t>((u * out + top / 2) / top);
}

// Scale without a branch per sample, for whole rows: the sample clamped to
// its precision's range and offset to unsigned, then rounded and shifted
// down (when the precision is at least the row's bits) or looked up
// (shallower samples, which Scale widens by a division).
struct row_scaling {
    int32_t lo = 0, hi = 0;
    uint32_t offset = 0, add = 0, out = 0;
    int shift = 0;
    std::vector<uint16_t> table; // by the offset sample, when widening

    row_scaling(int precision, bool is_signed, int bits) {
        const int p = precision;
        offset = is_signed ? uint32_t{1} << (p - 1) : 0;
        const uint32_t top = static_cast<uint32_t>((uint64_t{1} << p) - 1);
        lo = -static_cast<int32_t>(offset);
        hi = static_cast<int32_t>(top - offset);
        out = (uint32_t{1} << bits) - 1;
        if (p < bits) {
            table.resize(size_t{top} + 1);
            for (uint32_t u = 0; u <= top; ++u)
                table[u] = static_cast<uint16_t>(
                    Scale(static_cast<int32_t>(u - offset), p, is_signed, bits));
            return;
        }
        shift = p - bits;
        add = offset + (p > bits ? uint32_t{1} << (p - bits - 1) : 0);
    }

    // `width` samples to every `stride`-th place of dst.
    template <typename T>
    void Row(const int32_t* src, uint32_t width, T* dst, int stride) const {
        if (!table.empty()) {
            for (uint32_t x = 0; x < width; ++x)
                dst[size_t{x} * stride] =
                    static_cast<T>(table[static_cast<uint32_t>(std::clamp(src[x], lo, hi)) + offset]);
            return;
        }
        if (stride == 1)
            ScaledRow(src, width, dst, lo, hi, add, shift, out);
        else
            for (uint32_t x = 0; x < width; ++x)
                dst[size_t{x} * stride] = static_cast<T>(
                    std::min(out, (static_cast<uint32_t>(std::clamp(src[x], lo, hi)) + add) >> shift));
    }

private:
    // Comparisons rather than std::min and std::clamp: the same vector code,
    // and no call per sample in unoptimised (sanitizer) builds.
    template <typename T>
    __attribute__((target_clones("avx2", "default"))) static void ScaledRow(
        const int32_t* __restrict src, uint32_t width, T* __restrict dst, int32_t lo, int32_t hi,
        uint32_t add, int shift, uint32_t out) {
        for (uint32_t x = 0; x < width; ++x) {
            const int32_t v = src[x] < lo ? lo : src[x] > hi ? hi : src[x];
            const uint32_t u = (static_cast<uint32_t>(v) + add) >> shift;
            dst[x] = static_cast<T>(u < out ? u : out);
        }
    }
};

void FillInfo(ILInfo* info, int kind, const channel_plan& plan, j2k::codestream_ref cs,
              uint32_t width, uint32_t height) {
    info->formatId = static_cast<uint32_t>(kind);
    info->colorType = plan.colorType;
    info->compression = 0x60;
    info->width = width;
    info->height = height;
    info->channels = static_cast<uint32_t>(plan.channels);
    uint32_t bits = 0;
    for (int k = 0; k < plan.channels; ++k)
        if (plan.component[k] < cs.component_count())
            bits += static_cast<uint32_t>(cs.sample_precision(plan.component[k]));
    info->bitsPerPixel = bits;
    info->pages = 1;
    info->alphaKind = plan.alpha || plan.alphaTable >= 0 ? 1 : 0;
    j2k::coords first, count;
    cs.tile_index_range(first, count);
    if (count.x > 1 || count.y > 1) {
        info->tiled = 1;
        info->tilesX = static_cast<uint32_t>(count.x);
        info->tilesY = static_cast<uint32_t>(count.y);
    }
    for (const std::string& text : cs.comments())
        ILAddComment(&info->texts, text.size(), text.c_str());
}

ILResult Decode(ILHandle* h, handle_sink& sink, int kind, j2k::codestream_source& source,
                const j2k::boxed_file_reader* jp2, ILImage* image, ILInfo* info) {
    j2k::codestream_ref cs = j2k::codestream_ref::create_input(&source);
    struct disposer {
        j2k::codestream_ref& cs;
        ~disposer() { cs.dispose(); }
    } guard{cs};
    const int n = std::max(1, cs.component_count());
    channel_plan plan = jp2 ? PlanJp2(*jp2, n, h) : PlanRaw(n);
    const j2k::rect canvas = cs.canvas();
    const uint32_t width = static_cast<uint32_t>(canvas.size.x);
    const uint32_t height = static_cast<uint32_t>(canvas.size.y);
    ILProfilePtr profile;
    if (jp2) {
        int length = 0;
        const uint8_t* icc = jp2->colour().icc_bytes(length);
        if (icc && length > 0)
            profile.reset(cmsOpenProfileFromMem(icc, static_cast<uint32_t>(length)));
    }
    if (info) {
        FillInfo(info, kind, plan, cs, width, height);
        info->gamma = 2.2;
        info->gammaKind = profile ? IL_GAMMA_ICC : IL_GAMMA_ASSUMED;
        ILReadIccInfo(&info->icc, profile.get());
        if (jp2) {
            const j2k::resolution_info& res = jp2->resolution();
            const double r = res.capture_resolution();
            if (r > 0) {
                info->ppiX = static_cast<uint32_t>(
                    std::floor(r * res.display_aspect() / 39.37008 + 0.49999));
                info->ppiY = static_cast<uint32_t>(std::floor(r / 39.37008 + 0.49999));
            }
            const std::string& xml = jp2->xml();
            if (xml.size() > 8) ILParseXMP(h, &info->xmp, xml.size(), xml.c_str());
        }
    }
    if (!image) return IL_OK;

    ILClearImage(image);
    for (int k = 0; k < plan.channels; ++k)
        if (plan.component[k] < 0 || plan.component[k] >= cs.component_count()) {
            // A channel without its component would show as a blank image.
            ILReportUnsupportedDataFormat(h);
            return IL_FAILED;
        }
    // Only the components the channels take are decoded.
    cs.limit_components(1 + *std::max_element(plan.component, plan.component + plan.channels));
    bool deep = false;
    for (int k = 0; k < plan.channels; ++k)
        deep = deep || cs.sample_precision(plan.component[k]) > 8;
    const ILPixelType source_type = SourceType(plan, deep && !plan.paletteEntries);
    if (!source_type) {
        ILError(h, "Unsupported color format");
        return IL_FAILED;
    }
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetAlphaMode(c, h->alphaMode);
    // Low-depth grey and short palettes load packed, as they are, unless the
    // handle asks for another type.
    const ILPixelType packed = PackedType(plan, cs.sample_precision(plan.component[0]));
    const ILPixelType natural = packed ? packed : source_type;
    const ILPixelType target = ILGetLoadPixelType(h, natural, true);
    const bool pack = packed && target == packed;
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint64_t bytes = ILImageBufferSize(width, height, target);
    if (const ILResult r = ILCheckImageBudget(h, bytes); r != IL_OK) return r;

    j2k::codestream_decoder decoder(cs);
    // The tiles' structures share the budget with the image.
    decoder.set_memory_limit(
        static_cast<int64_t>(std::min<uint64_t>(h->imageBudget - bytes, INT64_MAX)));
    // A damaged tile is reported and left out; the others load.
    decoder.skip_damaged_tiles();
    // The caller's thread decodes its share of each row of code-blocks.
    decoder.set_workers(j2k::block_pool::default_workers() - 1);
    // The first tile row is read before the image is made: a stream refused
    // whole ends here.
    decoder.seek_canvas_row(canvas.pos.y);

    if (ILReallocImage(image, width, height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, bytes);
    if (plan.paletteEntries) {
        ILPalette* palette = ILConverterNewPalette(c, static_cast<uint32_t>(plan.paletteEntries));
        if (!palette) return ILReportOutOfMemory(h, 0);
        const j2k::palette_info& pal = jp2->palette();
        // Colour channels 0, 1, 2 are red, green and blue.
        for (int e = 0; e < plan.paletteEntries; ++e)
            palette->entries[e] = {
                pal.entry16(plan.table[2], e), pal.entry16(plan.table[1], e),
                pal.entry16(plan.table[0], e),
                plan.alphaTable >= 0 ? pal.entry16(plan.alphaTable, e) : uint16_t{0xFFFF}};
        if (ILPixelModel(target) == IL_MODEL_INDEXED) ILConverterGivePalette(c, image);
    }
    // Lab without a profile of its own: the Lab identity on its white point.
    lab_scaling lab{};
    const bool is_lab = plan.colorType == IL_CT_LAB;
    if (is_lab) {
        const std::array<uint32_t, 7>& values = jp2->colour().lab_values();
        for (int k = 0; k < 3; ++k) {
            lab.range[k] = values[2 * k];
            lab.offset[k] = values[2 * k + 1];
        }
        if (!profile) {
            const cmsCIExyY white = LabWhitePoint(values[6]);
            profile.reset(cmsCreateLab4Profile(&white));
        }
    }
    if (profile && !plan.paletteEntries)
        ILConverterSetProfile(c, profile.get(), ILPixelTypeToLcmsFormat(source_type));
    ILConverterSetModes(c, source_type, target, width);
    if (!pack && !ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);

    const int bits = ILBitsPerSample(pack ? packed : source_type);
    const int channels = plan.channels;
    std::vector<uint16_t> row16(static_cast<size_t>(width) * channels);
    std::vector<uint8_t> row8(static_cast<size_t>(width) * channels);
    std::vector<int64_t> columns[5];
    // Every channel's sample x at column x of its component's row.
    bool aligned = true;
    for (int k = 0; k < channels; ++k) {
        const j2k::coords sub = cs.component_subsampling(plan.component[k]);
        const j2k::rect e = cs.component_extent(plan.component[k]);
        columns[k].resize(width);
        for (uint32_t x = 0; x < width; ++x) {
            columns[k][x] = std::clamp<int64_t>(j2k::floor_div(canvas.pos.x + x, sub.x) - e.pos.x,
                                                0, std::max<int64_t>(e.size.x - 1, 0));
            aligned = aligned && columns[k][x] == x;
        }
    }
    const bool ycc = plan.colorType == IL_CT_YCC && channels >= 3;
    int precision[5];
    bool is_signed[5];
    for (int k = 0; k < channels; ++k) {
        precision[k] = cs.sample_precision(plan.component[k]);
        is_signed[k] = cs.sample_signed(plan.component[k]);
    }
    // The common case scales whole rows, a component at a time.
    const bool by_rows = aligned && !ycc && !is_lab && !plan.paletteEntries;
    std::vector<row_scaling> scalings;
    if (by_rows)
        for (int k = 0; k < channels; ++k)
            scalings.emplace_back(precision[k], is_signed[k], bits);
    for (uint32_t y = 0; y < height; ++y) {
        decoder.seek_canvas_row(canvas.pos.y + y);
        const int32_t* lines[5];
        for (int k = 0; k < channels; ++k)
            lines[k] = decoder.row(plan.component[k]);
        for (int k = 0; k < channels && by_rows; ++k) {
            if (bits > 8)
                scalings[k].Row(lines[k], width, row16.data() + k, channels);
            else
                scalings[k].Row(lines[k], width, row8.data() + k, channels);
        }
        for (uint32_t x = 0; x < width && !by_rows; ++x) {
            uint32_t v[5];
            for (int k = 0; k < channels; ++k) {
                int32_t s = lines[k][columns[k][x]];
                if (plan.paletteEntries && k == 0) {
                    v[k] =
                        static_cast<uint32_t>(std::clamp<int64_t>(s, 0, plan.paletteEntries - 1));
                    continue;
                }
                v[k] = is_lab ? lab.Encode(k, s, precision[k], bits)
                              : Scale(s, precision[k], is_signed[k], bits);
            }
            if (ycc) {
                // sYCC: full-range Y, Cb, Cr around half the range.
                const double mid = (1 << (bits - 1)), top = (1 << bits) - 1;
                const double yy = v[0], cb = v[1] - mid, cr = v[2] - mid;
                const double rgb[3] = {yy + 1.402 * cr, yy - 0.344136 * cb - 0.714136 * cr,
                                       yy + 1.772 * cb};
                for (int k = 0; k < 3; ++k)
                    v[k] = static_cast<uint32_t>(std::clamp(std::floor(rgb[k] + 0.5), 0.0, top));
            }
            for (int k = 0; k < channels; ++k) {
                if (bits > 8)
                    row16[static_cast<size_t>(x) * channels + k] = static_cast<uint16_t>(v[k]);
                else
                    row8[static_cast<size_t>(x) * channels + k] = static_cast<uint8_t>(v[k]);
            }
        }
        uint8_t* dst = image->data + int64_t{y} * image->stride;
        if (pack) {
            // The first column in the most significant bits.
            const uint32_t per_byte = 8 / static_cast<uint32_t>(bits);
            std::fill_n(dst, (width + per_byte - 1) / per_byte, 0);
            for (uint32_t x = 0; x < width; ++x)
                dst[x / per_byte] |= static_cast<uint8_t>(
                    row8[x] << (8 - bits * static_cast<int>(1 + x % per_byte)));
            continue;
        }
        c->rowKernel(c, bits > 8 ? static_cast<const void*>(row16.data()) : row8.data(), dst);
    }
    if (info) {
        info->compression = decoder.reversible() ? 0x61 : 0x62;
        if (info->colorType == IL_CT_RGB && decoder.colour_transform()) info->colorType = IL_CT_YUV;
    }
    if (decoder.damaged()) {
        sink.report();
        return IL_PARTIAL;
    }
    return decoder.complete() ? IL_OK : ILReportUnexpectedEnd(h);
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFilePtr file;
    uint64_t fileSize = 0;
    const ILResult opened = ILOpenReadOwned(h, path, &file, info, &fileSize);
    if (opened != IL_OK) return opened;
    const int kind = ILJPEG2000DetectKind(file.get());
    if (kind < 0) return ILReportInvalidHeader(h);
    handle_sink sink(h);
    j2k::message_scope scope(&sink);
    try {
        if (kind == IL_J2K_JP2) {
            j2k::boxed_file_reader jp2(file.release());
            return Decode(h, sink, kind, jp2, &jp2, image, info);
        }
        j2k::file_codestream_source source(file.release());
        return Decode(h, sink, kind, source, nullptr, image, info);
    } catch (const j2k::failure&) {
        sink.report();
        if (image) ILClearImage(image);
        return IL_FAILED;
    }
}

} // namespace

int ILJPEG2000DetectKind(FILE* file) {
    uint8_t b[2];
    if (std::fread(b, 1, 2, file) != 2) return -1;
    if (b[0] == 0xFF && b[1] == 0x4F) {
        std::rewind(file);
        return IL_J2K_RAW;
    }
    if (std::fseek(file, 4, SEEK_SET) != 0 || std::fread(b, 1, 2, file) != 2) return -1;
    std::rewind(file);
    return b[0] == 0x6A && b[1] == 0x50 ? IL_J2K_JP2 : -1;
}

ILResult ILLoadJPEG2000(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kJpeg2000Module, image, [&] { return Load(h, path, image, info); });
}
