// PNG reading (ISO/IEC 15948, Portable Network Graphics, second edition)
// through libpng 1.6 and its stdio input.
// Read: every colour type at every bit depth, interlaced or not; iCCP, sRGB,
// gAMA and cHRM as a colour profile or a gamma correction to 2.2; PLTE with
// its tRNS alphas as a 16-bit palette; bKGD as the image background; pHYs in
// metres; tEXt, zTXt and iTXt texts before the image data, with XMP.
// Not handled: the tRNS key colour of grey and RGB files, sBIT, eXIf, texts
// after the image data, animation chunks.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imglib/convert/cms.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/convert/profile_owner.h"
#include "imglib/io/file_owner.h"
#include "imglib/io/file_scanner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/png.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/io/stream.h"

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Deflate spends at least two bits on a 258-byte match, so the image data
// inflates to at most 1032 times its size.
constexpr uint64_t kMaxDeflateRatio = 1032;

// libpng allocates (and clears) what a chunk's length field claims before
// it reads the data, so a file of a few hundred bytes can cost gigabytes.
// No allocation for a sound file exceeds the file itself, libpng's 8 MB
// limit on decompressed chunks or a row of 1,000,000 pixels of 8 bytes
// (libpng's width limit), with some room: larger requests fail, and libpng
// reports them.
constexpr uint64_t kAllocationFloor = uint64_t{9} << 20;

struct AllocationLimit {
    uint64_t bytes;
};

png_voidp LimitedMalloc(png_structp png, png_alloc_size_t size) {
    const auto* limit = static_cast<const AllocationLimit*>(png_get_mem_ptr(png));
    return size <= limit->bytes ? std::malloc(size) : nullptr;
}

void LimitedFree(png_structp, png_voidp p) {
    std::free(p);
}

// libpng's read and info structures, destroyed together.
struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;

    Reader() = default;
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// The IHDR fields.
struct Header {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;  // 1, 2, 4, 8 or 16 per sample
    int colorType; // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGB + alpha
    int interlace; // 0 none, 1 Adam7
};

// How a colour type is described and delivered.
struct Layout {
    uint32_t colorType; // of the info record
    uint32_t channels;
    uint8_t alphaKind;
    ILPixelType source; // the rows' type; 0 for an unknown colour type
};

bool ReadHeader(Reader* r, FILE* file, Header* header) {
    if (setjmp(png_jmpbuf(r->png))) return false;
    png_init_io(r->png, file);
    png_set_sig_bytes(r->png, sizeof kSignature);
    png_read_info(r->png, r->info);
    png_get_IHDR(r->png, r->info, &header->width, &header->height, &header->bitDepth,
                 &header->colorType, &header->interlace, nullptr, nullptr);
    return true;
}

bool HasTransparency(png_structp png, png_infop info) {
    png_bytep alphas = nullptr;
    int count = 0;
    return png_get_tRNS(png, info, &alphas, &count, nullptr) && count > 0;
}

ILPixelType SampleKind(int bitDepth) {
    switch (bitDepth) {
        case 1:
            return IL_KIND_1;
        case 2:
            return IL_KIND_2;
        case 4:
            return IL_KIND_4;
        case 8:
            return IL_KIND_8;
        case 16:
            return IL_KIND_16;
        default:
            return 0;
    }
}

Layout ChooseLayout(const Header& header, bool transparent) {
    const ILPixelType kind = SampleKind(header.bitDepth);
    switch (header.colorType) {
        case PNG_COLOR_TYPE_GRAY:
            return {IL_CT_GRAY, 1, 0, IL_MODEL_GRAY | kind};
        case PNG_COLOR_TYPE_RGB:
            return {IL_CT_RGB, 3, 0, IL_MODEL_RGB | kind};
        case PNG_COLOR_TYPE_PALETTE:
            return {IL_CT_INDEXED, 1, transparent ? IL_ALPHA_STRAIGHT : IL_ALPHA_NONE,
                    IL_MODEL_INDEXED | kind | (transparent ? IL_EXTRA_ALPHA : 0u)};
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return {IL_CT_GRAY, 2, IL_ALPHA_STRAIGHT, IL_MODEL_GRAY | kind | IL_EXTRA_ALPHA};
        case PNG_COLOR_TYPE_RGB_ALPHA:
            return {IL_CT_RGB, 4, IL_ALPHA_STRAIGHT, IL_MODEL_RGB | kind | IL_EXTRA_ALPHA};
        default:
            return {IL_CT_NONE, 0, 0, 0};
    }
}

// A profile replaces libpng's gamma handling; without one libpng brings a
// file with a gAMA chunk to gamma 2.2 and leaves other files as they are.
// libpng corrects 2- and 4-bit grey within their own few levels, which
// folds neighbouring levels together, so such rows are widened to 8 bits
// first. The transforms go in before the first row is read.
bool SetTransforms(png_structp png, bool managed, bool widenGrey, int bitDepth) {
    if (setjmp(png_jmpbuf(png))) return false;
    if (managed)
        png_set_gamma(png, 1.0, 1.0);
    else
        png_set_alpha_mode(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
    if (widenGrey) png_set_expand_gray_1_2_4_to_8(png);
    png_set_bgr(png);
    if (bitDepth == 16) png_set_swap(png);
    return true;
}

uint32_t PixelsPerInch(png_uint_32 pixelsPerMetre) {
    return static_cast<uint32_t>(std::floor(pixelsPerMetre / 39.37007874016 + 0.4999));
}

void FillInfo(ILInfo* info, const Reader& r, const Header& header, const Layout& layout,
              uint8_t gammaKind, double gamma, cmsHPROFILE profile) {
    info->formatId = IL_FORMAT_PNG;
    info->width = header.width;
    info->height = header.height;
    info->compression = header.interlace ? IL_COMP_DEFLATE_INTERLACED : IL_COMP_DEFLATE;
    info->gamma = gamma;
    info->gammaKind = gammaKind;
    info->pages = 1;
    png_uint_32 x = 0, y = 0;
    int unit = 0;
    if (png_get_pHYs(r.png, r.info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER) {
        info->ppiX = PixelsPerInch(x);
        info->ppiY = PixelsPerInch(y);
    }
    info->colorType = layout.colorType;
    info->channels = layout.channels;
    info->alphaKind = layout.alphaKind;
    info->bitsPerPixel = layout.channels * static_cast<uint32_t>(header.bitDepth);
    if (profile && (gammaKind == IL_GAMMA_ICC || gammaKind == IL_GAMMA_ICC_SRGB))
        ILReadIccInfo(&info->icc, profile);
}

// The texts libpng met before the image data, in file order; the XMP packet
// travels in an iTXt chunk of its own keyword.
void ReadTexts(ILHandle* h, const Reader& r, ILInfo* info) {
    png_textp texts = nullptr;
    const int count = png_get_text(r.png, r.info, &texts, nullptr);
    for (int i = 0; i < count; ++i) {
        const png_text& t = texts[i];
        if (!t.text) continue;
        const bool international = t.compression == PNG_ITXT_COMPRESSION_NONE ||
                                   t.compression == PNG_ITXT_COMPRESSION_zTXt;
        const size_t length = international ? t.itxt_length : t.text_length;
        if (international && std::strncmp(t.key, "XML:com.adobe.xmp", 17) == 0)
            ILParseXMP(h, &info->xmp, length, t.text);
        else
            info->texts.Append(t.key, length, t.text);
    }
}

// Bytes of image data: the lengths of the IDAT chunks, walked from the
// signature to IEND. Other chunks (texts, unknown ones) can pad a file to any
// size and carry no pixels.
uint64_t IdatBytes(FILE* file) {
    constexpr uint32_t kIdat = 0x49444154, kIend = 0x49454E44;
    ILFileScanner in(file, sizeof kSignature);
    uint64_t bytes = 0;
    uint32_t length = 0, type = 0;
    while (in.GetBe32(&length) && in.GetBe32(&type) && type != kIend) {
        if (type == kIdat) bytes += length;
        if (!in.Skip(uint64_t{length} + 4)) break; // data and CRC
    }
    return bytes;
}

// A decoded image cannot hold more bytes than its compressed data inflates
// to; larger claims come from damaged or hostile headers and are refused
// before anything is allocated. libpng has already held each side to its
// limit of 1,000,000 pixels.
ILResult CheckGeometry(ILHandle* h, const Header& header, uint32_t channels, FILE* file,
                       uint64_t fileSize) {
    const uint64_t bitsPerPixel = uint64_t{channels} * static_cast<uint32_t>(header.bitDepth);
    // Each row starts with its filter byte.
    const uint64_t rowBytes = (bitsPerPixel * header.width + 7) / 8 + 1;
    uint64_t bytes = 0;
    const uint64_t idat = IdatBytes(file);
    if (!__builtin_mul_overflow(rowBytes, uint64_t{header.height}, &bytes) &&
        bytes / kMaxDeflateRatio <= idat)
        return IL_OK;
    ILErrorF(h,
             "Image of %u x %u pixels cannot come from a file of %" PRIu64 " bytes with %" PRIu64
             " bytes of image data",
             header.width, header.height, fileSize, idat);
    return IL_INVALID_HEADER;
}

// trunc(65535 x (v / 65535)^e); an exponent of exactly 1 keeps v, which the
// power would round down for some values.
uint16_t Corrected(uint32_t v, double e) {
    if (e == 1.0) return static_cast<uint16_t>(v);
    return static_cast<uint16_t>(65535.0 * std::pow(v / 65535.0, e));
}

// The bKGD colour on a 16-bit scale, corrected like the pixels, as the
// image background.
void ApplyBackground(const Reader& r, const Header& header, double e, ILImage* image) {
    png_color_16p colour = nullptr;
    if (!png_get_bKGD(r.png, r.info, &colour) || !colour) return;
    uint32_t red = colour->red, green = colour->green, blue = colour->blue;
    uint32_t depth = static_cast<uint32_t>(header.bitDepth);
    if (header.colorType == PNG_COLOR_TYPE_PALETTE)
        depth = 8; // libpng supplies the palette colour
    else if (!(header.colorType & PNG_COLOR_MASK_COLOR))
        red = green = blue = colour->gray;
    const uint32_t maximum = (1u << depth) - 1;
    auto widen = [&](uint32_t v) {
        return Corrected(static_cast<uint32_t>(std::min<uint64_t>(v, maximum) * 65535 / maximum),
                         e);
    };
    image->SetBackgroundBGR16(widen(blue), widen(green), widen(red));
}

// Brings a palette read in the profile's colours to sRGB, in place; a
// transform that cannot be made leaves the palette as read.
void ConvertPalette(ILPalette* palette, cmsHPROFILE profile) {
    if (!palette || !palette->entries || !ILUseColorManagement()) return;
    cmsHTRANSFORM transform = cmsCreateTransform(profile, TYPE_BGRA_16, ILProfileSRGB, TYPE_BGRA_16,
                                                 INTENT_PERCEPTUAL, 0);
    if (!transform) return;
    cmsDoTransform(transform, palette->entries, palette->entries, palette->count);
    cmsDeleteTransform(transform);
}

// Rows from the top, straight into the image when the converter would only
// copy (row is null), else through the row buffer and the converter.
// *stored counts the rows that reached the image.
bool DecodeRows(png_structp png, ILImage* image, ILConverter* converter, uint8_t* row,
                uint32_t* stored) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (uint32_t y = 0; y < image->height; ++y) {
        uint8_t* target = image->data + int64_t{y} * image->stride;
        png_read_row(png, row ? row : target, nullptr);
        if (row) converter->rowKernel(converter, row, target);
        *stored = y + 1;
    }
    return true;
}

// All passes of an interlaced file into the rows; each pass fills in the
// pixels it carries, so the rows start out black.
bool DecodeInterlaced(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

ILResult ReadInterlaced(ILHandle* h, png_structp png, ILImage* image, ILConverter* converter,
                        ILPixelType source) {
    const bool copy = ILConverterIsPlainCopy(converter);
    ILImageOwner temporary;
    ILImage* into = image;
    if (!copy) {
        if (ILCreateImage(&temporary.image, image->width, image->height, source, nullptr) != IL_OK)
            return ILReportOutOfMemory(h, ILImageBufferSize(image->width, image->height, source));
        into = &temporary.image;
    }
    ILBuffer<png_bytep> rows(
        static_cast<png_bytepp>(ILAlloc(h, uint64_t{image->height} * sizeof(png_bytep))));
    if (!rows) return IL_OUT_OF_MEMORY;
    for (uint32_t y = 0; y < image->height; ++y)
        rows.get()[y] = into->data + int64_t{y} * into->stride;
    std::memset(into->data, 0, static_cast<size_t>(into->stride) * into->height);

    const ILResult result = DecodeInterlaced(png, rows.get()) ? IL_OK : IL_PARTIAL;
    // A broken file still shows the passes that arrived.
    if (!copy) {
        for (uint32_t y = 0; y < image->height; ++y)
            converter->rowKernel(converter, rows.get()[y],
                                 image->data + int64_t{y} * image->stride);
    }
    return result;
}

ILResult ReadProgressive(ILHandle* h, png_structp png, ILImage* image, ILConverter* converter,
                         uint64_t rowBytes) {
    ILBuffer<uint8_t> row;
    if (!ILConverterIsPlainCopy(converter)) {
        row.reset(static_cast<uint8_t*>(ILAlloc(h, rowBytes)));
        if (!row) return IL_OUT_OF_MEMORY;
    }
    uint32_t stored = 0;
    if (DecodeRows(png, image, converter, row.get(), &stored)) return IL_OK;
    if (stored == 0) return IL_FAILED; // nothing usable arrived
    // Rows that never arrived are black, not stale memory.
    std::memset(image->data + int64_t{stored} * image->stride, 0,
                static_cast<size_t>(image->stride) * (image->height - stored));
    return IL_PARTIAL;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFilePtr file;
    uint64_t fileSize = 0;
    const ILResult opening = ILOpenReadOwned(h, path, &file, info, &fileSize);
    if (opening != IL_OK) return opening;

    uint8_t signature[sizeof kSignature];
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
        std::memcmp(signature, kSignature, sizeof signature) != 0)
        return ILReportInvalidHeader(h);

    AllocationLimit limit{std::max(fileSize, kAllocationFloor)};
    Reader r;
    r.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr, &limit,
                                     LimitedMalloc, LimitedFree);
    if (r.png) r.info = png_create_info_struct(r.png);
    if (!r.png || !r.info) return ILReportInvalidHeader(h);
    if (image) ILClearImage(image);
    png_set_error_fn(r.png, h, ILPngErrorHandler, ILPngWarningHandler);

    Header header{};
    if (!ReadHeader(&r, file.get(), &header)) return IL_FAILED;

    const bool grey = !(header.colorType & PNG_COLOR_MASK_COLOR);
    uint8_t gammaKind = IL_GAMMA_ASSUMED;
    double gamma = 2.2;
    ILProfilePtr profile(ILPngReadColorInfo(r.png, r.info, &gammaKind, &gamma, grey));
    // Chromaticities equal to sRGB's still come with the file's own gAMA
    // curve, which libpng corrects as for a file without cHRM.
    const bool managed = profile && gammaKind != IL_GAMMA_CHROMATICITIES_SRGB;
    const bool widenGrey = header.colorType == PNG_COLOR_TYPE_GRAY && !managed &&
                           (header.bitDepth == 2 || header.bitDepth == 4) &&
                           png_get_valid(r.png, r.info, PNG_INFO_gAMA);
    if (!SetTransforms(r.png, managed, widenGrey, header.bitDepth)) return IL_FAILED;
    Header decoded = header;
    if (widenGrey) decoded.bitDepth = 8;

    const Layout layout = ChooseLayout(decoded, HasTransparency(r.png, r.info));
    if (info) {
        FillInfo(info, r, header, layout, gammaKind, gamma, profile.get());
        if (h->readMetadata) ReadTexts(h, r, info);
    }
    if (!image) return IL_OK;

    if (!layout.source) {
        ILError(h, "Unknown color type");
        return IL_FAILED;
    }
    const ILResult geometry = CheckGeometry(h, header, layout.channels, file.get(), fileSize);
    if (geometry != IL_OK) return geometry;

    // The pixels of a file with its own profile reach sRGB through it, not
    // through a gamma correction.
    const bool converting =
        profile && (gammaKind == IL_GAMMA_CHROMATICITIES || gammaKind == IL_GAMMA_ICC);
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    const bool indexed = header.colorType == PNG_COLOR_TYPE_PALETTE;
    if (indexed) {
        ILPalette* palette = ILConverterNewPalette(c, 1u << header.bitDepth);
        if (!palette) return ILReportOutOfMemory(h, sizeof(ILPaletteEntry) << header.bitDepth);
        if (!ILPngBuildPalette(r.png, r.info, palette, palette->count, converting ? 2.2 : gamma)) {
            ILError(h, "Missing color palette.");
            return IL_INVALID_COMPRESSION;
        }
    }

    ILConverterSetAlphaMode(c, h->alphaMode);
    ILConverterSetBackground(c, h->background);
    const ILPixelType target = ILGetLoadPixelType(h, layout.source, false);
    if (!target) return ILReportUnsupportedDataFormat(h);
    // An interlaced file may first be read whole in its own pixel type.
    uint64_t bytes = ILImageBufferSize(header.width, header.height, target);
    if (header.interlace != PNG_INTERLACE_NONE &&
        __builtin_add_overflow(bytes, ILImageBufferSize(header.width, header.height, layout.source),
                               &bytes))
        bytes = UINT64_MAX;
    const ILResult budget = ILCheckImageBudget(h, bytes);
    if (budget != IL_OK) return budget;
    if (ILReallocImage(image, header.width, header.height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(header.width, header.height, target));
    if (indexed) ILConverterGivePalette(c, image);

    if (converting) {
        if (indexed)
            ConvertPalette(image->palette ? image->palette : c->palette, profile.get());
        else
            ILConverterSetProfile(c, profile.get(), ILPixelTypeToLcmsFormat(layout.source));
    }
    ILConverterSetModes(c, layout.source, target, header.width);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);

    // A profile of the file's own carries its curve; the gamma field then
    // says nothing about the background's encoding.
    ApplyBackground(r, header, gammaKind == IL_GAMMA_ICC ? 1.0 : gamma / 2.2, image);

    if (header.interlace != PNG_INTERLACE_NONE)
        return ReadInterlaced(h, r.png, image, c, layout.source);
    const uint64_t rowBytes =
        (uint64_t{ILChannelCount(layout.source)} * header.width * decoded.bitDepth + 7) / 8;
    return ReadProgressive(h, r.png, image, c, rowBytes);
}

} // namespace

void ILPngErrorHandler(png_structp png, png_const_charp text) {
    ILError(static_cast<ILHandle*>(png_get_error_ptr(png)), text);
    png_longjmp(png, 1);
}

void ILPngWarningHandler(png_structp png, png_const_charp text) {
    ILWarning(static_cast<ILHandle*>(png_get_error_ptr(png)), text);
}

cmsHPROFILE ILPngReadColorInfo(png_structp png, png_infop info, uint8_t* gammaKind, double* gamma,
                               bool grey) {
    *gammaKind = IL_GAMMA_ASSUMED;
    *gamma = 2.2;

    png_charp name = nullptr;
    int compression = 0;
    png_bytep data = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &data, &length) && data && length >= 4) {
        // The profile's own size field; a claim beyond the chunk is not read.
        const uint32_t size =
            uint32_t{data[0]} << 24 | uint32_t{data[1]} << 16 | uint32_t{data[2]} << 8 | data[3];
        cmsHPROFILE profile = size <= length ? cmsOpenProfileFromMem(data, size) : nullptr;
        if (profile) {
            if (ILProfileIsSRGB(profile)) {
                *gamma = 2.2;
                *gammaKind = IL_GAMMA_ICC_SRGB;
            } else {
                const double g = ILIccGamma(profile);
                if (g >= 0.01 && g <= 10) {
                    *gamma = g;
                    *gammaKind = IL_GAMMA_ICC;
                }
            }
            return profile;
        }
    }

    int intent = 0;
    if (png_get_sRGB(png, info, &intent)) {
        *gammaKind = IL_GAMMA_SRGB;
        return grey ? ILCreateSGrayProfile() : ILCreateSRgbProfile();
    }

    png_fixed_point fileGamma = 0;
    if (png_get_gAMA_fixed(png, info, &fileGamma) && fileGamma >= 1000 && fileGamma <= 6700000) {
        *gamma = 1.0 / (fileGamma * 0.00001);
        *gammaKind = IL_GAMMA_STORED;
    }

    png_fixed_point wx, wy, rx, ry, gx, gy, bx, by;
    if (grey || !png_get_cHRM_fixed(png, info, &wx, &wy, &rx, &ry, &gx, &gy, &bx, &by))
        return nullptr;
    if (!(wx > 1000 && wy > 1000 && gx > 0 && gy > 0 && rx != bx)) {
        ILWarning(static_cast<ILHandle*>(png_get_error_ptr(png)),
                  "Invalid chromaticity values - chunk ignored");
        return nullptr;
    }
    const cmsCIExyY white{wx * 0.00001, wy * 0.00001, 1.0};
    const cmsCIExyYTRIPLE primaries{{rx * 0.00001, ry * 0.00001, 1.0},
                                    {gx * 0.00001, gy * 0.00001, 1.0},
                                    {bx * 0.00001, by * 0.00001, 1.0}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, *gamma);
    if (!curve) return nullptr;
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    if (!profile) return nullptr;
    *gammaKind = ILProfileIsSRGB(profile) ? IL_GAMMA_CHROMATICITIES_SRGB : IL_GAMMA_CHROMATICITIES;
    return profile;
}

bool ILPngBuildPalette(png_structp png, png_infop info, ILPalette* palette, uint32_t n,
                       double gamma) {
    png_colorp colours = nullptr;
    int count = 0;
    if (!png_get_PLTE(png, info, &colours, &count) || count <= 0 || !palette->entries) return false;
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_PALETTE ||
        !png_get_tRNS(png, info, &alphas, &alphaCount, nullptr))
        alphaCount = 0;
    const double e = gamma / 2.2;
    const uint32_t filled = std::min({n, static_cast<uint32_t>(count), palette->count});
    for (uint32_t i = 0; i < filled; ++i) {
        const png_color& c = colours[i];
        const uint16_t alpha =
            i < static_cast<uint32_t>(alphaCount) ? static_cast<uint16_t>(alphas[i] * 257) : 65535;
        palette->SetEntry16(i, Corrected(c.blue * 257u, e), Corrected(c.green * 257u, e),
                            Corrected(c.red * 257u, e), alpha);
    }
    return true;
}

ILResult ILLoadPNG(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kPngModule, image, [&] { return Load(h, path, image, info); });
}
