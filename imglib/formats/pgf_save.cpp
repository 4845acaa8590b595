// PGF writing through libpgf 7 (version 7 files): bitmap, grey 8 and 16,
// indexed 8-bit, RGB, RGBA and RGB 48 images, lossless or at the handle's
// quality level; other pixel types are converted to the nearest of these
// (alpha of grey and deep RGB images is dropped, so that the header and the
// rows agree; CMYK and Lab go to RGB).
// Not written: user data (metadata), regions of interest.
#include <algorithm>

#include "imglib/convert/converter.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/pgf.h"
#include "imglib/pixel_type.h"
#include "imglib/io/stream.h"
#include "imglib/memory_owner.h"

namespace {

constexpr ILResult kInternalPgfError = -1000;

struct Layout {
    uint8_t mode;
    ILPixelType rows; // the type ImportBitmap reads
    uint8_t channels;
};

Layout ChooseLayout(const ILImage& image) {
    const ILPixelType model = ILPixelModel(image.type);
    const bool alpha = ILHasAlpha(image.type);
    const uint32_t bits = ILBitsPerSample(image.type);
    const bool deep = bits > 8;
    switch (model) {
        case IL_MODEL_GRAY:
            if (bits == 1) return {ImageModeBitmap, IL_GREY1, 1};
            return deep ? Layout{ImageModeGray16, IL_GREY16, 1}
                        : Layout{ImageModeGrayScale, IL_GREY8, 1};
        case IL_MODEL_INDEXED:
            if (bits == 1 && !alpha) return {ImageModeBitmap, IL_GREY1, 1};
            return {ImageModeIndexedColor, IL_INDEX8, 1};
        default:
            if (deep) return {ImageModeRGB48, IL_BGR16, 3};
            return alpha ? Layout{ImageModeRGBA, IL_BGRA8, 4}
                         : Layout{ImageModeRGBColor, IL_BGR8, 3};
    }
}

// 1-bit indexed images are written as bitmaps only when their palette is
// black then white, the bitmap's own colours.
bool IsBlackWhite(const ILImage& image) {
    const ILPalette* p = image.palette;
    if (!p || p->count < 2) return false;
    const ILPaletteEntry& black = p->entries[0];
    const ILPaletteEntry& white = p->entries[1];
    return !black.red && !black.green && !black.blue && white.red == 0xFFFF &&
           white.green == 0xFFFF && white.blue == 0xFFFF;
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image) {
    Layout layout = ChooseLayout(*image);
    if (layout.mode == ImageModeBitmap && ILPixelModel(image->type) == IL_MODEL_INDEXED &&
        !IsBlackWhite(*image))
        layout = {ImageModeIndexedColor, IL_INDEX8, 1};
    const uint32_t rowBits = ILBitsPerSample(layout.rows) * ILChannelCount(layout.rows);
    const bool indexed = layout.mode == ImageModeIndexedColor;
    const bool deep = ILBitsPerSample(layout.rows) > 8;

    PGFHeader header;
    header.width = image->width;
    header.height = image->height;
    header.nLevels = static_cast<UINT8>(
        std::clamp<uint32_t>(std::min(image->width, image->height) / 256, 8, MaxLevel));
    const uint32_t level = std::clamp<uint32_t>(h->pgf.level, 1, 9);
    header.quality =
        indexed || h->pgf.lossless ? 0 : static_cast<UINT8>(deep ? 2 * level - 1 : level);
    header.bpp = static_cast<UINT8>(rowBits);
    header.channels = layout.channels;
    header.mode = layout.mode;
    header.usedBitsPerChannel = static_cast<UINT8>(ILBitsPerSample(layout.rows));

    ILConverterOwner converter;
    ILImageOwner converted;
    const ILImage* rows = image;
    if (image->type != layout.rows) {
        ILConverterSetImageTarget(&converter.c, image, layout.rows);
        ILConverterSetDither(&converter.c, true);
        if (!ILConverterPrepare(&converter.c)) return ILReportUnsupportedDataFormat(h);
        if (ILAllocImage(&converted.image, image->width, image->height, layout.rows, nullptr) !=
            IL_OK)
            return ILReportOutOfMemory(h,
                                       ILImageBufferSize(image->width, image->height, layout.rows));
        if (!ILConverterConvertImage(&converter.c, h, image, &converted.image))
            return ILReportUnsupportedDataFormat(h);
        rows = &converted.image;
    }

    FILE* opened = nullptr;
    const ILResult result = ILOpenWrite(h, path, &opened);
    if (result != IL_OK) return result;
    ILFilePtr file(opened);
    ILPgfFileStream stream(file.get());
    CPGFImage pgf;
    pgf.ConfigureEncoder(false);
    pgf.SetHeader(header);
    if (indexed) {
        RGBQUAD table[256] = {};
        const ILPalette* palette = rows->palette;
        const uint32_t count = palette ? std::min<uint32_t>(palette->count, 256) : 0;
        for (uint32_t i = 0; i < count; ++i) {
            const ILPaletteEntry& e = palette->entries[i];
            table[i] = {static_cast<BYTE>(e.blue >> 8), static_cast<BYTE>(e.green >> 8),
                        static_cast<BYTE>(e.red >> 8), static_cast<BYTE>(e.alpha >> 8)};
        }
        pgf.SetColorTable(0, 256, table);
    }
    pgf.ImportBitmap(static_cast<int>(rows->stride), rows->data, static_cast<BYTE>(rowBits));
    pgf.Write(&stream);
    if (std::fclose(file.release()) != 0) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILSavePGF(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo*) {
    return ILGuardSave(h, kPgfModule, [&] {
        try {
            return Save(h, path, image);
        } catch (const IOException& e) {
            if (e.error == InsufficientMemory) return ILReportOutOfMemory(h, 0);
            // Only our stream raises this: a write or seek of the file failed.
            if (e.error == kPgfStreamError) return ILReportWriteFailed(h);
            ILError(h, "Internal PGF Error");
            return kInternalPgfError;
        }
    });
}
