// JPEG writing (JFIF 1.01) through libjpeg-turbo's classic interface.
// Written: 8-bit grey files from grey images, YCbCr files from every other
// image (converted to B, G, R 8 first, alpha dropped or composited by the
// handle's alpha mode); the handle's quality, progressive, arithmetic and
// subsampling options; the resolution; the built-in sRGB or sGray profile
// on request; the info's texts and the creator as comments.
// Not written: EXIF, XMP and IPTC, the image's own profile, CMYK files.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "imglib/convert/converter_owner.h"
#include "imglib/io/file_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/jpeg.h"
#include "imglib/memory_owner.h"
#include "imglib/io/stream.h"

namespace {

constexpr size_t kMarkerPayloadMax = 65533;

struct MallocFree {
    void operator()(uint8_t* p) const { std::free(p); }
};

// The compressor with its error manager, destroyed with the object.
struct Encoder {
    ILJpegErrors errors;
    jpeg_compress_struct cinfo;
    bool created = false;

    Encoder() = default;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    ~Encoder() {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

// What one save writes, gathered before the library runs.
struct Job {
    const ILImage* image;
    const ILInfo* info;
    const ILJPEGOptions* options;
    const char* creator;
    bool grey;
    bool writeTexts;
    ILConverter* converter; // null: image rows are written as they are
    uint8_t* row;
    const uint8_t* profile;
    size_t profileSize;
};

// libjpeg's linear scale for a quality: 5000 / q below 50, else 200 - 2q.
int QualityScale(uint32_t quality) {
    const int q = static_cast<int>(std::clamp<uint32_t>(quality, 1, 100));
    return q < 50 ? 5000 / q : 200 - 2 * q;
}

// An unknown resolution (0) keeps the library's 1:1 aspect ratio: a
// density of 0 is invalid in JFIF.
void SetResolution(jpeg_compress_struct* c, const ILInfo* info) {
    if (!info || info->ppiX == 0 || info->ppiY == 0) return;
    c->density_unit = 1;
    c->X_density = static_cast<UINT16>(std::min<uint32_t>(info->ppiX, 65535));
    c->Y_density = static_cast<UINT16>(std::min<uint32_t>(info->ppiY, 65535));
}

void WriteSoftware(jpeg_compress_struct* c, const char* creator) {
    constexpr char kKey[] = "Software:";
    const size_t head = sizeof kKey - 1;
    const size_t body = std::min(std::strlen(creator), kMarkerPayloadMax - head);
    jpeg_write_m_header(c, JPEG_COM, static_cast<unsigned int>(head + body));
    for (size_t i = 0; i < head; ++i)
        jpeg_write_m_byte(c, kKey[i]);
    for (size_t i = 0; i < body; ++i)
        jpeg_write_m_byte(c, static_cast<uint8_t>(creator[i]));
}

// Every library call of the save, under one guard; nothing here owns memory.
bool Compress(Encoder* e, FILE* file, const Job& job) {
    return ILJpegGuard(&e->errors, [&] {
        jpeg_compress_struct* c = &e->cinfo;
        jpeg_create_compress(c);
        e->created = true;
        jpeg_stdio_dest(c, file);

        c->image_width = job.image->width;
        c->image_height = job.image->height;
        c->input_components = job.grey ? 1 : 3;
        c->in_color_space = job.grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
        jpeg_set_defaults(c);
        jpeg_set_linear_quality(c, QualityScale(job.options->quality), TRUE);
        c->write_JFIF_header = TRUE;
        c->JFIF_major_version = 1;
        c->JFIF_minor_version = 1;
        SetResolution(c, job.info);
        if (job.options->progressive) jpeg_simple_progression(c);
        c->arith_code = job.options->arithmetic ? TRUE : FALSE;
        if (!job.options->subsampling) {
            c->comp_info[0].h_samp_factor = 1;
            c->comp_info[0].v_samp_factor = 1;
        }
        jpeg_start_compress(c, TRUE);

        if (job.profile) ILJpegWriteIccProfile(c, job.profile, job.profileSize);
        if (job.writeTexts) {
            for (ILTextKey key : {IL_TEXT_TITLE, IL_TEXT_AUTHOR, IL_TEXT_CREATION_TIME,
                                  IL_TEXT_DESCRIPTION, IL_TEXT_COPYRIGHT})
                ILJpegWriteTextMarker(c, job.info, key);
        }
        if (job.creator && *job.creator) WriteSoftware(c, job.creator);

        const ILImage& image = *job.image;
        for (uint32_t y = 0; y < image.height; ++y) {
            const uint8_t* source = image.data + int64_t{y} * image.stride;
            JSAMPROW row = const_cast<uint8_t*>(source); // libjpeg only reads it
            if (job.converter) {
                job.converter->rowKernel(job.converter, source, job.row);
                row = job.row;
            }
            jpeg_write_scanlines(c, &row, 1);
        }
        jpeg_finish_compress(c);
    });
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    if (!image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    if (image->width > JPEG_MAX_DIMENSION || image->height > JPEG_MAX_DIMENSION) {
        ILErrorF(h, "JPEG stores at most %ld x %ld pixels", JPEG_MAX_DIMENSION, JPEG_MAX_DIMENSION);
        return IL_BAD_ARGUMENT;
    }
    const bool grey = (image->type & IL_MODEL_MASK) == IL_MODEL_GRAY;
    const ILPixelType rowType = grey ? IL_MODEL_GRAY | IL_KIND_8 : IL_MODEL_RGB | IL_KIND_8;

    ILConverterOwner converter;
    ILConverterSetAlphaMode(&converter.c, h->alphaMode);
    ILConverterSetBackground(&converter.c, h->background);
    ILConverterSetImageTarget(&converter.c, image, rowType);
    if (!ILConverterPrepare(&converter.c)) return ILReportUnsupportedDataFormat(h);
    const bool copy = ILConverterIsPlainCopy(&converter.c);
    ILBuffer<uint8_t> row;
    if (!copy) {
        row.reset(static_cast<uint8_t*>(ILAlloc(h, uint64_t{image->width} * (grey ? 1 : 3))));
        if (!row) return IL_OUT_OF_MEMORY;
    }
    std::unique_ptr<uint8_t, MallocFree> profile;
    uint32_t profileSize = 0;
    if (h->jpeg.embedProfile) {
        uint8_t* bytes = nullptr;
        profileSize = ILSaveBuiltinProfile(rowType, &bytes);
        profile.reset(bytes);
    }

    FILE* opened = nullptr;
    const ILResult opening = ILOpenWrite(h, path, &opened);
    if (opening != IL_OK) return opening;
    ILFilePtr file(opened);
    auto encoder = std::make_unique<Encoder>();
    encoder->cinfo.err = ILJpegInitErrors(&encoder->errors, h);
    const Job job{image,
                  info,
                  &h->jpeg,
                  h->creator,
                  grey,
                  ILShouldWriteTexts(h, info),
                  copy ? nullptr : &converter.c,
                  row.get(),
                  profileSize ? profile.get() : nullptr,
                  profileSize};
    if (!Compress(encoder.get(), file.get(), job)) {
        ILError(h, encoder->errors.message);
        return IL_WRITE_FAILED;
    }
    encoder.reset();
    // The last buffered bytes reach the disk only now.
    if (std::fclose(file.release()) != 0) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILSaveJPEG(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    return ILGuardSave(h, kJpegModule, [&] { return Save(h, path, image, info); });
}
