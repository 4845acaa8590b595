// SGI reading and writing: Silicon Graphics image files.
// Read: verbatim and run-length encoded files of 1 to 4 channels (grey,
// grey and alpha, R, G, B, R, G, B, A) with 8 or 16-bit samples.
// Written: verbatim files of 1 to 4 channels, 8 or 16-bit, at most
// 65535 x 65535 pixels.
// Not handled: colour-map files (dithered, screen and colour-map types),
// more than four channels; the image name is neither read nor written.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <vector>

#include "imglib/byte_order.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"

namespace {

constexpr char kModule[] = "SGI";

// The 512-byte header, big-endian: u16 magic 0x01DA, u8 storage (0 verbatim,
// 1 run-length), u8 bytes per channel, u16 dimension, u16 width, u16 height,
// u16 channels, u32 minimum, u32 maximum, 4 dummy bytes, 80-byte name,
// u32 colour map (0 normal), 404 dummy bytes.
constexpr size_t kHeaderBytes = 512;
constexpr size_t kHeaderReadBytes = 108;
constexpr uint16_t kMagic = 0x01DA;
constexpr uint32_t kMaxSide = 65535;
// A run-length row of two bytes per 127 samples at best.
constexpr uint64_t kRleExpansion = 64;
constexpr uint64_t kImageBytesAlwaysAllowed = uint64_t{64} << 20;

struct SgiReader : ILFileReader {
    uint32_t width = 0, height = 0, channels = 0, bytesPerChannel = 0;
    ILPixelType sourceType = 0;
    uint32_t colorType = 0;
    uint32_t compression = IL_COMP_NONE;
};

constexpr ILPixelType kTypes8[] = {IL_GREY8, IL_GREY_A8, IL_BGR8, IL_BGRA8};
constexpr ILPixelType kTypes16[] = {IL_GREY16, IL_GREY_A16, IL_BGR16, IL_BGRA16};

// 1, or -7 (short), -10 (refused field), -12 (storage), 0 (colour map).
ILResult ReadHeader(SgiReader* r) {
    uint8_t b[kHeaderReadBytes];
    if (r->Read(b, sizeof b) != sizeof b) return IL_READ_FAILED;
    if (ILGetBe16(b) != kMagic) return IL_INVALID_HEADER;
    if (b[2] > 1) return IL_REFUSED_CONTENTS;
    r->compression = b[2] == 1 ? IL_COMP_RLE : IL_COMP_NONE;
    r->bytesPerChannel = b[3];
    const uint32_t dimension = ILGetBe16(b + 4);
    r->width = ILGetBe16(b + 6);
    r->height = dimension == 1 ? 1 : ILGetBe16(b + 8);
    r->channels = dimension == 3 ? ILGetBe16(b + 10) : 1;
    if (dimension < 1 || dimension > 3 || r->width == 0 || r->height == 0) return IL_INVALID_HEADER;
    if (r->channels < 1 || r->channels > 4) return IL_INVALID_HEADER;
    if (r->bytesPerChannel != 1 && r->bytesPerChannel != 2) return IL_INVALID_HEADER;
    if (ILGetBe32(b + 104) != 0) return IL_FAILED;
    r->sourceType = (r->bytesPerChannel == 1 ? kTypes8 : kTypes16)[r->channels - 1];
    r->colorType = r->channels <= 2 ? IL_CT_GRAY : IL_CT_RGB;
    return IL_OK;
}

void FillInfo(ILInfo* info, const SgiReader& r) {
    info->formatId = IL_FORMAT_SGI;
    info->width = r.width;
    info->height = r.height;
    info->bitsPerPixel = r.bytesPerChannel * r.channels * 8;
    info->channels = r.channels;
    info->colorType = r.colorType;
    info->compression = r.compression;
    info->gamma = 2.2;
    info->gammaKind = IL_GAMMA_ASSUMED;
    info->pages = 1;
}

// One run-length row of one channel into width samples; false when the
// packets add up to more than the width or run past the row's bytes.
bool DecodeRleRow(const uint8_t* in, size_t size, uint8_t* out, uint32_t bytes, uint32_t width) {
    size_t pos = 0;
    uint32_t x = 0;
    for (;;) {
        if (size - pos < bytes) return true; // a row may end without its 0 packet
        const uint32_t head = bytes == 2 ? in[pos + 1] : in[pos];
        pos += bytes;
        const uint32_t count = head & 0x7F;
        if (count == 0) return true;
        if (count > width - x) return false;
        if (head & 0x80) {
            const size_t n = size_t{count} * bytes;
            if (size - pos < n) return false;
            std::memcpy(out + size_t{x} * bytes, in + pos, n);
            pos += n;
        } else {
            if (size - pos < bytes) return false;
            for (uint32_t k = 0; k < count; ++k)
                std::memcpy(out + size_t{x + k} * bytes, in + pos, bytes);
            pos += bytes;
        }
        x += count;
    }
}

// The planes in the order the pixel type holds them: B, G, R come from the
// file's planes 2, 1, 0; grey and alpha in file order.
uint32_t FilePlane(uint32_t channels, uint32_t k) {
    if (channels < 3 || k == 3) return k;
    return 2 - k;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    SgiReader r;
    if (const ILResult opened = r.Open(h, path, info); opened != IL_OK) return opened;
    if (image) ILClearImage(image);
    if (const ILResult header = ReadHeader(&r); header != IL_OK) {
        ILReportInvalidHeader(h);
        return header;
    }
    if (info) FillInfo(info, r);
    if (!image) return IL_OK;

    const ILPixelType target = ILGetLoadPixelType(h, r.sourceType, false);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint64_t imageBytes = ILImageBufferSize(r.width, r.height, target);
    const uint64_t planeRow = uint64_t{r.width} * r.bytesPerChannel;
    const uint64_t rows = uint64_t{r.height} * r.channels;
    const uint64_t data = r.size > kHeaderBytes ? r.size - kHeaderBytes : 0;
    const bool rle = r.compression == IL_COMP_RLE;
    // Without the two row tables not one row can be read: a failure, not a
    // partial image.
    if (rle && rows * 8 > data) {
        ILReportUnexpectedEnd(h);
        return IL_FAILED;
    }
    if (planeRow * rows > (rle ? data * kRleExpansion : data) &&
        imageBytes > kImageBytesAlwaysAllowed) {
        return ILReportUnbackedClaim(h, r.width, r.height, r.size);
    }
    if (const ILResult budget = ILCheckImageBudget(h, imageBytes); budget != IL_OK) return budget;
    if (ILReallocImage(image, r.width, r.height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, imageBytes);
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetModes(c, r.sourceType, image->type, r.width);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);

    std::vector<uint32_t> offsets(rows), lengths;
    if (rle) {
        std::vector<uint8_t> tables(rows * 8);
        if (!r.Seek(kHeaderBytes, 0) || r.Read(tables.data(), tables.size()) != tables.size()) {
            ILReportUnexpectedEnd(h);
            return IL_FAILED;
        }
        lengths.resize(rows);
        for (uint64_t i = 0; i < rows; ++i) {
            offsets[i] = ILGetBe32(tables.data() + 4 * i);
            lengths[i] = ILGetBe32(tables.data() + 4 * (rows + i));
        }
    }
    const uint32_t n = r.bytesPerChannel;
    std::vector<uint8_t> planes(planeRow * r.channels), packed, pixels(planeRow * r.channels);
    // File rows run from the bottom up.
    for (uint32_t i = 0; i < r.height; ++i) {
        const uint32_t y = r.height - 1 - i;
        bool ended = false;
        for (uint32_t k = 0; k < r.channels && !ended; ++k) {
            const uint32_t plane = FilePlane(r.channels, k);
            uint8_t* out = planes.data() + planeRow * k;
            const uint64_t index = uint64_t{plane} * r.height + i;
            if (!rle) {
                const uint64_t at = kHeaderBytes + index * planeRow;
                const size_t got = r.Seek(static_cast<int64_t>(at), 0) ? r.Read(out, planeRow) : 0;
                std::memset(out + got, 0, planeRow - got);
                ended = got < planeRow;
                continue;
            }
            std::memset(out, 0, planeRow);
            // A row stored beyond the end of the file has ended the data.
            const uint64_t length = std::min<uint64_t>(lengths[index], r.size);
            packed.resize(length);
            const size_t got = r.Seek(offsets[index], 0) ? r.Read(packed.data(), length) : 0;
            if (!DecodeRleRow(packed.data(), got, out, n, r.width))
                return ILReportDecompressionFailed(h);
            ended = got < length || (length == 0 && lengths[index] != 0);
        }
        // Interleave, 16-bit samples from big-endian.
        const uint32_t step = n * r.channels;
        for (uint32_t k = 0; k < r.channels; ++k) {
            const uint8_t* in = planes.data() + planeRow * k;
            for (uint32_t x = 0; x < r.width; ++x) {
                uint8_t* p = pixels.data() + size_t{x} * step + size_t{k} * n;
                if (n == 1) {
                    p[0] = in[x];
                } else {
                    p[0] = in[2 * x + 1];
                    p[1] = in[2 * x];
                }
            }
        }
        c->rowKernel(c, pixels.data(), image->data + int64_t{y} * image->stride);
        if (ended) {
            for (uint32_t j = i + 1; j < r.height; ++j)
                std::memset(image->data + int64_t{r.height - 1 - j} * image->stride, 0,
                            image->stride);
            return ILReportUnexpectedEnd(h);
        }
    }
    return IL_OK;
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image) {
    if (!image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    if (image->width > kMaxSide || image->height > kMaxSide) {
        ILErrorF(h, "SGI files hold at most %u x %u pixels", kMaxSide, kMaxSide);
        return IL_BAD_ARGUMENT;
    }
    const bool grey = ILPixelModel(image->type) == IL_MODEL_GRAY;
    const bool alpha = ILHasAlpha(image->type);
    const uint32_t n = ILSampleKind(image->type) < IL_KIND_12 ? 1 : 2;
    const uint32_t channels = (grey ? 1 : 3) + (alpha ? 1 : 0);
    const ILPixelType rowType = (n == 1 ? kTypes8 : kTypes16)[channels - 1];
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetAlphaMode(c, h->alphaMode);
    ILConverterSetBackground(c, h->background);
    ILConverterSetImageTarget(c, image, rowType);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    const uint32_t w = image->width;
    std::vector<uint8_t> row(size_t{w} * n * channels), plane(size_t{w} * n);

    uint8_t header[kHeaderBytes] = {};
    ILPutBe16(header, kMagic);
    header[3] = static_cast<uint8_t>(n);
    ILPutBe16(header + 4, 3);
    ILPutBe16(header + 6, w);
    ILPutBe16(header + 8, image->height);
    ILPutBe16(header + 10, channels);
    ILPutBe16(header + 18, n == 1 ? 0xFF : 0xFFFF); // maximum pixel value, low half

    ILFileWriter out;
    if (const ILResult opened = out.Open(h, path); opened != IL_OK) return opened;
    if (out.Write(header, sizeof header) != sizeof header) return ILReportWriteFailed(h);
    // Planes R, G, B, A (or grey, alpha), each from the bottom row up.
    for (uint32_t p = 0; p < channels; ++p) {
        const uint32_t k = FilePlane(channels, p); // the plane's place in the row
        for (uint32_t y = image->height; y-- > 0;) {
            c->rowKernel(c, image->data + int64_t{y} * image->stride, row.data());
            for (uint32_t x = 0; x < w; ++x) {
                const uint8_t* s = row.data() + (size_t{x} * channels + k) * n;
                if (n == 1) {
                    plane[x] = s[0];
                } else {
                    plane[2 * x] = s[1];
                    plane[2 * x + 1] = s[0];
                }
            }
            if (out.Write(plane.data(), plane.size()) != plane.size())
                return ILReportWriteFailed(h);
        }
    }
    if (!out.Close()) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILLoadSGI(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kModule, image, [&] { return Load(h, path, image, info); });
}

ILResult ILSaveSGI(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo*) {
    return ILGuardSave(h, kModule, [&] { return Save(h, path, image); });
}
