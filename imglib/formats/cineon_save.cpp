// Cineon writing: grey or R, G, B printing-density files of 10-bit log
// codes packed three to a 32-bit word (grey) or one pixel to a word (R, G,
// B), little-endian, made from the image's linear values.
#include <cstring>
#include <vector>

#include "imglib/byte_order.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/formats/cineon.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/io/stream.h"

namespace {

constexpr char kModule[] = "Cineon";

// The 10-bit code of a linear value.
uint32_t Code(float v) {
    return uint32_t{cineon::LinearToLog(v)} >> 6;
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image) {
    if (!image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const bool grey = ILPixelModel(image->type) == IL_MODEL_GRAY;
    const uint32_t w = image->width;
    const uint64_t lineBytes = cineon::Writer::BytesPerLine(w, grey);
    // The header's file size is 32 bits.
    if (cineon::kHeaderBytes + lineBytes * image->height > UINT32_MAX) {
        ILErrorF(h, "Cineon files hold at most 4 GB of pixels");
        return IL_BAD_ARGUMENT;
    }
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetAlphaMode(c, h->alphaMode);
    ILConverterSetBackground(c, h->background);
    ILConverterSetImageTarget(c, image, grey ? IL_GREY_FLOAT : IL_BGR_FLOAT);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    std::vector<float> floats(size_t{w} * (grey ? 1 : 3) + 2);
    std::vector<uint8_t> packed(lineBytes);

    ILFileWriter out;
    if (const ILResult opened = out.Open(h, path); opened != IL_OK) return opened;
    cineon::Writer writer(&out);
    if (!writer.WriteHeader(w, image->height, grey)) return ILReportWriteFailed(h);
    for (uint32_t y = 0; y < image->height; ++y) {
        c->rowKernel(c, image->data + int64_t{y} * image->stride, floats.data());
        if (grey) {
            // Missing samples of the last word are 0.
            for (uint64_t k = 0; k < lineBytes / 4; ++k) {
                uint32_t word = 0;
                for (uint32_t j = 0; j < 3; ++j) {
                    const uint64_t x = 3 * k + j;
                    if (x < w) word |= Code(floats[x]) << (22 - 10 * j);
                }
                ILPutLe32(packed.data() + 4 * k, word);
            }
        } else {
            for (uint32_t x = 0; x < w; ++x) {
                const float* bgr = floats.data() + 3 * size_t{x};
                const uint32_t word = Code(bgr[2]) << 22 | Code(bgr[1]) << 12 | Code(bgr[0]) << 2;
                ILPutLe32(packed.data() + 4 * size_t{x}, word);
            }
        }
        if (!writer.WriteBytes(packed.data(), packed.size())) return ILReportWriteFailed(h);
    }
    if (!out.Close()) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILSaveCineon(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo*) {
    return ILGuardSave(h, kModule, [&] { return Save(h, path, image); });
}
