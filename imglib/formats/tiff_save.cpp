// TIFF writing through libtiff 4.5: one page of grey, palette or RGB samples
// (1 to 32-bit integers, half, float and double, with straight or
// premultiplied alpha), in strips of about 512 KiB, uncompressed or with
// PackBits, LZW or Deflate (with the predictor the samples suit), or as SGI
// LogL / LogLuv; resolution, the info's texts, the creator as Software, and
// optionally the built-in colour profile.
// Not written: CMYK, YCbCr and Lab images (refused), tiles, EXIF, XMP, IPTC.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "imglib/convert/converter_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/tiff.h"
#include "imglib/memory_owner.h"

namespace {

using TiffPtr = std::unique_ptr<TIFF, ILTiffCloser>;

constexpr uint64_t kStripBytes = 524288;

// The handle's compression option -> the Compression tag; 0: none written.
uint16_t CompressionTag(uint32_t option) {
    switch (option) {
        case 0:
            return COMPRESSION_NONE;
        case 1:
            return COMPRESSION_PACKBITS;
        case 2:
            return COMPRESSION_LZW;
        case 3:
            return COMPRESSION_ADOBE_DEFLATE;
        case 4:
            return COMPRESSION_SGILOG;
        default:
            return 0;
    }
}

bool Writable(ILPixelType type) {
    const uint32_t model = type & IL_MODEL_MASK, kind = type & IL_KIND_MASK;
    if (model != IL_MODEL_GRAY && model != IL_MODEL_INDEXED && model != IL_MODEL_RGB) return false;
    switch (kind) {
        case IL_KIND_1:
        case IL_KIND_2:
        case IL_KIND_4:
        case IL_KIND_8:
            return true;
        case IL_KIND_16:
        case IL_KIND_32:
        case IL_KIND_HALF:
        case IL_KIND_FLOAT:
        case IL_KIND_DOUBLE:
            return model != IL_MODEL_INDEXED;
        default:
            return false;
    }
}

// ColorMap arrays of 2^bits entries; entries past the palette are black.
bool WriteColormap(TIFF* tif, const ILImage& image, uint32_t bits) {
    const uint32_t n = 1u << bits;
    std::unique_ptr<uint16_t[]> map(new (std::nothrow) uint16_t[3 * size_t{n}]());
    if (!map) return false;
    uint16_t* red = map.get();
    uint16_t* green = red + n;
    uint16_t* blue = green + n;
    const uint32_t count = image.palette ? std::min(image.palette->count, n) : 0;
    for (uint32_t i = 0; i < count; ++i)
        image.palette->GetEntry16(i, &blue[i], &green[i], &red[i]);
    TIFFSetField(tif, TIFFTAG_COLORMAP, red, green, blue);
    return true;
}

// Title, Description, Creation Time, Author and Copyright from the info's
// text list (a later entry of a key replaces an earlier one).
void WriteTexts(TIFF* tif, const ILInfo& info) {
    struct Key {
        const char* name;
        uint32_t tag;
    };
    static constexpr Key kKeys[] = {{"Title", TIFFTAG_DOCUMENTNAME},
                                    {"Description", TIFFTAG_IMAGEDESCRIPTION},
                                    {"Creation Time", TIFFTAG_DATETIME},
                                    {"Author", TIFFTAG_ARTIST},
                                    {"Copyright", TIFFTAG_COPYRIGHT}};
    for (const Key& key : kKeys) {
        const char* text = nullptr;
        for (int32_t i = 0; i < info.texts.count; ++i) {
            const ILTextEntry& e = info.texts.items[i];
            if (e.key && e.text && std::strcmp(e.key, key.name) == 0) text = e.text;
        }
        if (text) TIFFSetField(tif, key.tag, text);
    }
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    if (!image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    if (!Writable(image->type)) return ILReportUnsupportedColorFormat(h);
    const ILTIFFOptions& options = h->tiff;
    const uint16_t compression = CompressionTag(options.compression);
    const bool sgilog = compression == COMPRESSION_SGILOG;
    const uint32_t model = image->type & IL_MODEL_MASK;
    const uint32_t kind = image->type & IL_KIND_MASK;
    const bool floating = kind >= IL_KIND_HALF;
    const bool indexed = model == IL_MODEL_INDEXED;
    const uint32_t extra = image->type & IL_EXTRA_MASK;

    // What the rows become: R, G, B order for colour, float for SGILog,
    // which keeps no extra channel.
    ILPixelType target = image->type | (image->channels > 2 ? IL_ORDER_RGB : 0u);
    uint16_t photometric = model == IL_MODEL_GRAY ? PHOTOMETRIC_MINISBLACK
                           : indexed              ? PHOTOMETRIC_PALETTE
                                                  : PHOTOMETRIC_RGB;
    if (sgilog) {
        const bool grey = model == IL_MODEL_GRAY;
        target = grey ? IL_GREY_FLOAT : IL_RGB_FLOAT;
        photometric = grey ? PHOTOMETRIC_LOGL : PHOTOMETRIC_LOGLUV;
    }
    const uint32_t samples = ILChannelCount(target);
    const uint32_t bits = ILBitsPerSample(target);

    ILConverterOwner converter;
    ILConverterSetImageTarget(&converter.c, image, target);
    if (!ILConverterPrepare(&converter.c)) return IL_FAILED;
    const uint64_t rowBytes = (uint64_t{bits} * samples * image->width + 7) / 8;
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, rowBytes + 16)));
    if (!row) return IL_OUT_OF_MEMORY;

    TiffPtr tif(ILTiffOpen(h, path, options.byteOrder ? "wb" : "wl", 0));
    if (!tif) return ILReportErrno(h, false);
    TIFF* t = tif.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, image->width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, image->height);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    if (floating || sgilog) TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    if (sgilog) {
        TIFFSetField(t, TIFFTAG_STONITS, 1.0);
    } else if (!indexed && (extra == IL_EXTRA_ALPHA || extra == IL_EXTRA_PREMULTIPLIED ||
                            extra == IL_EXTRA_FILLER)) {
        const uint16_t value = extra == IL_EXTRA_ALPHA           ? EXTRASAMPLE_UNASSALPHA
                               : extra == IL_EXTRA_PREMULTIPLIED ? EXTRASAMPLE_ASSOCALPHA
                                                                 : EXTRASAMPLE_UNSPECIFIED;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &value);
    }
    if (options.embedProfile && kind > IL_KIND_4) {
        uint8_t* icc = nullptr;
        const uint32_t size = ILSaveBuiltinProfile(image->type, &icc);
        if (size) TIFFSetField(t, TIFFTAG_ICCPROFILE, size, icc);
        std::free(icc);
    }
    const uint64_t strips =
        std::max<uint64_t>(1, (rowBytes * image->height + kStripBytes - 1) / kStripBytes);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP,
                 static_cast<uint32_t>((image->height + strips - 1) / strips));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    if (indexed && !WriteColormap(t, *image, bits))
        return ILReportOutOfMemory(h, uint64_t{6} << bits);
    if (compression) TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    if (sgilog) TIFFSetField(t, TIFFTAG_SGILOGDATAFMT, SGILOGDATAFMT_FLOAT);
    // libtiff 4.5 lays floating-point predictor data out for big-endian
    // files in an order that no reader (libtiff's own included) undoes.
    const bool predicting =
        (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE) &&
        !(floating && options.byteOrder);
    if (options.predictor && predicting && !indexed && bits >= 8)
        TIFFSetField(t, TIFFTAG_PREDICTOR,
                     floating ? PREDICTOR_FLOATINGPOINT : PREDICTOR_HORIZONTAL);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    if (info && info->ppiX) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(info->ppiX));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(info->ppiY));
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    if (info && ILShouldWriteTexts(h, info)) WriteTexts(t, *info);
    if (h->creator) TIFFSetField(t, TIFFTAG_SOFTWARE, h->creator);

    for (uint32_t y = 0; y < image->height; ++y) {
        converter.c.rowKernel(&converter.c, image->data + int64_t{y} * image->stride, row.get());
        if (TIFFWriteScanline(t, row.get(), y, 0) < 0) return ILReportWriteFailed(h);
    }
    // The directory and the last strip reach the file only now.
    if (!TIFFFlush(t)) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILSaveTIFF(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    return ILGuardSave(h, kTiffModule, [&] { return Save(h, path, image, info); });
}
