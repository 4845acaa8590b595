// iltool: ImgLib on the command line, for developers and for the benchmark
// scripts that run it beside a peer program.
//
//   iltool info FILE                 info-only load (as a folder scan makes):
//                                    result, every info field, metadata
//   iltool topam FILE OUT.pam [--opt NAME=VALUE ...]
//                                    decoded pixels as RGB, or RGBA where the
//                                    image may have alpha, 8 or 16 bits
//   iltool convert IN OUT [--opt NAME=VALUE ...]
//                                    load and save by extension
// NAME is a load, save or import option: thumbnailEdge (a reduced load, as
// for thumbnails), imageBudget (bytes), jpeg.quality, png.compression,
// bmp.os2, ...
//   iltool resize IN OUT WIDTH HEIGHT [FILTER]
//                                    resample (Box, Cosine, Gauss, Mitchell,
//                                    Cubic, Lanczos (default), Blackman, or
//                                    fast: the 8-bit thumbnail resampler)
//   iltool rotate IN OUT DEGREES [OVERSAMPLING]
//                                    without OVERSAMPLING the nearest pixel
//                                    (no interpolation); 1 interpolates 2 x 2
//                                    in linear light, N >= 2 supersamples
//                                    N x N
//   iltool mirror IN OUT lr|ud
//   iltool crop IN OUT X Y WIDTH HEIGHT   (negative X, Y and a larger size expand)
//   iltool shift IN OUT DX DY
//   iltool blur IN OUT RADIUS [blur|sharpen|bloom [AMOUNT [GAIN]]]
//   iltool project IN OUT WIDTH HEIGHT FROM TO [AX AY AZ [OVERSAMPLING]]
//                                    panorama projection; FROM and TO are
//                                    latlong, cylindrical, angular, mirrorball
//   iltool thumbnail IN OUT EDGE
//   iltool invert IN OUT             colour samples complemented, alpha kept
//   iltool swaprb IN OUT             red and blue samples exchanged
//   iltool colorfilter IN OUT HUE_LIGHTS STRENGTH_LIGHTS HUE_SHADOWS STRENGTH_SHADOWS
//   iltool tonemap IN OUT EXPOSURE EXPONENT [BLACK CHROMA HUE KELVIN]
//   iltool quantize IN OUT COUNT [HISTOGRAM_BITS [dither|plain]]
//   iltool mode IN OUT MODE [DITHER] MODE: grey8 grey16 greyhalf greyfloat
//                                    rgb8 rgb16 rgbhalf rgbfloat grey4 grey2
//                                    mono (DITHER: the monochrome kind 0..3)
//   iltool text IN OUT TEXT [NAME=VALUE ...]
//                                    Write Text; "\n" in TEXT breaks the line.
//                                    NAME: face height weight italic underline
//                                    strike quality color (RRGGBB) alpha
//                                    align (0 1 2) rtl anchor (0..8) x y
//                                    orientation (0..3) effect blur ex ey
//                                    alphawrite
//   iltool alpha IN OUT STEP...      the alpha operations in turn; STEP is
//                                    add OPACITY BORDER SHAPE, remove (drop),
//                                    blend (composite onto 50 % grey, as the
//                                    viewer shows alpha), invert, load MASK
//
// The operations print the time the operation itself took (load and save
// apart) to the standard error stream as "op SECONDS".
//
// The library's messages go to the standard error stream through its default
// procedures; the exit status is 0 only when every load and save answered 1.
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "imglib/convert/converter_owner.h"
#include "imglib/io/file_owner.h"
#include "imglib/imglib.h"
#include "imglib/memory_owner.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void Usage() {
    std::fputs(
        "usage: iltool info FILE\n"
        "       iltool topam FILE OUT.pam [--opt NAME=VALUE ...]\n"
        "       iltool convert IN OUT [--opt NAME=VALUE ...]\n"
        "       iltool resize IN OUT WIDTH HEIGHT [FILTER]\n"
        "       iltool rotate IN OUT DEGREES [OVERSAMPLING]   (none: nearest pixel; 1: 2 x 2 "
        "interpolated; N: N x N supersampled)\n"
        "       iltool mirror IN OUT lr|ud\n"
        "       iltool crop IN OUT X Y WIDTH HEIGHT\n"
        "       iltool shift IN OUT DX DY\n"
        "       iltool blur IN OUT RADIUS [blur|sharpen|bloom [AMOUNT [GAIN]]]\n"
        "       iltool project IN OUT WIDTH HEIGHT FROM TO [AX AY AZ [OVERSAMPLING]]\n"
        "       iltool thumbnail IN OUT EDGE\n"
        "       iltool invert IN OUT\n"
        "       iltool swaprb IN OUT\n"
        "       iltool colorfilter IN OUT HUE_LIGHTS STRENGTH_LIGHTS HUE_SHADOWS "
        "STRENGTH_SHADOWS\n"
        "       iltool tonemap IN OUT EXPOSURE EXPONENT [BLACK CHROMA HUE KELVIN]\n"
        "       iltool quantize IN OUT COUNT [HISTOGRAM_BITS [dither|plain]]\n"
        "       iltool mode IN OUT grey8|grey16|greyhalf|greyfloat|rgb8|rgb16|rgbhalf|"
        "rgbfloat|grey4|grey2|mono [DITHER]\n"
        "       iltool text IN OUT TEXT [NAME=VALUE ...]\n"
        "       iltool alpha IN OUT (add OPACITY BORDER SHAPE|remove|blend|invert|load MASK)...\n",
        stderr);
}

// ---------------------------------------------------------------------------
// Options: the fields of the handle's option records, by format.

using Field = std::variant<uint8_t*, uint32_t*, uint64_t*, float*>;

struct Option {
    const char* name;
    Field (*field)(ILHandle& h);
};

const Option kOptions[] = {
    {"thumbnailEdge", [](ILHandle& h) -> Field { return &h.thumbnailEdge; }},
    // Bytes an image may take while it loads (the memory budget).
    {"imageBudget", [](ILHandle& h) -> Field { return &h.imageBudget; }},
    {"bmp.os2", [](ILHandle& h) -> Field { return &h.bmpOS2; }},
    {"pcx.rle", [](ILHandle& h) -> Field { return &h.pcxRLE; }},
    {"gif.interlaced", [](ILHandle& h) -> Field { return &h.gifInterlaced; }},
    {"tga.rle", [](ILHandle& h) -> Field { return &h.tgaRLE; }},
    {"pnm.ascii", [](ILHandle& h) -> Field { return &h.pnmASCII; }},
    {"radiance.xyze", [](ILHandle& h) -> Field { return &h.radianceXYZE; }},
    {"exr.compression", [](ILHandle& h) -> Field { return &h.exrCompression; }},
    {"exr.keepPremultiplied", [](ILHandle& h) -> Field { return &h.exrKeepPremultiplied; }},
    {"webp.quality", [](ILHandle& h) -> Field { return &h.webpQuality; }},
    {"png.compression", [](ILHandle& h) -> Field { return &h.png.compression; }},
    {"png.interlaced", [](ILHandle& h) -> Field { return &h.png.interlaced; }},
    {"png.gamma", [](ILHandle& h) -> Field { return &h.png.gamma; }},
    {"jpeg.quality", [](ILHandle& h) -> Field { return &h.jpeg.quality; }},
    {"jpeg.progressive", [](ILHandle& h) -> Field { return &h.jpeg.progressive; }},
    {"jpeg.arithmetic", [](ILHandle& h) -> Field { return &h.jpeg.arithmetic; }},
    {"jpeg.subsampling", [](ILHandle& h) -> Field { return &h.jpeg.subsampling; }},
    {"jpeg.embedProfile", [](ILHandle& h) -> Field { return &h.jpeg.embedProfile; }},
    {"jpeg2000.rate", [](ILHandle& h) -> Field { return &h.jpeg2000.rate; }},
    {"jpeg2000.layers", [](ILHandle& h) -> Field { return &h.jpeg2000.layers; }},
    {"jpeg2000.colorFormat", [](ILHandle& h) -> Field { return &h.jpeg2000.colorFormat; }},
    {"jpeg2000.reversible", [](ILHandle& h) -> Field { return &h.jpeg2000.reversible; }},
    {"jpeg2000.lossless", [](ILHandle& h) -> Field { return &h.jpeg2000.lossless; }},
    {"jpeg2000.subsampling", [](ILHandle& h) -> Field { return &h.jpeg2000.subsampling; }},
    {"jpegxr.quality", [](ILHandle& h) -> Field { return &h.jpegxr.quality; }},
    {"jpegxr.overlap", [](ILHandle& h) -> Field { return &h.jpegxr.overlap; }},
    {"jpegxr.subsampling", [](ILHandle& h) -> Field { return &h.jpegxr.subsampling; }},
    {"jpegxr.lossless", [](ILHandle& h) -> Field { return &h.jpegxr.lossless; }},
    {"tiff.byteOrder", [](ILHandle& h) -> Field { return &h.tiff.byteOrder; }},
    {"tiff.compression", [](ILHandle& h) -> Field { return &h.tiff.compression; }},
    {"tiff.predictor", [](ILHandle& h) -> Field { return &h.tiff.predictor; }},
    {"tiff.embedProfile", [](ILHandle& h) -> Field { return &h.tiff.embedProfile; }},
    {"pgf.level", [](ILHandle& h) -> Field { return &h.pgf.level; }},
    {"pgf.lossless", [](ILHandle& h) -> Field { return &h.pgf.lossless; }},
    {"raw.sampleKind", [](ILHandle& h) -> Field { return &h.raw.sampleKind; }},
    {"raw.interpolation", [](ILHandle& h) -> Field { return &h.raw.interpolation; }},
    {"raw.waveletThreshold", [](ILHandle& h) -> Field { return &h.raw.waveletThreshold; }},
    {"pcd.sampleKind", [](ILHandle& h) -> Field { return &h.pcd.sampleKind; }},
    {"pcd.resolution", [](ILHandle& h) -> Field { return &h.pcd.resolution; }},
};

bool ParseUnsigned(const char* text, uint64_t max, uint64_t* out) {
    if (*text == '\0' || *text == '-') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 0);
    if (errno != 0 || *end != '\0' || v > max) return false;
    *out = v;
    return true;
}

// "NAME=VALUE" into the handle; false with a message for an unknown name or
// a value the field cannot hold.
bool ApplyOption(ILHandle* h, const char* assignment) {
    const char* equals = std::strchr(assignment, '=');
    if (!equals) {
        std::fprintf(stderr, "iltool: option \"%s\" is not NAME=VALUE\n", assignment);
        return false;
    }
    const std::string name(assignment, equals);
    const char* value = equals + 1;
    for (const Option& option : kOptions) {
        if (name != option.name) continue;
        const Field field = option.field(*h);
        uint64_t n = 0;
        if (auto* u8 = std::get_if<uint8_t*>(&field); u8 && ParseUnsigned(value, UINT8_MAX, &n)) {
            **u8 = static_cast<uint8_t>(n);
            return true;
        }
        if (auto* u32 = std::get_if<uint32_t*>(&field);
            u32 && ParseUnsigned(value, UINT32_MAX, &n)) {
            **u32 = static_cast<uint32_t>(n);
            return true;
        }
        if (auto* u64 = std::get_if<uint64_t*>(&field);
            u64 && ParseUnsigned(value, UINT64_MAX, &n)) {
            **u64 = n;
            return true;
        }
        if (auto* f32 = std::get_if<float*>(&field)) {
            char* end = nullptr;
            const float v = std::strtof(value, &end);
            if (*value != '\0' && *end == '\0') {
                **f32 = v;
                return true;
            }
        }
        std::fprintf(stderr, "iltool: bad value \"%s\" for option %s\n", value, option.name);
        return false;
    }
    std::fprintf(stderr, "iltool: unknown option %s; known options:\n", name.c_str());
    for (const Option& option : kOptions)
        std::fprintf(stderr, "  %s\n", option.name);
    return false;
}

// "--opt NAME=VALUE" pairs; false after the usage or a message.
bool ApplyOptions(ILHandle* h, int count, char** arguments) {
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(arguments[i], "--opt") != 0 || i + 1 == count) {
            Usage();
            return false;
        }
        if (!ApplyOption(h, arguments[++i])) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The handle, freed with its owner.
struct Handle {
    ILHandle* h = ILCreateHandle("iltool");
    ~Handle() { ILDestroyHandle(h); }
};

std::u16string Wide(const char* path) {
    return ILUtf8ToPath(path);
}

// The dispatcher answers an extension no format takes with -3 and no message.
bool HasCodec(const char* path, bool save) {
    const ILFormat& row = ILGetFormatRow(ILFindFormatRow(Wide(path).c_str()));
    if (save ? row.save != nullptr : row.load != nullptr) return true;
    std::fprintf(stderr, "iltool: no format %s %s\n", save ? "writes" : "reads", path);
    return false;
}

// ---------------------------------------------------------------------------
// info

// The dumps end their lines in CR LF, as the viewer's info window wants.
void PrintSection(const char* title, const std::string& text) {
    if (text.empty()) return;
    std::printf("%s:\n", title);
    for (char ch : text) {
        if (ch != '\r') std::putchar(ch);
    }
}

// The pixels are not decoded: the load with no image is the one the viewer's
// folder scan makes, so this shows what it reads and costs.
int Info(ILHandle* h, const char* path) {
    if (!HasCodec(path, false)) return kExitFailed;
    ILInfo info;
    const ILResult result = ILLoadImage(h, Wide(path).c_str(), nullptr, &info);
    std::printf("result: %d\n", result);
    std::printf("formatId: 0x%X (%s)\n", info.formatId, ILGetFormatDescription(info.formatId));
    std::printf("colorType: %u\n", info.colorType);
    std::printf("compression: %u\n", info.compression);
    std::printf("fileSize: %" PRId64 "\n", info.fileSize);
    std::printf("created: %" PRId64 "\n", info.created);
    std::printf("modified: %" PRId64 "\n", info.modified);
    std::printf("width: %u\n", info.width);
    std::printf("height: %u\n", info.height);
    std::printf("channels: %u\n", info.channels);
    std::printf("bitsPerPixel: %u\n", info.bitsPerPixel);
    std::printf("tilesX: %u\n", info.tilesX);
    std::printf("tilesY: %u\n", info.tilesY);
    std::printf("tiled: %u\n", info.tiled);
    std::printf("alphaKind: %u\n", info.alphaKind);
    std::printf("gamma: %g\n", info.gamma);
    std::printf("gammaKind: %u\n", info.gammaKind);
    std::printf("ppiX: %u\n", info.ppiX);
    std::printf("ppiY: %u\n", info.ppiY);
    std::printf("pages: %u\n", info.pages);
    std::printf("page: %u\n", info.page);

    std::string text;
    ILFormatTexts(&info.texts, &text);
    PrintSection("texts", text);
    text.clear();
    ILFormatIccInfo(&info.icc, &text);
    PrintSection("icc", text);
    text.clear();
    ILFormatExif(info.exif, &text);
    PrintSection("exif", text);
    text.clear();
    ILFormatIPTC(info.iptc, &text);
    PrintSection("iptc", text);
    text.clear();
    ILFormatXMP(info.xmp, &text);
    PrintSection("xmp", text);
    return result == IL_OK ? 0 : kExitFailed;
}

// ---------------------------------------------------------------------------
// topam

// Prepares a conversion of the image to 8 or 16-bit R, G, B (and alpha where
// the source has one or may have one through its palette); the converter
// serves some pairs only in B, G, R order, which the caller then swaps.
bool PrepareRgba(ILConverterOwner* conv, const ILImage& image, bool deep, ILPixelType* chosen) {
    const uint32_t kind = deep ? IL_KIND_16 : IL_KIND_8;
    const bool indexed = (image.type & IL_MODEL_MASK) == IL_MODEL_INDEXED;
    std::vector<ILPixelType> candidates;
    // A conversion never writes an alpha sample its source lacks: only sources
    // with alpha, or palettes that may carry it, ask for one.
    if (ILHasAlpha(image.type) || indexed) {
        candidates.push_back(IL_ORDER_RGB | IL_MODEL_RGB | kind | IL_EXTRA_ALPHA);
        candidates.push_back(IL_MODEL_RGB | kind | IL_EXTRA_ALPHA);
    }
    candidates.push_back(IL_ORDER_RGB | IL_MODEL_RGB | kind);
    candidates.push_back(IL_MODEL_RGB | kind);
    for (ILPixelType type : candidates) {
        ILConverterFree(&conv->c);
        ILConverterInit(&conv->c);
        ILConverterSetImageTarget(&conv->c, &image, type);
        if (ILConverterPrepare(&conv->c)) {
            *chosen = type;
            return true;
        }
    }
    return false;
}

// The converted row in the file's order: R, G, B (and alpha), samples
// big-endian when 16 bits deep.
void ToFileOrder(uint8_t* row, uint32_t width, size_t channels, bool deep, bool bgr) {
    if (!deep) {
        if (!bgr) return;
        for (uint32_t x = 0; x < width; ++x, row += channels)
            std::swap(row[0], row[2]);
        return;
    }
    for (uint32_t x = 0; x < width; ++x, row += 2 * channels) {
        uint16_t s[4];
        std::memcpy(s, row, 2 * channels);
        if (bgr) std::swap(s[0], s[2]);
        for (size_t i = 0; i < channels; ++i)
            s[i] = static_cast<uint16_t>(s[i] << 8 | s[i] >> 8);
        std::memcpy(row, s, 2 * channels);
    }
}

bool WritePam(const ILImage& image, const char* path) {
    const bool deep = image.bits > 8;
    ILConverterOwner conv;
    ILPixelType type = 0;
    if (!PrepareRgba(&conv, image, deep, &type)) {
        std::fprintf(stderr, "iltool: pixel type 0x%X does not convert to RGB\n", image.type);
        return false;
    }
    const bool alpha = ILHasAlpha(type);
    const bool bgr = !(type & IL_ORDER_RGB);
    const size_t channels = alpha ? 4 : 3;
    const size_t rowBytes = size_t{image.width} * channels * (deep ? 2 : 1);
    // Rows go out a block of about 1 MiB at a time: fewer, larger writes. A
    // small image takes a block of its own size, not a zeroed MiB.
    const size_t blockRows = std::clamp<size_t>((size_t{1} << 20) / rowBytes, 1, image.height);
    std::vector<uint8_t> block(blockRows * rowBytes);

    ILFilePtr file(std::fopen(path, "wb"));
    if (!file) {
        std::fprintf(stderr, "iltool: cannot create %s: %s\n", path, std::strerror(errno));
        return false;
    }
    std::fprintf(file.get(), "P7\nWIDTH %u\nHEIGHT %u\nDEPTH %zu\nMAXVAL %u\nTUPLTYPE %s\nENDHDR\n",
                 image.width, image.height, channels, deep ? 65535u : 255u,
                 alpha ? "RGB_ALPHA" : "RGB");
    for (uint32_t y = 0; y < image.height;) {
        const size_t rows = std::min<size_t>(blockRows, image.height - y);
        for (size_t k = 0; k < rows; ++k, ++y) {
            uint8_t* row = block.data() + k * rowBytes;
            conv.c.rowKernel(&conv.c, image.data + static_cast<int64_t>(y) * image.stride, row);
            ToFileOrder(row, image.width, channels, deep, bgr);
        }
        if (std::fwrite(block.data(), 1, rows * rowBytes, file.get()) != rows * rowBytes) {
            std::fprintf(stderr, "iltool: cannot write %s\n", path);
            return false;
        }
    }
    if (std::fclose(file.release()) != 0) {
        std::fprintf(stderr, "iltool: cannot write %s\n", path);
        return false;
    }
    return true;
}

// A partial image (result 2) is still written, so that it can be compared;
// the exit status then tells that the load was not whole.
int ToPam(ILHandle* h, const char* path, const char* outPath, int optionCount, char** options) {
    if (!ApplyOptions(h, optionCount, options)) return kExitUsage;
    if (!HasCodec(path, false)) return kExitFailed;
    ILImageOwner image;
    const ILResult result = ILLoadImage(h, Wide(path).c_str(), &image.image, nullptr);
    if (result != IL_OK && result != IL_PARTIAL) return kExitFailed;
    if (!WritePam(image.image, outPath)) return kExitFailed;
    return result == IL_OK ? 0 : kExitFailed;
}

// ---------------------------------------------------------------------------
// convert

int Convert(ILHandle* h, const char* in, const char* out, int optionCount, char** options) {
    if (!ApplyOptions(h, optionCount, options)) return kExitUsage;
    if (!HasCodec(in, false) || !HasCodec(out, true)) return kExitFailed;
    ILImageOwner image;
    ILInfo info;
    if (ILLoadImage(h, Wide(in).c_str(), &image.image, &info) != IL_OK) return kExitFailed;
    return ILSaveImage(h, Wide(out).c_str(), &image.image, &info) == IL_OK ? 0 : kExitFailed;
}

// ---------------------------------------------------------------------------
// Operations: load, run one operation (timed), save.

bool ParseInt(const char* text, int32_t* out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

bool ParseDouble(const char* text, double* out) {
    char* end = nullptr;
    *out = std::strtod(text, &end);
    return *text != '\0' && *end == '\0';
}

// Write Text's settings from NAME=VALUE words, over 48-pixel white Liberation
// Sans in the top-left corner.
bool ParseTextParams(const char* utf8, int n, char** words, WriteTextParams* p,
                     std::u16string* text) {
    *p = WriteTextParams{};
    p->font.height = -48;
    p->font.weight = 400;
    std::strcpy(p->font.faceName, "Liberation Sans");
    p->color.SetWhite();
    std::string escaped;
    for (const char* c = utf8; *c; ++c) {
        if (c[0] == '\\' && c[1] == 'n') {
            escaped += '\n';
            ++c;
        } else {
            escaped += *c;
        }
    }
    *text = ILUtf8ToPath(escaped.c_str());
    struct IntField {
        const char* name;
        int32_t* field;
        int32_t low, high;
    };
    int32_t italic = 0, underline = 0, strike = 0, quality = 0, anchor = 0, orientation = 0,
            blur = 0, ex = 0, ey = 0, alphaWrite = 0, rtl = 0;
    const IntField ints[] = {{"height", &p->font.height, -4096, 4096},
                             {"weight", &p->font.weight, 0, 1000},
                             {"italic", &italic, 0, 1},
                             {"underline", &underline, 0, 1},
                             {"strike", &strike, 0, 1},
                             {"quality", &quality, 0, 6},
                             {"align", &p->lineAlign, 0, 2},
                             {"rtl", &rtl, 0, 1},
                             {"anchor", &anchor, 0, 255},
                             {"x", &p->offsetX, INT32_MIN, INT32_MAX},
                             {"y", &p->offsetY, INT32_MIN, INT32_MAX},
                             {"orientation", &orientation, 0, 255},
                             {"blur", &blur, 0, 255},
                             {"ex", &ex, -128, 127},
                             {"ey", &ey, -128, 127},
                             {"alphawrite", &alphaWrite, 0, 2}};
    for (int k = 0; k < n; ++k) {
        const char* eq = std::strchr(words[k], '=');
        if (!eq) return false;
        const std::string name(words[k], static_cast<size_t>(eq - words[k]));
        const char* value = eq + 1;
        bool known = false;
        for (const IntField& f : ints) {
            if (name != f.name) continue;
            int32_t v = 0;
            if (!ParseInt(value, &v) || v < f.low || v > f.high) return false;
            *f.field = v;
            known = true;
        }
        double d = 0;
        if (name == "face") {
            if (std::strlen(value) > 31) return false;
            std::strcpy(p->font.faceName, value);
        } else if (name == "color") {
            char* end = nullptr;
            const unsigned long rgb = std::strtoul(value, &end, 16);
            if (*end || std::strlen(value) != 6) return false;
            const uint8_t bgr[3] = {static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8),
                                    static_cast<uint8_t>(rgb >> 16)};
            p->color.FromBGR8(bgr);
        } else if (name == "alpha" && ParseDouble(value, &d)) {
            p->color.a = static_cast<float>(d);
        } else if (name == "effect" && ParseDouble(value, &d)) {
            p->effect = static_cast<float>(d);
        } else if (!known) {
            return false;
        }
    }
    p->font.italic = static_cast<uint8_t>(italic);
    p->font.underline = static_cast<uint8_t>(underline);
    p->font.strikeOut = static_cast<uint8_t>(strike);
    p->font.quality = static_cast<uint8_t>(quality);
    if (rtl) p->lineAlign |= IL_DT_RTLREADING;
    p->anchor = static_cast<uint8_t>(anchor);
    p->orientation = static_cast<uint8_t>(orientation);
    p->blur = static_cast<uint8_t>(blur);
    p->effectX = static_cast<int8_t>(ex);
    p->effectY = static_cast<int8_t>(ey);
    p->alphaWrite = static_cast<uint8_t>(alphaWrite);
    return true;
}

// Index in names of the text, or -1.
int Find(const char* text, const char* const* names, int count) {
    for (int i = 0; i < count; ++i)
        if (strcasecmp(text, names[i]) == 0) return i;
    return -1;
}

using Operation = std::function<ILResult(ILHandle* h, ILImage* image)>;

int RunOperation(ILHandle* h, const char* in, const char* out, const Operation& op) {
    if (!HasCodec(in, false) || !HasCodec(out, true)) return kExitFailed;
    ILImageOwner image;
    ILInfo info;
    if (ILLoadImage(h, Wide(in).c_str(), &image.image, &info) != IL_OK) return kExitFailed;
    const auto start = std::chrono::steady_clock::now();
    const ILResult r = op(h, &image.image);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "op %.4f\n", took.count());
    if (r != IL_OK) {
        std::fprintf(stderr, "iltool: the operation answered %d\n", r);
        return kExitFailed;
    }
    return ILSaveImage(h, Wide(out).c_str(), &image.image, &info) == IL_OK ? 0 : kExitFailed;
}

// Replaces the image by a result built beside it.
ILResult Replace(ILImage* image, ILImageOwner* result, ILResult r) {
    if (r == IL_OK) ILMoveImage(image, &result->image, true, false);
    return r;
}

// One step of the alpha command; argument count used, or -1 for bad usage.
int AlphaStep(ILHandle* h, ILImage* image, int n, char** a, ILResult* r) {
    const std::string step = a[0];
    double d[3] = {};
    if (step == "add" && n >= 4 && ParseDouble(a[1], &d[0]) && ParseDouble(a[2], &d[1]) &&
        ParseDouble(a[3], &d[2])) {
        *r = ILAddAlpha(h, image, static_cast<float>(d[0]), static_cast<int32_t>(d[1]),
                        static_cast<int32_t>(d[2]));
        return 4;
    }
    if (step == "remove" || step == "blend") {
        const ILColor grey{0.5f, 0.5f, 0.5f, 1.0f, -1};
        ILSetBackgroundColor(h, &grey);
        ILSetAlphaMode(h, step == "blend" ? 2 : 0);
        *r = ILRemoveAlpha(h, image);
        return 1;
    }
    if (step == "invert") {
        *r = ILInvertAlpha(h, image);
        return 1;
    }
    if (step == "load" && n >= 2) {
        ILImageOwner mask;
        *r = ILLoadImage(h, Wide(a[1]).c_str(), &mask.image, nullptr);
        if (*r >= IL_OK) *r = ILLoadAlpha(h, image, &mask.image);
        return 2;
    }
    return -1;
}

int Operate(ILHandle* h, const std::string& command, int argc, char** argv) {
    const char* in = argv[0];
    const char* out = argv[1];
    char** a = argv + 2;
    const int n = argc - 2;
    int32_t i[4] = {};
    double d[4] = {};
    if (command == "resize" && (n == 2 || n == 3) && ParseInt(a[0], &i[0]) &&
        ParseInt(a[1], &i[1])) {
        const bool fast = n == 3 && strcasecmp(a[2], "fast") == 0;
        const int filter = n == 3 ? Find(a[2], ILResampleFilterNames, IL_RESAMPLE_FILTER_COUNT) : 5;
        if (!fast && filter < 0) return Usage(), kExitUsage;
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            if (!fast) return ILResampleImage(hh, image, i[0], i[1], static_cast<uint8_t>(filter));
            ILImageOwner result;
            if (i[0] <= 0 || i[1] <= 0 ||
                ILAllocImage(&result.image, i[0], i[1], IL_BGR8, nullptr) != IL_OK)
                return IL_BAD_ARGUMENT;
            return Replace(image, &result, ILResampleFast(image, &result.image));
        });
    }
    if (command == "rotate" && (n == 1 || n == 2) && ParseDouble(a[0], &d[0]) &&
        (n == 1 || ParseInt(a[1], &i[0])) && i[0] >= 0 && i[0] <= 255) {
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            if (n == 1) return ILRotateImage(hh, image, d[0]);
            ILAffineParams p{};
            p.angle = d[0];
            p.scaleX = p.scaleY = 1;
            p.background = ILColor{.r = 0, .g = 0, .b = 0, .a = 0, .index = -1};
            p.oversampling = static_cast<uint8_t>(i[0]);
            p.fitCanvas = 1;
            return ILAffineTransform(hh, image, nullptr, &p);
        });
    }
    if (command == "mirror" && n == 1 && (!std::strcmp(a[0], "lr") || !std::strcmp(a[0], "ud"))) {
        const int32_t leftRight = std::strcmp(a[0], "lr") == 0;
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            return ILMirrorImage(hh, image, leftRight);
        });
    }
    if (command == "crop" && n == 4 && ParseInt(a[0], &i[0]) && ParseInt(a[1], &i[1]) &&
        ParseInt(a[2], &i[2]) && ParseInt(a[3], &i[3])) {
        return RunOperation(h, in, out, [&](ILHandle*, ILImage* image) -> ILResult {
            return ILCropImage(image, nullptr, i[0], i[1], i[2], i[3], nullptr);
        });
    }
    if (command == "shift" && n == 2 && ParseInt(a[0], &i[0]) && ParseInt(a[1], &i[1])) {
        return RunOperation(h, in, out, [&](ILHandle*, ILImage* image) -> ILResult {
            return ILShiftImage(image, nullptr, i[0], i[1]);
        });
    }
    if (command == "blur" && n >= 1 && n <= 4 && ParseInt(a[0], &i[0])) {
        static const char* const kinds[] = {"sharpen", "blur", "bloom"};
        const int kind = n >= 2 ? Find(a[1], kinds, 3) : 1;
        d[0] = 1;
        if (kind < 0 || (n >= 3 && !ParseDouble(a[2], &d[0])) ||
            (n == 4 && !ParseDouble(a[3], &d[1])))
            return Usage(), kExitUsage;
        ILGaussParams p;
        ILGaussParamsInit(&p, kind + 1, static_cast<float>(d[0]), i[0], static_cast<float>(d[1]));
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            return ILGaussFilterInPlace(&p, hh, image);
        });
    }
    if (command == "project" && (n == 4 || n == 7 || n == 8) && ParseInt(a[0], &i[0]) &&
        ParseInt(a[1], &i[1]) && i[0] > 0 && i[1] > 0) {
        static const char* const codes[] = {"latlong", "cylindrical", "angular", "mirrorball"};
        const int from = Find(a[2], codes, 4), to = Find(a[3], codes, 4);
        ILProjectionParams p{};
        p.background = ILColor{.r = 0, .g = 0, .b = 0, .a = 0, .index = -1};
        p.oversampling = 1;
        if (from < 0 || to < 0 ||
            (n >= 7 && (!ParseDouble(a[4], &p.angleX) || !ParseDouble(a[5], &p.angleY) ||
                        !ParseDouble(a[6], &p.angleZ))) ||
            (n == 8 && (!ParseInt(a[7], &i[2]) || i[2] < 0 || i[2] > 255)))
            return Usage(), kExitUsage;
        if (n == 8) p.oversampling = static_cast<uint8_t>(i[2]);
        p.sourceProjection = static_cast<uint8_t>(from);
        p.targetProjection = static_cast<uint8_t>(to);
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            ILImageOwner result;
            if (ILAllocImage(&result.image, i[0], i[1], image->type, nullptr) != IL_OK)
                return IL_OUT_OF_MEMORY;
            return Replace(image, &result, ILProjectImage(hh, image, &result.image, &p));
        });
    }
    if (command == "invert" && n == 0)
        return RunOperation(
            h, in, out, [](ILHandle*, ILImage* image) -> ILResult { return ILInvertImage(image); });
    if (command == "swaprb" && n == 0)
        return RunOperation(h, in, out, [](ILHandle*, ILImage* image) -> ILResult {
            return ILSwapRedBlue(image) == 1 ? IL_OK : IL_UNSUPPORTED_PIXEL_TYPE;
        });
    if (command == "colorfilter" && n == 4 && ParseDouble(a[0], &d[0]) &&
        ParseDouble(a[1], &d[1]) && ParseDouble(a[2], &d[2]) && ParseDouble(a[3], &d[3])) {
        ILColorFilterParams p;
        ILColorFilterInit(&p, static_cast<float>(d[0]), static_cast<float>(d[1]),
                          static_cast<float>(d[2]), static_cast<float>(d[3]));
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            return ILColorFilterInPlace(&p, hh, image);
        });
    }
    if (command == "tonemap" && (n == 2 || n == 6)) {
        double v[6] = {1, 1, 0, 1, 0, 6500};
        for (int k = 0; k < n; ++k)
            if (!ParseDouble(a[k], &v[k])) return Usage(), kExitUsage;
        ILToneMap map;
        ILToneMapInit(&map);
        ILToneMapSetExposure(&map, static_cast<float>(v[0]), false);
        if (!ILToneMapSetExponent(&map, static_cast<float>(v[1]), false))
            return Usage(), kExitUsage;
        ILToneMapSetBlack(&map, static_cast<float>(v[2]), false);
        ILToneMapSetChroma(&map, static_cast<float>(v[3]), false);
        ILToneMapSetHue(&map, static_cast<float>(v[4]), false);
        ILToneMapSetWhitePoint(&map, static_cast<int32_t>(v[5]), false);
        ILToneMapUpdate(&map);
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            return ILToneMapApplyInPlace(&map, hh, image);
        });
    }
    if (command == "quantize" && n >= 1 && n <= 3 && ParseInt(a[0], &i[0])) {
        i[1] = 6;
        i[2] = 1;
        if ((n >= 2 && !ParseInt(a[1], &i[1])) ||
            (n == 3 && std::strcmp(a[2], "dither") != 0 && std::strcmp(a[2], "plain") != 0))
            return Usage(), kExitUsage;
        if (n == 3) i[2] = std::strcmp(a[2], "dither") == 0;
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            return ILQuantizeImage(hh, image, nullptr, i[0], i[1], i[2]);
        });
    }
    if (command == "mode" && (n == 1 || n == 2) && (n == 1 || ParseInt(a[1], &i[0]))) {
        using Mode = ILResult (*)(ILHandle*, ILImage*, int32_t);
        static const char* const names[] = {"grey8", "grey16", "greyhalf", "greyfloat",
                                            "rgb8",  "rgb16",  "rgbhalf",  "rgbfloat",
                                            "grey4", "grey2",  "mono"};
        static const Mode modes[] = {
            ILConvertToGray8,
            [](ILHandle* hh, ILImage* im, int32_t) { return ILConvertToGray16(hh, im); },
            [](ILHandle* hh, ILImage* im, int32_t) { return ILConvertToGrayHalf(hh, im); },
            [](ILHandle* hh, ILImage* im, int32_t) { return ILConvertToGrayFloat(hh, im); },
            ILConvertToRgb8,
            [](ILHandle* hh, ILImage* im, int32_t) { return ILConvertToRgb16(hh, im); },
            [](ILHandle* hh, ILImage* im, int32_t) { return ILConvertToRgbHalf(hh, im); },
            [](ILHandle* hh, ILImage* im, int32_t) { return ILConvertToRgbFloat(hh, im); },
            ILConvertToGray4,
            ILConvertToGray2,
            ILConvertToMonochrome};
        const int mode = Find(a[0], names, 11);
        if (mode < 0) return Usage(), kExitUsage;
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            return modes[mode](hh, image, i[0]);
        });
    }
    if (command == "text" && n >= 1) {
        WriteTextParams p;
        std::u16string text;
        if (!ParseTextParams(a[0], n - 1, a + 1, &p, &text)) return Usage(), kExitUsage;
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            return ILWriteText(hh, image, &p, text.c_str());
        });
    }
    if (command == "alpha" && n >= 1) {
        return RunOperation(h, in, out, [&](ILHandle* hh, ILImage* image) -> ILResult {
            ILResult r = IL_OK;
            for (int k = 0; k < n && r == IL_OK;) {
                const int used = AlphaStep(hh, image, n - k, a + k, &r);
                if (used < 0) return IL_BAD_ARGUMENT;
                k += used;
            }
            return r;
        });
    }
    if (command == "thumbnail" && n == 1 && ParseInt(a[0], &i[0]) && i[0] > 0) {
        if (!HasCodec(in, false) || !HasCodec(out, true)) return kExitFailed;
        ILSetThumbnailSize(h, static_cast<uint32_t>(i[0]));
        ILImageOwner image;
        const auto start = std::chrono::steady_clock::now();
        const ILResult r = ILLoadThumbnail(h, Wide(in).c_str(), &image.image);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::fprintf(stderr, "op %.4f\n", took.count());
        if (r != IL_OK) return kExitFailed;
        return ILSaveImage(h, Wide(out).c_str(), &image.image, nullptr) == IL_OK ? 0 : kExitFailed;
    }
    Usage();
    return kExitUsage;
}

int Run(int argc, char** argv) {
    if (argc < 3) {
        Usage();
        return kExitUsage;
    }
    const std::string command = argv[1];
    Handle handle;
    if (!handle.h) {
        std::fputs("iltool: cannot create the library handle\n", stderr);
        return kExitFailed;
    }
    if (command == "info" && argc == 3) return Info(handle.h, argv[2]);
    if (command == "topam" && argc >= 4)
        return ToPam(handle.h, argv[2], argv[3], argc - 4, argv + 4);
    if (command == "convert" && argc >= 4)
        return Convert(handle.h, argv[2], argv[3], argc - 4, argv + 4);
    if (argc >= 4) return Operate(handle.h, command, argc - 2, argv + 2);
    Usage();
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    int status;
    try {
        status = Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("iltool: out of memory\n", stderr);
        status = kExitFailed;
    }
    return status;
}
