// PGF reading through libpgf 7: every image mode of the codec's table
// (bitmap, grey 8/16/32, indexed, RGB 8/12/16/48, RGBA, CMYK 8/16, Lab 8/16)
// at level 0, or at a coarser wavelet level for thumbnails.
// Not handled: user data (metadata), regions of interest, progress.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <memory>

#include "imglib/byte_order.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/convert/profile_owner.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/pgf.h"
#include "imglib/pixel_type.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"

namespace {

// The result libpgf's unexpected failures give.
constexpr ILResult kInternalPgfError = -1000;

struct Layout {
    ILPixelType source;    // 0 for a mode this loader does not read
    uint32_t bitsPerPixel; // of the rows GetBitmap delivers
    uint32_t colorType;
    uint8_t alphaKind;
    double gamma;
};

// libpgf fills a bitmap from the channels its mode names, whether the
// header declared them or not: a mode with fewer channels is refused.
Layout ChooseLayout(const CPGFImage& pgf) {
    const uint32_t channels = pgf.Channels();
    const bool alpha = channels == 2 || channels == 4;
    const uint8_t alphaKind = alpha ? IL_ALPHA_STRAIGHT : IL_ALPHA_NONE;
    switch (pgf.Mode()) {
        case ImageModeBitmap:
            if (channels != 1) break;
            return {IL_GREY1, 1, IL_CT_MONOCHROME, 0, 0};
        case ImageModeGrayScale:
            if (channels > 2) break;
            return {alpha ? IL_GREY_A8 : IL_GREY8, 8 * channels, IL_CT_GRAY, alphaKind, 2.2};
        case ImageModeIndexedColor:
            if (channels != 1) break;
            if (pgf.BPP() == 8) return {IL_INDEX8, 8, IL_CT_INDEXED, 0, 2.2};
            if (pgf.BPP() == 4) return {IL_INDEX4, 4, IL_CT_INDEXED, 0, 2.2};
            break;
        case ImageModeRGBColor:
            if (channels < 3) break;
            return {IL_BGR8, 24, IL_CT_YUV, 0, 2.2};
        case ImageModeCMYKColor:
            if (channels != 4) break;
            return {IL_CMYK8, 32, IL_CT_YUVK, 0, 0};
        case ImageModeLabColor:
            if (channels < 3) break;
            return {alpha ? ILPixelType{IL_LAB8} | IL_EXTRA_ALPHA : ILPixelType{IL_LAB8},
                    8 * channels, IL_CT_LAB, alphaKind, 1.0};
        case ImageModeGray16:
            if (channels > 2) break;
            return {alpha ? IL_GREY_A16 : IL_GREY16, 16 * channels, IL_CT_GRAY, alphaKind, 2.2};
        case ImageModeRGB48:
            if (channels < 3) break;
            return {alpha ? IL_BGRA16 : IL_BGR16, 16 * channels, IL_CT_YUV, alphaKind, 2.2};
        case ImageModeLab48:
            if (channels < 3) break;
            return {alpha ? ILPixelType{IL_LAB16} | IL_EXTRA_ALPHA : ILPixelType{IL_LAB16},
                    16 * channels, IL_CT_LAB, alphaKind, 1.0};
        case ImageModeCMYK64:
            if (channels != 4) break;
            return {IL_CMYK16, 64, IL_CT_YUVK, 0, 0};
        case ImageModeRGBA:
            if (channels != 4) break;
            return {IL_BGRA8, 32, IL_CT_YUV, IL_ALPHA_STRAIGHT, 2.2};
        case ImageModeGray32:
            if (channels != 1) break;
            return {IL_GREY16, 16, IL_CT_GRAY, 0, 2.2};
        case ImageModeRGB12:
            if (channels < 3) break;
            return {IL_RGB4, 12, IL_CT_YUV, 0, 2.2};
        case ImageModeRGB16:
            if (channels < 3) break;
            return {IL_BGR_565, 16, IL_CT_YUV, 0, 2.2};
        default:
            break;
    }
    return {};
}

void FillInfo(ILInfo* info, const CPGFImage& pgf, const Layout& layout) {
    info->formatId = IL_FORMAT_PGF;
    info->width = pgf.Width();
    info->height = pgf.Height();
    info->bitsPerPixel = pgf.BPP();
    info->channels = pgf.Channels();
    info->compression = IL_COMP_WAVELET_53;
    info->gamma = layout.gamma;
    info->gammaKind = IL_GAMMA_ASSUMED;
    info->colorType = layout.colorType;
    info->alphaKind = layout.alphaKind;
    info->pages = 1;
}

// The wavelet level that still gives at least the thumbnail edge.
int ChooseLevel(const ILHandle* h, const CPGFImage& pgf, const Layout& layout) {
    const uint32_t edge = h->thumbnailEdge;
    if (!edge || ILPixelModel(layout.source) == IL_MODEL_INDEXED || pgf.Levels() == 0) return 0;
    const uint32_t v = std::min(pgf.Width(), pgf.Height()) / edge;
    const int level = v <= 1 ? 0 : v <= 3 ? 1 : v <= 7 ? 2 : 3;
    return std::min(level, pgf.Levels() - 1);
}

// The colour table as a palette of 2^bits entries, its fourth byte as alpha.
ILPalette* LoadPalette(ILConverter* c, const CPGFImage& pgf, uint32_t bits) {
    const uint32_t count = 1u << bits;
    ILPalette* palette = ILConverterNewPalette(c, count);
    if (!palette) return nullptr;
    const RGBQUAD* table = pgf.GetColorTable();
    for (uint32_t i = 0; i < count; ++i)
        palette->entries[i] = {static_cast<uint16_t>(table[i].rgbBlue * 257),
                               static_cast<uint16_t>(table[i].rgbGreen * 257),
                               static_cast<uint16_t>(table[i].rgbRed * 257),
                               static_cast<uint16_t>(table[i].rgbReserved * 257)};
    return palette;
}

// libpgf sizes its per-channel and per-level tables by the header's counts
// without checking them, and allocates the channels when it opens the file:
// counts beyond its limits, and sizes the file cannot back, are refused
// here before it reads them. The pre-header is "PGF", the version and the
// header size (32 bits from version 6); the header then holds width,
// height, levels, quality, bits per pixel, channels and mode, and after the
// header size come the levels' byte counts. A header size past the file's
// end made libpgf read on into gigabytes of allocations.
//
// libpgf also reads on past the data the levels hold, taking padding for
// coefficients: every block of up to BufferSize coefficients costs at least
// its 16-bit length, so the levels must hold that much for the size and
// channels the header claims. An indexed image carries its colour table in
// the header; without one the data is some other mode's.
//
// Streams of the layouts before version 6 made libpgf free pointers it never
// set, and those coded for regions of interest crash its whole-image read:
// both are refused as unsupported (IL_UNSUPPORTED_FORMAT), headers that do
// not fit their file as damaged (IL_INVALID_HEADER).
ILResult HeaderFits(FILE* file, uint64_t fileSize) {
    uint8_t head[24];
    const bool read = std::fread(head, 1, sizeof head, file) == sizeof head;
    if (!read || std::memcmp(head, "PGF", 3) != 0) {
        std::rewind(file);
        return read ? IL_OK : IL_INVALID_HEADER;
    }
    if (!(head[3] & Version6) || (head[3] & PGFROI)) return IL_UNSUPPORTED_FORMAT;
    const uint32_t headerSize = ILGetLe32(head + 4);
    const uint32_t levels = head[16], channels = head[19];
    const uint32_t width = ILGetLe32(head + 8), height = ILGetLe32(head + 12);
    const bool backed = ILClaimIsBacked(width, height, fileSize);
    if (!width || !height || levels > MaxLevel || channels < 1 || channels > MaxChannels ||
        !backed || uint64_t{headerSize} + 8 > fileSize)
        return IL_INVALID_HEADER;
    if (head[20] == ImageModeIndexedColor && headerSize < 16 + ColorTableLen * 4)
        return IL_INVALID_HEADER;
    // libpgf's own writer leaves at least five rows and columns after the
    // levels' halvings; with fewer than two its inverse transform wrote and
    // freed outside its bands (found by fuzzing).
    if (levels > 0 && (std::min(width, height) >> levels) < 2) return IL_INVALID_HEADER;
    uint8_t lengths[4 * MaxLevel];
    const bool counted = std::fseek(file, long{8} + headerSize, SEEK_SET) == 0 &&
                         std::fread(lengths, 4, levels, file) == levels;
    std::rewind(file);
    if (!counted) return IL_INVALID_HEADER;
    uint64_t data = 0;
    for (uint32_t i = 0; i < levels; ++i)
        data += ILGetLe32(lengths + 4 * i);
    const uint64_t blocks = (uint64_t{width} * height * channels + BufferSize - 1) / BufferSize;
    return levels == 0 || data >= 2 * blocks ? IL_OK : IL_INVALID_HEADER;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFilePtr file;
    uint64_t fileSize = 0;
    const ILResult opened = ILOpenReadOwned(h, path, &file, info, &fileSize);
    if (opened != IL_OK) return opened;
    switch (HeaderFits(file.get(), fileSize)) {
        case IL_OK:
            break;
        case IL_UNSUPPORTED_FORMAT:
            ILError(h,
                    "PGF streams before version 6 or coded for regions of interest are not "
                    "supported");
            return IL_UNSUPPORTED_FORMAT;
        default:
            return ILReportInvalidHeader(h);
    }
    ILPgfFileStream stream(file.get());
    CPGFImage pgf;
    // No user data is read (it is metadata this loader does not report), and
    // libpgf starts no threads of its own.
    pgf.ConfigureDecoder(false, UP_Skip, 0);
    pgf.Open(&stream);

    const Layout layout = ChooseLayout(pgf);
    if (!layout.source) {
        ILError(h, "Unsupported PGF format");
        return IL_UNSUPPORTED_FORMAT;
    }
    if (info) FillInfo(info, pgf, layout);
    if (!image) return IL_OK;

    ILClearImage(image);
    const int level = ChooseLevel(h, pgf, layout);
    const ILPixelType target = ILGetLoadPixelType(h, layout.source, true);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint32_t width = pgf.Width(level), height = pgf.Height(level);
    // libpgf's channels (32-bit samples at full size), the image, and the
    // rows GetBitmap fills when they are converted.
    const uint64_t channelBytes = uint64_t{pgf.Width()} * pgf.Height() * pgf.Channels() * 4;
    const uint64_t rowsBytes = uint64_t{width} * height * layout.bitsPerPixel / 8;
    const uint64_t bytes = channelBytes + ILImageBufferSize(width, height, target) +
                           (target == layout.source ? 0 : rowsBytes);
    if (const ILResult r = ILCheckImageBudget(h, bytes); r != IL_OK) return r;
    pgf.Read(level);
    if (ILReallocImage(image, width, height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(width, height, target));
    const bool indexed = ILPixelModel(layout.source) == IL_MODEL_INDEXED;
    const uint32_t paletteBits = layout.bitsPerPixel;
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    if (indexed && ILPixelModel(target) == IL_MODEL_INDEXED) {
        if (!LoadPalette(c, pgf, paletteBits)) return ILReportOutOfMemory(h, 0);
        ILConverterGivePalette(c, image);
    }
    const int bpp = static_cast<int>(layout.bitsPerPixel);
    if (target == layout.source) {
        pgf.GetBitmap(static_cast<int>(image->stride), image->data, static_cast<BYTE>(bpp));
        return IL_OK;
    }

    if (indexed && !LoadPalette(c, pgf, paletteBits)) return ILReportOutOfMemory(h, 0);
    ILProfilePtr lab;
    if (layout.source == IL_LAB8 || layout.source == IL_LAB16) {
        lab.reset(cmsCreateLab4Profile(nullptr));
        if (lab)
            ILConverterSetProfile(c, lab.get(),
                                  layout.source == IL_LAB8 ? TYPE_Lab_8 : TYPE_Lab_16);
    }
    ILConverterSetModes(c, layout.source, target, width);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    const uint64_t rowBytes = (uint64_t{width} * layout.bitsPerPixel + 31) / 8 & ~uint64_t{3};
    ILBuffer<uint8_t> rows(static_cast<uint8_t*>(ILAlloc(h, rowBytes * height)));
    if (!rows) return IL_OUT_OF_MEMORY;
    pgf.GetBitmap(static_cast<int>(rowBytes), rows.get(), static_cast<BYTE>(bpp));
    for (uint32_t y = 0; y < height; ++y)
        c->rowKernel(c, rows.get() + rowBytes * y, image->data + int64_t{y} * image->stride);
    return IL_OK;
}

// libpgf's exceptions as the library's results.
ILResult Report(ILHandle* h, const ILImage* image, OSError error) {
    switch (error) {
        case NoError:
            return IL_OK;
        case InsufficientMemory:
            return ILReportOutOfMemory(h, 0);
        case WrongVersion:
            return ILReportInvalidHeader(h);
        case FormatCannotRead:
            return ILReportUnsupportedDataFormat(h);
        case ImageTooSmall:
            // Partial only when rows were decoded into the image.
            ILReportUnexpectedEnd(h);
            return image && image->data ? IL_PARTIAL : IL_FAILED;
        case ZlibError:
            return ILReportDecompressionFailed(h);
        default:
            ILError(h, "Internal PGF Error");
            return kInternalPgfError;
    }
}

} // namespace

ILResult ILLoadPGF(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kPgfModule, image, [&] {
        try {
            return Load(h, path, image, info);
        } catch (const IOException& e) {
            return Report(h, image, e.error);
        }
    });
}
