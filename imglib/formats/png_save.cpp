// PNG writing (ISO/IEC 15948, Portable Network Graphics, second edition)
// through libpng 1.6 and its stdio output.
// Written: grey files of 1 to 16 bits (with alpha at 8 and 16), palette files
// of 1 to 8 bits with their alphas in tRNS, RGB files of 8 and 16 bits with
// or without alpha; other sample kinds become 8 or 16-bit samples and
// premultiplied alpha becomes straight alpha. The handle's compression,
// interlace and gamma (gAMA with sRGB) options, pHYs, the info's texts and
// the creator as zTXt chunks.
// Not written: CMYK, YCbCr and Lab images (refused), colour profiles, bKGD,
// EXIF, XMP and IPTC.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include <zlib.h>

#include "imglib/convert/converter_owner.h"
#include "imglib/io/file_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/png.h"
#include "imglib/memory_owner.h"
#include "imglib/io/stream.h"

namespace {

// libpng's write and info structures, destroyed together.
struct Writer {
    png_structp png = nullptr;
    png_infop info = nullptr;

    Writer() = default;
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    ~Writer() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

// libpng's errors while saving are kept, not reported: the saver reports
// the failure once, when the encoding step returns (a failed write as
// "File write failed, disk full?", anything else in libpng's words).
struct SaveErrors {
    ILHandle* handle;
    char text[IL_MESSAGE_MAX + 1];
};

[[noreturn]] void KeepSaveError(png_structp png, png_const_charp text) {
    auto* errors = static_cast<SaveErrors*>(png_get_error_ptr(png));
    std::snprintf(errors->text, sizeof errors->text, "%s", text ? text : "");
    png_longjmp(png, 1);
}

void PassSaveWarning(png_structp png, png_const_charp text) {
    ILWarning(static_cast<SaveErrors*>(png_get_error_ptr(png))->handle, text);
}

// What the file stores and how the image's rows get there.
struct Plan {
    int colorType;
    ILPixelType rowType; // of the rows handed to libpng
    bool convert;        // rows pass through the converter first
    bool bgr;            // samples in B, G, R order
    bool filler;         // a fourth byte per RGB pixel to leave out
};

// Rows that libpng can take as they are: PNG's own bit depths for the
// colour type, straight alpha or (for RGB) a filler byte.
bool IsDirect(ILPixelType type) {
    const uint32_t kind = type & IL_KIND_MASK, extra = type & IL_EXTRA_MASK;
    const bool lowDepth =
        kind == IL_KIND_1 || kind == IL_KIND_2 || kind == IL_KIND_4 || kind == IL_KIND_8;
    const bool wide = kind == IL_KIND_8 || kind == IL_KIND_16;
    switch (type & IL_MODEL_MASK) {
        case IL_MODEL_GRAY:
            if (type & IL_ORDER_RGB) return false;
            return extra == 0 ? lowDepth || kind == IL_KIND_16 : extra == IL_EXTRA_ALPHA && wide;
        case IL_MODEL_INDEXED:
            return !(type & IL_ORDER_RGB) && lowDepth && (extra == 0 || extra == IL_EXTRA_ALPHA);
        case IL_MODEL_RGB:
            return wide && (extra == 0 || extra == IL_EXTRA_FILLER || extra == IL_EXTRA_ALPHA);
        default:
            return false;
    }
}

ILResult MakePlan(ILHandle* h, const ILImage& image, Plan* plan) {
    const ILPixelType type = image.type;
    const uint32_t model = type & IL_MODEL_MASK;
    if (model != IL_MODEL_GRAY && model != IL_MODEL_INDEXED && model != IL_MODEL_RGB)
        return ILReportUnsupportedColorFormat(h);
    const bool alpha = ILHasAlpha(type);
    plan->convert = !IsDirect(type);
    // Indexes of another depth or alpha form have no PNG counterpart.
    if (plan->convert && model == IL_MODEL_INDEXED) return ILReportUnsupportedDataFormat(h);
    if (plan->convert) {
        // Deeper samples keep 16 bits, high dynamic range ones too;
        // everything else fits in 8.
        const uint32_t kind = type & IL_KIND_MASK;
        const bool deep = ILBitsPerSample(type) > 8 || kind >= IL_KIND_16;
        plan->rowType = model | (deep ? IL_KIND_16 : IL_KIND_8) | (alpha ? IL_EXTRA_ALPHA : 0u);
    } else {
        plan->rowType = type;
    }
    switch (model) {
        case IL_MODEL_GRAY:
            plan->colorType = alpha ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY;
            break;
        case IL_MODEL_INDEXED:
            plan->colorType = PNG_COLOR_TYPE_PALETTE;
            break;
        default:
            plan->colorType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
            break;
    }
    plan->bgr = model == IL_MODEL_RGB && !(plan->rowType & IL_ORDER_RGB);
    plan->filler = (plan->rowType & IL_EXTRA_MASK) == IL_EXTRA_FILLER;
    return IL_OK;
}

// PLTE and tRNS of an indexed image: as many entries as its pixels can
// use; entries past the image's palette are opaque black, so that every
// index in the file names a colour.
struct PaletteArrays {
    std::unique_ptr<png_color[]> colours;
    std::unique_ptr<png_byte[]> alphas;
    int count = 0;
};

bool MakePaletteArrays(const ILImage& image, int bitDepth, PaletteArrays* out) {
    const uint32_t n = std::min(image.UsedPaletteSize(), 1u << bitDepth);
    out->colours.reset(new (std::nothrow) png_color[n]);
    if (ILHasAlpha(image.type)) out->alphas.reset(new (std::nothrow) png_byte[n]);
    if (!out->colours || (ILHasAlpha(image.type) && !out->alphas)) return false;
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t bgra[4] = {0, 0, 0, 255};
        if (image.palette && i < image.palette->count) image.palette->ReadBGRA8(i, bgra);
        out->colours[i] = {bgra[2], bgra[1], bgra[0]};
        if (out->alphas) out->alphas[i] = bgra[3];
    }
    out->count = static_cast<int>(n);
    return true;
}

// Everything one save hands to libpng, gathered before the library runs.
struct Job {
    const ILImage* image;   // the rows written, the converted copy where one was made
    ILConverter* converter; // non-null: each row passes through it into row
    uint8_t* row;
    png_bytepp rows; // row pointers for png_write_image
    const Plan* plan;
    const ILPNGOptions* options;
    const ILInfo* info;
    bool writeTexts;
    const char* creator;
    const PaletteArrays* palette;
};

// trunc(dots per inch x 39.37...), within PNG's 31-bit integers.
png_uint_32 PixelsPerMetre(uint32_t ppi) {
    return static_cast<png_uint_32>(std::min(ppi * 39.37007874016, double{PNG_UINT_31_MAX}));
}

// compression 0..3 from fastest to smallest; other values keep libpng's
// defaults.
constexpr int kLevels[4] = {4, 6, 7, 9};
constexpr int kFilters[4] = {
    PNG_FILTER_NONE | PNG_FILTER_SUB,
    PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_UP | PNG_FILTER_AVG,
    PNG_ALL_FILTERS,
    PNG_ALL_FILTERS,
};

void SetChunks(png_structp png, png_infop pngInfo, const Job& job) {
    const ILImage& image = *job.image;
    png_set_IHDR(png, pngInfo, image.width, image.height,
                 static_cast<int>(ILBitsPerSample(job.plan->rowType)), job.plan->colorType,
                 job.options->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (job.info && job.info->ppiX && job.info->ppiY)
        png_set_pHYs(png, pngInfo, PixelsPerMetre(job.info->ppiX), PixelsPerMetre(job.info->ppiY),
                     PNG_RESOLUTION_METER);
    if (job.writeTexts) {
        for (ILTextKey key : {IL_TEXT_TITLE, IL_TEXT_AUTHOR, IL_TEXT_CREATION_TIME,
                              IL_TEXT_DESCRIPTION, IL_TEXT_COPYRIGHT})
            ILPngAddText(png, pngInfo, job.info, key);
    }
    if (job.creator) {
        png_text software{};
        software.compression = PNG_TEXT_COMPRESSION_zTXt;
        software.key = const_cast<png_charp>(ILTextKeyNames[IL_TEXT_SOFTWARE]);
        software.text = const_cast<png_charp>(job.creator);
        png_set_text(png, pngInfo, &software, 1);
    }
    if (job.options->gamma) {
        png_set_gAMA(png, pngInfo, 0.45454545454545453);
        png_set_sRGB(png, pngInfo, PNG_sRGB_INTENT_PERCEPTUAL);
    }
    const bool indexed = job.plan->colorType == PNG_COLOR_TYPE_PALETTE;
    const uint32_t option = job.options->compression;
    if (option < 4) png_set_compression_level(png, kLevels[option]);
    // Palette indexes are not numbers: filtering them only costs time.
    if (indexed)
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    else if (option < 4)
        png_set_filter(png, PNG_FILTER_TYPE_BASE, kFilters[option]);
    if (indexed) {
        png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
        png_set_PLTE(png, pngInfo, job.palette->colours.get(), job.palette->count);
        if (job.palette->alphas)
            png_set_tRNS(png, pngInfo, job.palette->alphas.get(), job.palette->count, nullptr);
    } else {
        png_set_compression_strategy(png, Z_FILTERED);
    }
}

// Every library call of the save under one recovery point; nothing here
// owns memory.
bool Encode(png_structp png, png_infop pngInfo, FILE* file, const Job& job) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    // PNG allows 2^31 - 1 pixels a side; libpng's default limit is lower.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    SetChunks(png, pngInfo, job);
    png_write_info(png, pngInfo);
    if (job.plan->bgr) png_set_bgr(png);
    if (ILBitsPerSample(job.plan->rowType) == 16) png_set_swap(png);
    if (job.plan->filler) png_set_filler(png, 0, PNG_FILLER_AFTER);

    const ILImage& image = *job.image;
    if (job.converter) {
        for (uint32_t y = 0; y < image.height; ++y) {
            job.converter->rowKernel(job.converter, image.data + int64_t{y} * image.stride,
                                     job.row);
            png_write_row(png, job.row);
        }
    } else {
        png_write_image(png, job.rows);
    }
    png_write_end(png, pngInfo);
    return true;
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    if (!image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    if (image->width > PNG_UINT_31_MAX || image->height > PNG_UINT_31_MAX) {
        ILErrorF(h, "PNG stores at most %u pixels a side", PNG_UINT_31_MAX);
        return IL_BAD_ARGUMENT;
    }
    Plan plan{};
    const ILResult planned = MakePlan(h, *image, &plan);
    if (planned != IL_OK) return planned;

    PaletteArrays palette;
    if (plan.colorType == PNG_COLOR_TYPE_PALETTE &&
        !MakePaletteArrays(*image, static_cast<int>(ILBitsPerSample(plan.rowType)), &palette))
        return ILReportOutOfMemory(h, uint64_t{image->UsedPaletteSize()} * 4);

    // Converted rows: one row at a time, or for interlacing, which needs all
    // rows at once, a converted copy of the image.
    ILConverterOwner converter;
    ILConverterSetAlphaMode(&converter.c, h->alphaMode);
    ILConverterSetBackground(&converter.c, h->background);
    ILImageOwner converted;
    ILBuffer<uint8_t> row;
    const ILImage* rowsFrom = image;
    bool rowByRow = false;
    if (plan.convert && h->png.interlaced) {
        if (ILReallocImage(&converted.image, image->width, image->height, plan.rowType, nullptr) !=
            IL_OK)
            return ILReportOutOfMemory(
                h, ILImageBufferSize(image->width, image->height, plan.rowType));
        if (!ILConverterConvertImage(&converter.c, h, image, &converted.image))
            return ILReportUnsupportedDataFormat(h);
        rowsFrom = &converted.image;
    } else if (plan.convert) {
        ILConverterSetImageTarget(&converter.c, image, plan.rowType);
        if (!ILConverterPrepare(&converter.c)) return ILReportUnsupportedDataFormat(h);
        const uint64_t sampleBytes = ILBitsPerSample(plan.rowType) / 8;
        const uint64_t bytes = ILChannelCount(plan.rowType) * sampleBytes * image->width + 4;
        row.reset(static_cast<uint8_t*>(ILAlloc(h, bytes)));
        if (!row) return IL_OUT_OF_MEMORY;
        rowByRow = true;
    }
    ILBuffer<png_bytep> rows;
    if (!rowByRow) {
        rows.reset(
            static_cast<png_bytepp>(ILAlloc(h, uint64_t{image->height} * sizeof(png_bytep))));
        if (!rows) return IL_OUT_OF_MEMORY;
        for (uint32_t y = 0; y < image->height; ++y)
            rows.get()[y] = rowsFrom->data + int64_t{y} * rowsFrom->stride;
    }

    FILE* opened = nullptr;
    const ILResult opening = ILOpenWrite(h, path, &opened);
    if (opening != IL_OK) return opening;
    ILFilePtr file(opened);
    Writer w;
    // libpng's own handlers would print to standard error, which a program
    // with a window never shows: its texts go to the handle instead.
    SaveErrors errors{h, ""};
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, KeepSaveError, PassSaveWarning);
    if (w.png) w.info = png_create_info_struct(w.png);
    if (!w.png || !w.info) return ILReportOutOfMemory(h, 512);

    Job job{};
    job.image = rowsFrom;
    job.converter = rowByRow ? &converter.c : nullptr;
    job.row = row.get();
    job.rows = rows.get();
    job.plan = &plan;
    job.options = &h->png;
    job.info = info;
    job.writeTexts = ILShouldWriteTexts(h, info);
    job.creator = h->creator;
    job.palette = &palette;
    if (!Encode(w.png, w.info, file.get(), job)) {
        if (std::ferror(file.get()) || errors.text[0] == '\0') return ILReportWriteFailed(h);
        ILError(h, errors.text);
        return IL_FAILED;
    }
    // The last buffered bytes reach the disk only now.
    if (std::fclose(file.release()) != 0) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

void ILPngAddText(png_structp png, png_infop pngInfo, const ILInfo* info, ILTextKey key) {
    const char* text = info ? ILFindText(&info->texts, key) : nullptr;
    if (!text) return;
    png_text entry{};
    entry.compression = PNG_TEXT_COMPRESSION_zTXt;
    entry.key = const_cast<png_charp>(ILTextKeyNames[key]);
    entry.text = const_cast<png_charp>(text);
    png_set_text(png, pngInfo, &entry, 1);
}

ILResult ILSavePNG(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    return ILGuardSave(h, kPngModule, [&] { return Save(h, path, image, info); });
}
