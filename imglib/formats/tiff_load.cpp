// TIFF reading (TIFF 6.0 with Adobe's Technical Notes 1 to 3) through
// libtiff 4.5, one directory (page) per load.
// Read: bilevel, grey (2 to 64 bits, integer and floating point, with extra
// samples), palette, RGB (4 to 64 bits), CMYK and other separations (8 and
// 16 bits), YCbCr (8 bits, subsampled or JPEG-compressed), CIE L*a*b*
// (through a Lab profile) and SGI LogL / LogLuv, turned upright by the
// Orientation tag; strips or tiles, contiguous or separate planes, every
// compression libtiff decodes, the predictor for uncompressed data too; the
// ICC profile or the chromaticities as a colour profile, HalftoneHints as a
// grey table, resolution, texts, XMP, IPTC and EXIF entries.
// Not handled: integer samples of 6, 10, 14 or 24 bits, YCbCr with extra
// samples or subsampling 4, palettes deeper than 8 bits or with extra
// samples, three-ink separations without a profile, sub-IFDs.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <memory>

#include <libexif/exif-data.h>

#include "imglib/convert/converter_owner.h"
#include "imglib/convert/profile_owner.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/tiff.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/geometry.h"

namespace {

using TiffPtr = std::unique_ptr<TIFF, ILTiffCloser>;

// libtiff's single allocations for a file: no buffer it needs for a sound
// file exceeds the file itself or this floor.
constexpr uint64_t kAllocationFloor = uint64_t{256} << 20;

// The tags of one directory that decide how its pixels are delivered.
struct Directory {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t bits = 1;
    uint16_t samples = 1;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t firstExtra = EXTRASAMPLE_UNSPECIFIED;
    bool hasExtraArray = false;
    int32_t colorChannels = 0;
    int32_t extraSamples = 0;
    uint16_t planes = 1;
    bool floating() const { return sampleFormat == SAMPLEFORMAT_IEEEFP; }
    // Extra samples are alpha unless the file declares the first one as
    // unspecified data, which libtiff's own reader leaves out too.
    bool HasAlpha() const {
        return extraSamples > 0 && !(hasExtraArray && firstExtra == EXTRASAMPLE_UNSPECIFIED);
    }
};

// Compression tag -> the info record's code.
struct CompressionCode {
    uint16_t tag;
    int32_t code;
};
constexpr CompressionCode kCompressionCodes[] = {
    {COMPRESSION_NONE, IL_COMP_NONE},
    {COMPRESSION_SGILOG24, IL_COMP_NONE},
    {COMPRESSION_CCITTRLE, IL_COMP_CCITT_RLE},
    {COMPRESSION_CCITTFAX3, IL_COMP_CCITT_G3},
    {COMPRESSION_CCITTFAX4, IL_COMP_CCITT_G4},
    {COMPRESSION_LZW, IL_COMP_LZW},
    {COMPRESSION_OJPEG, IL_COMP_DCT},
    {COMPRESSION_JPEG, IL_COMP_DCT},
    {COMPRESSION_ADOBE_DEFLATE, IL_COMP_DEFLATE},
    {COMPRESSION_DEFLATE, IL_COMP_DEFLATE},
    {COMPRESSION_NEXT, IL_COMP_RLE},
    {COMPRESSION_CCITTRLEW, IL_COMP_RLE},
    {COMPRESSION_PACKBITS, IL_COMP_RLE},
    {COMPRESSION_SGILOG, IL_COMP_RLE},
    {COMPRESSION_THUNDERSCAN, IL_COMP_THUNDERSCAN},
    {COMPRESSION_IT8CTPAD, IL_COMP_IT8_CT},
    {COMPRESSION_IT8LW, IL_COMP_IT8_RLE},
    {COMPRESSION_IT8MP, IL_COMP_IT8_MONOCHROME},
    {COMPRESSION_IT8BL, IL_COMP_IT8_BILEVEL},
    {COMPRESSION_PIXARFILM, IL_COMP_PIXAR_LZW},
    {COMPRESSION_PIXARLOG, IL_COMP_PIXAR_ZIP},
    {COMPRESSION_DCS, IL_COMP_KODAK_DCS},
    {COMPRESSION_JBIG, IL_COMP_JBIG},
    {COMPRESSION_JP2000, IL_COMP_WAVELET},
};

uint32_t CompressionCodeOf(TIFF* tif, uint16_t compression) {
    for (const CompressionCode& c : kCompressionCodes) {
        if (c.tag != compression) continue;
        if (c.code == IL_COMP_LZW || c.code == IL_COMP_DEFLATE) {
            // The predictor tag as libtiff keeps it for these codecs.
            uint16_t predictor = PREDICTOR_NONE;
            TIFFGetField(tif, TIFFTAG_PREDICTOR, &predictor);
            return static_cast<uint32_t>(c.code) + (predictor > 1 ? 1 : 0);
        }
        return static_cast<uint32_t>(c.code);
    }
    return static_cast<uint32_t>(-1);
}

// How many times its encoded size a strip can grow when decoded, by codec:
// a claim beyond it cannot be backed by the file. Codecs without a small
// bound (fax, JBIG, ZSTD and others) get a wide one.
uint64_t MaxExpansion(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE:
            return 4; // a truncated file still shows what it has
        case COMPRESSION_PACKBITS:
            return 130;
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
            return 1032;
        case COMPRESSION_JPEG:
        case COMPRESSION_OJPEG:
            return 1024;
        case COMPRESSION_LZW:
            return 4096;
        default:
            return 65536;
    }
}

// Every size the directory claims, in 64 bits, against what the file can
// hold, before anything is allocated for it.
ILResult CheckGeometry(ILHandle* h, const Directory& d, uint64_t fileSize) {
    uint64_t rowBits = 0, bytes = 0;
    const bool fits =
        !__builtin_mul_overflow(uint64_t{d.width}, uint64_t{d.bits} * d.samples, &rowBits) &&
        !__builtin_mul_overflow((rowBits + 7) / 8, uint64_t{d.height}, &bytes);
    uint64_t limit = 0;
    if (__builtin_mul_overflow(fileSize, MaxExpansion(d.compression), &limit)) limit = UINT64_MAX;
    if (fits && bytes <= limit) return IL_OK;
    return ILReportUnbackedClaim(h, d.width, d.height, fileSize);
}

ILResult ReadDirectory(ILHandle* h, TIFF* tif, Directory* d) {
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &d->width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &d->height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &d->planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &d->compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &d->bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &d->samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &d->orientation);
    uint16_t extraCount = 0;
    const uint16_t* extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extra && extraCount) {
        d->hasExtraArray = true;
        d->firstExtra = extra[0];
    } else {
        extraCount = 0;
    }
    TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &d->sampleFormat);
    const bool hasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &d->photometric);

    if (d->width == 0 || d->height == 0) {
        ILError(h, "Missing image dimension tags");
        return IL_FAILED;
    }
    // A single sample declared extra is the picture itself.
    d->extraSamples = d->samples == 1 && extraCount == 1 ? 0 : extraCount;
    d->colorChannels = d->samples - d->extraSamples;
    if (d->colorChannels <= 0) {
        ILError(h, "No color channels found");
        return IL_FAILED;
    }
    if (!hasPhotometric) {
        if (d->colorChannels == 3) {
            d->photometric = PHOTOMETRIC_RGB;
            ILWarning(h, "Missing photometric tag with 3 color channels, RGB assumed");
        } else if (d->colorChannels == 1) {
            d->photometric = PHOTOMETRIC_MINISBLACK;
        } else {
            ILErrorF(h, "Missing photometric tag with %d color channels", d->colorChannels);
            return IL_FAILED;
        }
    }
    if (d->photometric == PHOTOMETRIC_RGB && d->samples < 3) {
        ILErrorF(h, "RGB image with %u sample(s) per pixel", d->samples);
        return IL_FAILED;
    }
    ILTiffCheckExtraSamples(h, d->photometric, d->samples, &d->colorChannels, &d->extraSamples);

    if (d->planar == PLANARCONFIG_CONTIG) {
        d->planes = 1;
    } else if (d->planar == PLANARCONFIG_SEPARATE) {
        d->planes = d->samples;
    } else {
        ILErrorF(h, "Unsupported planar configuration (%d)", d->planar);
        return IL_FAILED;
    }
    switch (d->bits) {
        case 1:
        case 2:
        case 4:
        case 8:
        case 12:
        case 16:
        case 24:
        case 32:
        case 64:
            break;
        default:
            ILErrorF(h, "Unsupported BPS (%d)", d->bits);
            return IL_FAILED;
    }
    if (d->planes > 1 && (d->bits < 4 || d->bits == 12)) {
        ILErrorF(h, "Unsupported planar configuration with BPS = %d", d->bits);
        return IL_FAILED;
    }
    return IL_OK;
}

void ColorTypeAndGamma(const Directory& d, cmsHPROFILE profile, ILInfo* info) {
    const double profileGamma = profile ? ILIccGamma(profile) : 0.0;
    switch (d.photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MASK:
        case PHOTOMETRIC_RGB:
            if (d.photometric != PHOTOMETRIC_RGB && d.bits == 1) {
                info->colorType = IL_CT_MONOCHROME;
                info->gamma = 0.0;
                break;
            }
            info->colorType = d.photometric == PHOTOMETRIC_RGB ? IL_CT_RGB : IL_CT_GRAY;
            info->gamma = d.floating() ? (profile ? profileGamma : 1.0) : 2.2;
            break;
        case PHOTOMETRIC_PALETTE:
            info->colorType = IL_CT_INDEXED;
            info->gamma = profile ? profileGamma : 2.2;
            break;
        case PHOTOMETRIC_SEPARATED:
            info->colorType = IL_CT_CMYK;
            info->gamma = 0.0;
            break;
        case PHOTOMETRIC_YCBCR:
            info->colorType = IL_CT_YCC;
            info->gamma = 2.2;
            break;
        case PHOTOMETRIC_CIELAB:
        case PHOTOMETRIC_ICCLAB:
        case PHOTOMETRIC_ITULAB:
            info->colorType = IL_CT_LAB;
            info->gamma = 1.0;
            break;
        case PHOTOMETRIC_LOGL:
        case PHOTOMETRIC_LOGLUV:
            info->colorType = IL_CT_LOGL;
            info->gamma = 1.0;
            break;
        default:
            info->colorType = IL_CT_NONE;
            break;
    }
}

// The six text tags and their keys.
struct TextTag {
    uint32_t tag;
    ILTextKey key;
};
constexpr TextTag kTextTags[] = {
    {TIFFTAG_DOCUMENTNAME, IL_TEXT_TITLE},     {TIFFTAG_ARTIST, IL_TEXT_AUTHOR},
    {TIFFTAG_DATETIME, IL_TEXT_CREATION_TIME}, {TIFFTAG_IMAGEDESCRIPTION, IL_TEXT_DESCRIPTION},
    {TIFFTAG_COPYRIGHT, IL_TEXT_COPYRIGHT},    {TIFFTAG_SOFTWARE, IL_TEXT_SOFTWARE},
};

void ReadMetadata(ILHandle* h, TIFF* tif, ILInfo* info) {
    for (const TextTag& t : kTextTags) {
        const char* text = nullptr;
        if (TIFFGetField(tif, t.tag, &text) && text)
            ILInfoAddText(&info->texts, t.key, std::strlen(text), text);
    }
    uint32_t count = 0;
    const void* data = nullptr;
    if (ILTiffGetArray(tif, TIFFTAG_XMLPACKET, &count, &data))
        ILParseXMP(h, &info->xmp, count, static_cast<const char*>(data));
    const TIFFField* iptc = TIFFFindField(tif, TIFFTAG_RICHTIFFIPTC, TIFF_ANY);
    if (iptc && ILTiffGetArray(tif, TIFFTAG_RICHTIFFIPTC, &count, &data)) {
        const uint64_t bytes = uint64_t{count} * std::max(1, TIFFFieldSetGetSize(iptc));
        ILInfoSetIPTC(h, &info->iptc, bytes, static_cast<const uint8_t*>(data));
    }
}

void FillInfo(TIFF* tif, const Directory& d, cmsHPROFILE profile, uint8_t gammaKind, ILInfo* info) {
    info->formatId = TIFFIsBigEndian(tif) ? IL_FORMAT_TIFF_BE : IL_FORMAT_TIFF_LE;
    info->width = d.width;
    info->height = d.height;
    info->channels = d.samples;
    info->bitsPerPixel = uint32_t{d.bits} * d.samples;
    info->pages = TIFFNumberOfDirectories(tif);
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    float x = 0, y = 0;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x))
        info->ppiX = static_cast<uint32_t>(ILTiffResolutionToPpi(unit, x));
    info->ppiY = TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)
                     ? static_cast<uint32_t>(ILTiffResolutionToPpi(unit, y))
                     : info->ppiX;
    info->compression = CompressionCodeOf(tif, d.compression);
    ColorTypeAndGamma(d, profile, info);
    if (profile && (gammaKind == IL_GAMMA_ICC || gammaKind == IL_GAMMA_ICC_SRGB))
        ILReadIccInfo(&info->icc, profile);
    info->gammaKind = gammaKind;
    if (d.HasAlpha())
        info->alphaKind =
            d.firstExtra == EXTRASAMPLE_ASSOCALPHA ? IL_ALPHA_PREMULTIPLIED : IL_ALPHA_STRAIGHT;
    if (TIFFIsTiled(tif)) {
        uint32_t tileWidth = 0, tileLength = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
        info->tiled = 1;
        if (tileWidth)
            info->tilesX = static_cast<uint32_t>((uint64_t{d.width} + tileWidth - 1) / tileWidth);
        if (tileLength)
            info->tilesY =
                static_cast<uint32_t>((uint64_t{d.height} + tileLength - 1) / tileLength);
    }
}

ILPixelType KindOf(uint16_t bits, bool floating) {
    if (floating) {
        switch (bits) {
            case 16:
                return IL_KIND_HALF;
            case 24:
                return IL_KIND_FLOAT24;
            case 32:
                return IL_KIND_FLOAT;
            case 64:
                return IL_KIND_DOUBLE;
            default:
                return 0;
        }
    }
    switch (bits) {
        case 1:
            return IL_KIND_1;
        case 2:
            return IL_KIND_2;
        case 4:
            return IL_KIND_4;
        case 8:
            return IL_KIND_8;
        case 12:
            return IL_KIND_12;
        case 16:
            return IL_KIND_16;
        case 32:
            return IL_KIND_32;
        default:
            return 0;
    }
}

// How the directory's samples reach the converter.
struct Plan {
    ILPixelType source = 0;
    uint32_t colorSpace = 0; // lcms2 colour space when a profile applies
    uint16_t subsampling = 0;
    bool invertSamples = false; // before conversion
    bool oneBitWhite = true;
    bool greyTable = false;
    bool invertTable = false;
    bool labProfile = false; // a Lab profile stands in for a missing one
    bool xyz = false;        // libtiff delivers CIE XYZ floats (LogLuv)
};

// The source type and what it takes, by photometric interpretation; reports
// and answers 0 for what the library cannot deliver.
ILResult MakePlan(ILHandle* h, TIFF* tif, const Directory& d, Plan* plan) {
    const bool floating = d.floating();
    const ILPixelType kind = KindOf(d.bits, floating);
    const uint32_t alpha = !d.HasAlpha()                            ? 0u
                           : d.firstExtra == EXTRASAMPLE_ASSOCALPHA ? IL_EXTRA_PREMULTIPLIED
                                                                    : IL_EXTRA_ALPHA;
    switch (d.photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
        case PHOTOMETRIC_MASK: {
            const bool white = d.photometric == PHOTOMETRIC_MINISWHITE;
            if (!kind || (d.bits == 64 && !floating) || (d.bits == 24 && !floating)) {
                ILError(h, "Unsupported sample format for grayscale image");
                return IL_FAILED;
            }
            if (d.bits == 1) {
                plan->source = IL_GREY1;
                plan->oneBitWhite = !white;
                return IL_OK;
            }
            plan->source = IL_MODEL_GRAY | kind | alpha;
            if (d.bits == 8 && !floating) {
                plan->greyTable = true;
                plan->invertTable = white;
                plan->colorSpace = PT_GRAY;
            } else {
                // Integer samples of other depths are turned over before
                // conversion; floating-point ones carry no such convention.
                plan->invertSamples = white && !floating && d.extraSamples == 0;
            }
            return IL_OK;
        }
        case PHOTOMETRIC_RGB:
            if (d.bits == 1 || d.bits == 2) {
                ILErrorF(h, "Unsupported BPS (%d) for RGB channels", d.bits);
                return IL_FAILED;
            }
            if (!kind || ((d.bits == 24 || d.bits == 32 || d.bits == 64) && !floating)) {
                ILError(h, "Unsupported sample format for RGB image");
                return IL_FAILED;
            }
            plan->source = IL_MODEL_RGB | kind | alpha | IL_ORDER_RGB;
            plan->colorSpace = PT_RGB;
            return IL_OK;
        case PHOTOMETRIC_PALETTE:
            if (d.bits > 8) {
                ILErrorF(h, "Unsupported BPS (%d) for palette", d.bits);
                return IL_FAILED;
            }
            // Indexes carry no per-pixel alpha in the library's images.
            if (d.samples != 1) {
                ILError(h, "Unsupported alphachannel for palette color format");
                return IL_FAILED;
            }
            plan->source = IL_MODEL_INDEXED | kind;
            return IL_OK;
        case PHOTOMETRIC_SEPARATED:
            if (d.colorChannels < 3 || d.colorChannels > 15) {
                ILErrorF(h, "What a weird separation of %d channels?!?!", d.colorChannels);
                return IL_FAILED;
            }
            if ((d.bits != 8 && d.bits != 16) || floating) {
                ILErrorF(h, "Unsupported BPS (%d) for CMYK channels", d.bits);
                return IL_FAILED;
            }
            // Only four inks map onto the library's CMYK rows without a profile.
            plan->source = IL_MODEL_CMYK | kind | alpha;
            plan->colorSpace = d.colorChannels == 3   ? PT_CMY
                               : d.colorChannels == 4 ? PT_CMYK
                                                      : PT_MCH5 + (d.colorChannels - 5);
            return IL_OK;
        case PHOTOMETRIC_YCBCR: {
            if (d.bits != 8 || floating) {
                ILErrorF(h, "Unsupported BPS (%d) for YCbCr channels", d.bits);
                return IL_FAILED;
            }
            if (d.extraSamples > 0) {
                ILError(h, "Unsupported alphachannel for YCbCr color format");
                return IL_FAILED;
            }
            if (d.compression == COMPRESSION_JPEG) {
                TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
                plan->source = IL_RGB8;
                plan->colorSpace = PT_RGB;
                return IL_OK;
            }
            // Old-style JPEG delivers the stream's own sub-sampling, which
            // libtiff's codec answers for whatever the tag says.
            uint16_t horizontal = 2, vertical = 2;
            if (d.compression != COMPRESSION_OJPEG ||
                !TIFFGetField(tif, TIFFTAG_YCBCRSUBSAMPLING, &horizontal, &vertical))
                TIFFGetFieldDefaulted(tif, TIFFTAG_YCBCRSUBSAMPLING, &horizontal, &vertical);
            plan->subsampling = static_cast<uint16_t>(horizontal * 16 + vertical);
            if (plan->subsampling != 0x11 && plan->subsampling != 0x12 &&
                plan->subsampling != 0x21 && plan->subsampling != 0x22)
                return ILReportUnsupportedDataFormat(h);
            if (d.planes > 1 && plan->subsampling != 0x11) return ILReportUnsupportedDataFormat(h);
            if (plan->subsampling == 0x11) plan->subsampling = 0; // already triplets
            plan->source = IL_YCBCR8;
            plan->colorSpace = PT_YCbCr;
            return IL_OK;
        }
        case PHOTOMETRIC_CIELAB:
        case PHOTOMETRIC_ICCLAB:
        case PHOTOMETRIC_ITULAB:
            if ((d.bits != 8 && d.bits != 16) || floating || d.colorChannels != 3) {
                ILErrorF(h, "Unsupported BPS (%d) for L*a*b* channels", d.bits);
                return IL_FAILED;
            }
            plan->source = IL_MODEL_LAB | kind | alpha;
            plan->colorSpace = d.photometric == PHOTOMETRIC_ICCLAB ? PT_Lab : PT_LabV2;
            plan->labProfile = true;
            return IL_OK;
        case PHOTOMETRIC_LOGL:
        case PHOTOMETRIC_LOGLUV: {
            const bool luv = d.photometric == PHOTOMETRIC_LOGLUV;
            const bool sgilog = d.compression == COMPRESSION_SGILOG ||
                                (luv && d.compression == COMPRESSION_SGILOG24);
            if (!sgilog) {
                ILError(h, luv ? "Unsupported compresssion for LogLUV"
                               : "Unsupported compresssion for LogL");
                return IL_FAILED;
            }
            const bool wide = h->loadMode == 0;
            TIFFSetField(tif, TIFFTAG_SGILOGDATAFMT,
                         wide ? SGILOGDATAFMT_FLOAT : SGILOGDATAFMT_8BIT);
            plan->source =
                luv ? (wide ? IL_RGB_FLOAT : IL_RGB8) : (wide ? IL_GREY_FLOAT : IL_GREY8);
            plan->xyz = luv && wide;
            return IL_OK;
        }
        default:
            ILErrorF(h, "Unsupported color space (Photometric %d)", d.photometric);
            return IL_FAILED;
    }
}

// lcms2's description of rows of the file's colour channels followed by
// `extra` samples, for a colour profile.
uint32_t LcmsFormat(const Directory& d, const Plan& plan, uint32_t extra) {
    uint32_t bytes = d.bits / 8u;
    if (d.floating()) bytes = d.bits == 24 ? 3 : d.bits == 16 ? 5 : 4;
    return COLORSPACE_SH(plan.colorSpace) | FLOAT_SH(d.floating() ? 1 : 0) |
           FLAVOR_SH(d.photometric == PHOTOMETRIC_MINISWHITE ? 1 : 0) | EXTRA_SH(extra) |
           CHANNELS_SH(d.colorChannels) | BYTES_SH(bytes);
}

// The grey table from HalftoneHints (or the identity).
uint8_t* GreyTable(ILHandle* h, TIFF* tif, bool invert) {
    uint16_t low = 0, high = 255;
    TIFFGetField(tif, TIFFTAG_HALFTONEHINTS, &low, &high);
    return ILTiffBuildGreyTable(h, low, high, invert);
}

ILResult Decode(ILHandle* h, TIFF* tif, const Directory& d, cmsHPROFILE fileProfile,
                uint8_t gammaKind, ILImage* image, ILInfo* info) {
    ILClearImage(image);
    Plan plan;
    const ILResult planned = MakePlan(h, tif, d, &plan);
    if (planned != IL_OK) return planned;
    if (info && d.photometric == PHOTOMETRIC_LOGL) {
        info->bitsPerPixel = 16;
        info->channels = 1;
    } else if (info && d.photometric == PHOTOMETRIC_LOGLUV) {
        info->bitsPerPixel = d.compression == COMPRESSION_SGILOG ? 32 : 24;
        info->channels = 3;
    }

    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILBuffer<uint8_t> greyTable;
    if (plan.greyTable) {
        greyTable.reset(GreyTable(h, tif, plan.invertTable));
        if (!greyTable) return IL_FAILED;
    }
    c->oneBitWhite = plan.oneBitWhite;
    if ((plan.source & IL_MODEL_MASK) == IL_MODEL_INDEXED) {
        ILPalette* palette = ILConverterNewPalette(c, 1u << d.bits);
        if (!palette) return ILReportOutOfMemory(h, sizeof(ILPaletteEntry) << d.bits);
        if (!ILTiffReadColormap(tif, palette, palette->count)) {
            ILError(h, "Missing color palette");
            return IL_FAILED;
        }
    }
    if ((plan.source & IL_MODEL_MASK) == IL_MODEL_YCBCR) {
        float* luma = nullptr;
        float* referenceBlackWhite = nullptr;
        TIFFGetFieldDefaulted(tif, TIFFTAG_YCBCRCOEFFICIENTS, &luma);
        TIFFGetFieldDefaulted(tif, TIFFTAG_REFERENCEBLACKWHITE, &referenceBlackWhite);
        if (luma && referenceBlackWhite) ILConverterSetYCbCr(c, luma, referenceBlackWhite);
    }
    ILProfilePtr labProfile;
    cmsHPROFILE profile = fileProfile;
    if (plan.labProfile && !profile) {
        const cmsCIExyY d50{0.34566, 0.3585, 1.0};
        labProfile.reset(cmsCreateLab4Profile(&d50));
        profile = labProfile.get();
    }

    ILConverterSetAlphaMode(c, h->alphaMode);
    ILConverterSetBackground(c, h->background);
    const ILPixelType target = ILGetLoadPixelType(h, plan.source, true);
    if (!target) return ILReportUnsupportedDataFormat(h);
    // The image and one strip or tile of every plane are held at once.
    uint64_t bytes = 0;
    const uint64_t chunk = TIFFIsTiled(tif) ? TIFFTileSize64(tif) : TIFFStripSize64(tif);
    if (__builtin_mul_overflow(chunk, uint64_t{d.planes}, &bytes) ||
        __builtin_add_overflow(bytes, ILImageBufferSize(d.width, d.height, target), &bytes))
        bytes = UINT64_MAX;
    if (const ILResult r = ILCheckImageBudget(h, bytes); r != IL_OK) return r;
    if (ILReallocImage(image, d.width, d.height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(d.width, d.height, target));
    if ((plan.source & IL_MODEL_MASK) == IL_MODEL_INDEXED) ILConverterGivePalette(c, image);

    ILConverterSetModes(c, plan.source, target, d.width);
    const bool rgbFamily = (plan.source & IL_MODEL_MASK) == IL_MODEL_RGB;
    const bool managed = profile && plan.colorSpace && (!rgbFamily || gammaKind < IL_GAMMA_SRGB);
    if (managed) ILConverterSetProfile(c, profile, LcmsFormat(d, plan, d.extraSamples));
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    // The plain transform kernel reads whole pixels as its format describes
    // them. Every other kernel reads the source type's samples, which must be
    // there; extra samples past them are dropped from the rows, and a kernel
    // that carries alpha beside a transform needs the format to describe the
    // shortened pixel.
    const uint32_t taken = ILChannelCount(plan.source);
    const bool wholePixels = c->rowKernel == ILConverterTransformRow;
    if (!wholePixels && taken > d.samples) return ILReportUnsupportedDataFormat(h);
    if (!wholePixels && c->transform && taken != d.samples) {
        if (taken <= static_cast<uint32_t>(d.colorChannels))
            return ILReportUnsupportedDataFormat(h);
        ILConverterSetProfile(c, profile, LcmsFormat(d, plan, taken - d.colorChannels));
        if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    }

    ILTiffSource src{};
    src.h = h;
    src.tif = tif;
    src.width = d.width;
    src.height = d.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &src.bitsPerSample); // SGILog may change it
    src.samplesPerPixel = d.samples;
    src.keptSamples = static_cast<uint16_t>(wholePixels ? d.samples : taken);
    src.planes = d.planes;
    src.subsampling = plan.subsampling;
    src.invert = plan.invertSamples;
    // The grey table goes over the samples before conversion, so that every
    // target takes them; a profile's transform turns min-is-white over itself.
    bool identity = true;
    for (int v = 0; greyTable && v < 256; ++v)
        identity = identity && greyTable.get()[v] == v;
    if (!managed && !identity) src.greyTable = greyTable.get();
    src.uncompressed = d.compression == COMPRESSION_NONE;
    src.xyzToRgb = plan.xyz;
    if (!ILTiffSetupPredictor(h, tif, &src.predictor)) return IL_FAILED;
    return TIFFIsTiled(tif) ? ILTiffReadTiles(src, c, image) : ILTiffReadStrips(src, c, image);
}

// Turns the delivered image upright by the Orientation tag (TIFF 6.0: where
// the first row and column of the stored image belong on the picture).
ILResult ApplyOrientation(ILHandle* h, uint16_t orientation, ILImage* image) {
    constexpr int32_t kUpDown = 0, kLeftRight = 1;
    ILResult r = IL_OK;
    switch (orientation) {
        case ORIENTATION_TOPRIGHT:
            return ILMirrorImage(h, image, kLeftRight);
        case ORIENTATION_BOTRIGHT:
            r = ILMirrorImage(h, image, kUpDown);
            return r == IL_OK ? ILMirrorImage(h, image, kLeftRight) : r;
        case ORIENTATION_BOTLEFT:
            return ILMirrorImage(h, image, kUpDown);
        case ORIENTATION_LEFTTOP:
            r = ILMirrorImage(h, image, kUpDown);
            return r == IL_OK ? ILRotateImage(h, image, 90) : r;
        case ORIENTATION_RIGHTTOP:
            return ILRotateImage(h, image, 90);
        case ORIENTATION_RIGHTBOT:
            r = ILRotateImage(h, image, 90);
            return r == IL_OK ? ILMirrorImage(h, image, kUpDown) : r;
        case ORIENTATION_LEFTBOT:
            return ILRotateImage(h, image, 270);
        default:
            return IL_OK;
    }
}

// The EXIF entries of the page, read once its pixels are in.
void CopyExif(TIFF* tif, uint64_t exifOffset, ILInfo* info) {
    ExifData* exif = exif_data_new();
    if (!exif) return;
    ILTiffCopyMainExif(tif, exif);
    if (exifOffset) ILTiffCopyExifDirectory(tif, exifOffset, exif);
    ILFreeExif(&info->exif);
    info->exif = exif;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    const uint16_t page = info ? info->page : 0;
    uint64_t fileSize = 0;
    const ILResult opening = ILOpenRead(h, path, nullptr, info, &fileSize);
    if (opening != IL_OK) return opening;

    TiffPtr tif(ILTiffOpen(h, path, "rCm", std::max(fileSize * 2, kAllocationFloor)));
    if (!tif) return ILReportOpenFailed(h, true);
    if (page > 0) {
        if (info) info->page = page;
        if (!TIFFSetDirectory(tif.get(), page)) return IL_FAILED;
    }

    Directory d;
    const ILResult read = ReadDirectory(h, tif.get(), &d);
    if (read != IL_OK) return read;

    const bool colour = d.colorChannels >= 3;
    uint8_t gammaKind = 0;
    ILProfilePtr profile(ILTiffReadColorInfo(h, tif.get(), colour, &gammaKind));
    uint64_t exifOffset = 0;
    if (info) {
        FillInfo(tif.get(), d, profile.get(), gammaKind, info);
        if (h->readMetadata) {
            ReadMetadata(h, tif.get(), info);
            TIFFGetField(tif.get(), TIFFTAG_EXIFIFD, &exifOffset);
        }
    }
    if (!image) return IL_OK;

    const ILResult geometry = CheckGeometry(h, d, fileSize);
    if (geometry != IL_OK) return geometry;
    const ILResult result = Decode(h, tif.get(), d, profile.get(), gammaKind, image, info);
    if (result < IL_OK) return result;
    const ILResult upright = ApplyOrientation(h, d.orientation, image);
    if (upright != IL_OK) return upright;
    if (info) CopyExif(tif.get(), exifOffset, info);
    return result;
}

} // namespace

ILResult ILLoadTIFF(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kTiffModule, image, [&] { return Load(h, path, image, info); });
}
