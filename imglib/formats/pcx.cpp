// PCX reading and writing: ZSoft Paintbrush files.
// Read: 1-bit files (two colours from the header map when it has any),
// 4-bit files packed in one plane or as four bit planes
// (with the 16-entry header map), 8-bit files (with the 256-entry palette at
// the end, or grey), 24-bit files as three 8-bit planes; run-length encoded
// or not; grey when the palette is an even grey ramp; the resolution.
// Written: 1-bit grey files, 16-colour files in four bit planes (grey and
// indexed images of 1 to 4 bits with a palette), 8-bit grey and indexed
// files, 24-bit files for every other image; run-length encoded by the
// handle's pcxRLE option.
// Not handled: 2-bit CGA files, 4 planes of 8 bits, version-dependent
// default palettes.
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

constexpr char kModule[] = "PCX";

// The 128-byte header, little-endian:
//   0 u8 manufacturer 0x0A   1 u8 version     2 u8 encoding   3 u8 bits per plane
//   4 u16 x min  6 u16 y min  8 u16 x max  10 u16 y max  12 u16 hdpi  14 u16 vdpi
//  16 48-byte map (R, G, B)  64 reserved  65 u8 planes  66 u16 bytes per line
//  68 u16 palette information (1 colour, 2 grey)  70..127 zero
constexpr size_t kHeaderBytes = 128;
constexpr size_t kMapOffset = 16;
constexpr uint8_t kManufacturer = 0x0A;
constexpr uint8_t kPaletteMarker = 0x0C;
constexpr size_t kPaletteBytes = 768;
constexpr uint16_t kInfoColour = 1;
constexpr uint16_t kInfoGrey = 2;
constexpr uint32_t kMaxRun = 63;
// Up to this size a file may hold fewer rows than it claims (read as a
// partial image); larger claims must be backed by the file.
constexpr uint64_t kImageBytesAlwaysAllowed = uint64_t{64} << 20;

struct PcxReader : ILFileReader {
    uint32_t width = 0, height = 0;
    uint32_t bits = 0, planes = 0; // per plane; bits x planes is the pixel's
    ILPixelType sourceType = 0;
    uint32_t colorType = 0;
    uint32_t compression = IL_COMP_NONE;
    uint32_t bytesPerLine = 0;
    uint64_t scanlineBytes = 0;
    uint64_t paletteOffset = 0;
    uint32_t paletteEntries = 0;
    uint32_t dpiX = 0, dpiY = 0;
    uint64_t dataSize = 0;
};

// 1, or -7 when the header cannot be read, -10 when it is no PCX file or
// has a layout not served.
ILResult ReadHeader(PcxReader* r) {
    uint8_t b[kHeaderBytes];
    if (r->size < kHeaderBytes || r->Read(b, sizeof b) != sizeof b) return IL_READ_FAILED;
    if (b[0] != kManufacturer) return IL_INVALID_HEADER;
    const uint32_t xMin = ILGetLe16(b + 4), yMin = ILGetLe16(b + 6);
    const uint32_t xMax = ILGetLe16(b + 8), yMax = ILGetLe16(b + 10);
    if (xMin > xMax || yMin > yMax) return IL_INVALID_HEADER;
    r->width = xMax - xMin + 1;
    r->height = yMax - yMin + 1;
    r->dpiX = ILGetLe16(b + 12);
    r->dpiY = ILGetLe16(b + 14);
    r->bits = b[3];
    r->planes = b[65];
    r->bytesPerLine = ILGetLe16(b + 66);
    const bool grey = ILGetLe16(b + 68) == kInfoGrey;
    r->compression = b[2] != 0 ? IL_COMP_RLE : IL_COMP_NONE;
    r->dataSize = r->size - kHeaderBytes;
    // Bits per plane in the high byte, planes in the low: a product that
    // could mix them up (0 bits of 17 planes read as 1 of 1) would let the
    // row check below pass for lines too short for the kernel.
    switch (r->bits << 8 | r->planes) {
        case 0x0101:
            // Black and white, unless the header map gives just the two
            // colours: a full 16-colour map is a painting program's default
            // palette, not this picture's.
            if (std::any_of(b + kMapOffset, b + kMapOffset + 6, [](uint8_t v) { return v != 0; }) &&
                std::all_of(b + kMapOffset + 6, b + kMapOffset + 48,
                            [](uint8_t v) { return v == 0; })) {
                r->sourceType = IL_INDEX1;
                r->colorType = IL_CT_INDEXED;
                r->paletteOffset = kMapOffset;
                r->paletteEntries = 2;
            } else {
                r->sourceType = IL_GREY1;
                r->colorType = IL_CT_MONOCHROME;
            }
            break;
        case 0x0401:
        case 0x0104:
            if (grey && r->planes == 1) {
                r->sourceType = IL_GREY4;
                r->colorType = IL_CT_GRAY;
            } else {
                r->sourceType = IL_INDEX4;
                r->colorType = IL_CT_INDEXED;
                r->paletteOffset = kMapOffset;
                r->paletteEntries = 16;
            }
            break;
        case 0x0801:
            if (grey) {
                r->sourceType = IL_GREY8;
                r->colorType = IL_CT_GRAY;
                break;
            }
            if (r->dataSize < kPaletteBytes + 1) return IL_INVALID_HEADER;
            r->dataSize -= kPaletteBytes + 1;
            {
                uint8_t marker = 0;
                if (!r->Seek(static_cast<int64_t>(kHeaderBytes + r->dataSize), 0) ||
                    r->Read(&marker, 1) != 1 || marker != kPaletteMarker)
                    return IL_INVALID_HEADER;
            }
            r->sourceType = IL_INDEX8;
            r->colorType = IL_CT_INDEXED;
            r->paletteOffset = kHeaderBytes + r->dataSize + 1;
            r->paletteEntries = 256;
            break;
        case 0x0803:
            r->sourceType = IL_BGR8;
            r->colorType = IL_CT_RGB;
            break;
        default:
            return IL_INVALID_HEADER;
    }
    // Every plane's line must hold the row's pixels.
    if (r->bytesPerLine < (uint64_t{r->width} * r->bits + 7) / 8) return IL_INVALID_HEADER;
    r->scanlineBytes = uint64_t{r->bytesPerLine} * r->planes;
    return IL_OK;
}

bool ReadPalette(ILHandle* h, PcxReader* r, ILConverter* c) {
    ILPalette* palette = ILConverterNewPalette(c, r->paletteEntries);
    if (!palette) {
        ILReportOutOfMemory(h, uint64_t{r->paletteEntries} * sizeof(ILPaletteEntry));
        return false;
    }
    uint8_t bytes[kPaletteBytes] = {};
    if (r->Seek(static_cast<int64_t>(r->paletteOffset), 0))
        r->Read(bytes, size_t{r->paletteEntries} * 3);
    palette->LoadRGB8(r->paletteEntries, bytes);
    if (palette->IsGrayRamp()) {
        r->sourceType = (r->sourceType & ~IL_MODEL_MASK) | IL_MODEL_GRAY;
        r->colorType = r->sourceType == IL_GREY1 ? IL_CT_MONOCHROME : IL_CT_GRAY;
    }
    return true;
}

void FillInfo(ILInfo* info, const PcxReader& r) {
    info->formatId = IL_FORMAT_PCX;
    info->width = r.width;
    info->height = r.height;
    info->bitsPerPixel = r.bits * r.planes;
    info->channels = r.planes == 3 ? 3 : 1;
    info->ppiX = r.dpiX;
    info->ppiY = r.dpiY;
    info->colorType = r.colorType;
    info->compression = r.compression;
    info->gamma = 2.2;
    info->gammaKind = IL_GAMMA_ASSUMED;
    info->pages = 1;
}

enum class Scanline { kOk, kOverrun, kEnded };

// One scanline of run-length data; runs never continue into the next.
Scanline DecodeScanline(const uint8_t** pos, const uint8_t* end, uint8_t* out, uint64_t bytes) {
    const uint8_t* p = *pos;
    uint64_t n = 0;
    while (n < bytes) {
        if (p == end) {
            std::memset(out + n, 0, bytes - n);
            *pos = p;
            return Scanline::kEnded;
        }
        const uint8_t b = *p++;
        if (b < 0xC0) {
            out[n++] = b;
            continue;
        }
        const uint32_t count = b & 0x3Fu;
        if (p == end) {
            std::memset(out + n, 0, bytes - n);
            *pos = p;
            return Scanline::kEnded;
        }
        if (count > bytes - n) return Scanline::kOverrun;
        std::memset(out + n, *p++, count);
        n += count;
    }
    *pos = p;
    return Scanline::kOk;
}

// Four 1-bit planes into packed 4-bit pixels, plane 0 the lowest bit.
void JoinPlanes4(uint8_t* row, const uint8_t* scan, uint32_t width, uint32_t bytesPerLine) {
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t byte = x / 8, shift = 7 - x % 8;
        uint32_t v = 0;
        for (uint32_t p = 0; p < 4; ++p)
            v |= ((scan[p * bytesPerLine + byte] >> shift) & 1u) << p;
        if (x % 2)
            row[x / 2] = static_cast<uint8_t>(row[x / 2] | v);
        else
            row[x / 2] = static_cast<uint8_t>(v << 4);
    }
}

// Planes R, G, B into B, G, R pixels.
void JoinPlanes3(uint8_t* row, const uint8_t* scan, uint32_t width, uint32_t bytesPerLine) {
    const uint8_t* red = scan;
    const uint8_t* green = scan + bytesPerLine;
    const uint8_t* blue = scan + 2 * size_t{bytesPerLine};
    for (uint32_t x = 0; x < width; ++x) {
        row[3 * x] = blue[x];
        row[3 * x + 1] = green[x];
        row[3 * x + 2] = red[x];
    }
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    PcxReader r;
    if (const ILResult opened = r.Open(h, path, info); opened != IL_OK) return opened;
    if (image) ILClearImage(image);
    if (const ILResult header = ReadHeader(&r); header != IL_OK) {
        ILReportInvalidHeader(h);
        return header;
    }
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    if (r.paletteEntries && !ReadPalette(h, &r, c)) return IL_OUT_OF_MEMORY;
    if (info) FillInfo(info, r);
    if (!image) return IL_OK;

    const ILPixelType target = ILGetLoadPixelType(h, r.sourceType, false);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint64_t imageBytes = ILImageBufferSize(r.width, r.height, target);
    const uint64_t needed = r.scanlineBytes * r.height;
    const uint64_t held = r.compression == IL_COMP_RLE ? r.dataSize * kMaxRun : r.dataSize;
    if (needed > held && imageBytes > kImageBytesAlwaysAllowed) {
        return ILReportUnbackedClaim(h, r.width, r.height, r.size);
    }
    if (const ILResult budget = ILCheckImageBudget(h, imageBytes); budget != IL_OK) return budget;
    // Raw data beyond what the rows need is not read.
    const uint64_t dataBytes =
        r.compression == IL_COMP_RLE ? r.dataSize : std::min(r.dataSize, needed);
    // The data is read a window at a time (reading the whole file first
    // held it in memory beside the image): a window always holds a whole
    // scanline's codes however coded (a literal from 0xC0 up takes two bytes)
    // until the data ends.
    const uint64_t span = 2 * r.scanlineBytes + 2;
    const uint64_t capacity =
        std::min(std::max<uint64_t>(dataBytes, 1), std::max<uint64_t>(uint64_t{1} << 20, 2 * span));
    ILBuffer<uint8_t> data(static_cast<uint8_t*>(ILAlloc(h, capacity)));
    ILBuffer<uint8_t> scan(static_cast<uint8_t*>(ILAlloc(h, r.scanlineBytes)));
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, uint64_t{r.width} * 3)));
    if (!data || !scan || !row) return IL_OUT_OF_MEMORY;
    if (ILReallocImage(image, r.width, r.height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, imageBytes);
    ILConverterGivePalette(c, image);
    ILConverterSetModes(c, r.sourceType, target, r.width);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    if (!r.Seek(kHeaderBytes, 0)) return ILReportReadFailed(h);
    uint64_t unread = dataBytes;
    const uint8_t* pos = data.get();
    const uint8_t* end = data.get();
    auto refill = [&] {
        const uint64_t kept = end - pos;
        if (kept >= span || unread == 0) return;
        std::memmove(data.get(), pos, kept);
        const uint64_t want = std::min(capacity - kept, unread);
        const uint64_t got = r.Read(data.get() + kept, want);
        unread = got < want ? 0 : unread - got;
        pos = data.get();
        end = data.get() + kept + got;
    };
    const bool fourPlanes = r.planes == 4;
    for (uint32_t y = 0; y < r.height; ++y) {
        refill();
        bool ended = false;
        if (r.compression == IL_COMP_RLE) {
            const Scanline s = DecodeScanline(&pos, end, scan.get(), r.scanlineBytes);
            if (s == Scanline::kOverrun) return ILReportDecompressionFailed(h);
            ended = s == Scanline::kEnded;
        } else {
            const uint64_t take = std::min<uint64_t>(r.scanlineBytes, end - pos);
            std::memcpy(scan.get(), pos, take);
            std::memset(scan.get() + take, 0, r.scanlineBytes - take);
            pos += take;
            ended = take < r.scanlineBytes;
        }
        const uint8_t* source = scan.get();
        if (fourPlanes) {
            JoinPlanes4(row.get(), scan.get(), r.width, r.bytesPerLine);
            source = row.get();
        } else if (r.planes == 3) {
            JoinPlanes3(row.get(), scan.get(), r.width, r.bytesPerLine);
            source = row.get();
        }
        c->rowKernel(c, source, image->data + int64_t{y} * image->stride);
        if (ended) {
            for (uint32_t k = y + 1; k < r.height; ++k)
                std::memset(image->data + int64_t{k} * image->stride, 0, image->stride);
            return ILReportUnexpectedEnd(h);
        }
    }
    return IL_OK;
}

// Saving.

struct Layout {
    uint8_t version, bits, planes;
    uint16_t paletteInfo;
    uint32_t bytesPerLine;
    ILPixelType rowType;
    bool map16;      // the 16-entry header map holds the palette or grey ramp
    bool palette256; // the 256-entry palette or grey ramp follows the data
};

Layout PlanLayout(const ILImage& image) {
    const uint32_t model = ILPixelModel(image.type);
    const uint32_t depth = ILBitsPerSample(image.type);
    const bool grey = model == IL_MODEL_GRAY;
    const uint16_t info = grey ? kInfoGrey : kInfoColour;
    const uint32_t w = image.width;
    if (!grey && model != IL_MODEL_INDEXED) return {5, 8, 3, kInfoColour, w, IL_BGR8, false, false};
    if (grey && depth == 1) return {3, 1, 1, info, (w + 7) / 8, IL_GREY1, true, false};
    // Indexed images of up to 4 bits, and 1-bit ones too (their palette
    // would be lost in a 1-plane file), and 2 and 4-bit grey: 16 colours.
    // Grey files carry a grey ramp as their map too: readers that ignore the
    // palette information take the colours from it (netpbm refuses an 8-bit
    // file without a palette).
    if (depth < 8) return {5, 1, 4, info, (w + 7) / 8, grey ? IL_GREY4 : IL_INDEX4, true, false};
    if (grey) return {5, 8, 1, info, w, IL_GREY8, false, true};
    return {5, 8, 1, info, w, IL_INDEX8, false, true};
}

// n R, G, B entries: a grey ramp for grey images, else the palette (the
// entries beyond it zero).
void WriteMap(const ILImage& image, uint32_t n, uint8_t* out) {
    if (ILPixelModel(image.type) == IL_MODEL_GRAY) {
        for (uint32_t i = 0; i < n; ++i)
            std::memset(out + 3 * i, static_cast<int>(i * 255 / (n - 1)), 3);
    } else if (image.palette) {
        image.palette->WriteRGB8(n, out);
    }
}

std::vector<uint8_t> Header(const ILImage& image, const ILInfo* info, const Layout& l, bool rle) {
    std::vector<uint8_t> b(kHeaderBytes, 0);
    b[0] = kManufacturer;
    b[1] = l.version;
    b[2] = rle ? 1 : 0;
    b[3] = l.bits;
    ILPutLe16(b.data() + 8, static_cast<uint16_t>(image.width - 1));
    ILPutLe16(b.data() + 10, static_cast<uint16_t>(image.height - 1));
    if (info) {
        ILPutLe16(b.data() + 12, static_cast<uint16_t>(std::min<uint32_t>(info->ppiX, 65535)));
        ILPutLe16(b.data() + 14, static_cast<uint16_t>(std::min<uint32_t>(info->ppiY, 65535)));
    }
    // A 1-bit map holds black and white.
    if (l.map16) WriteMap(image, l.planes == 1 ? 2 : 16, b.data() + kMapOffset);
    b[65] = l.planes;
    ILPutLe16(b.data() + 66, static_cast<uint16_t>(l.bytesPerLine));
    ILPutLe16(b.data() + 68, l.paletteInfo);
    return b;
}

// Packed 4-bit pixels into four 1-bit planes.
void SplitPlanes4(uint8_t* scan, const uint8_t* row, uint32_t width, uint32_t bytesPerLine) {
    std::memset(scan, 0, size_t{bytesPerLine} * 4);
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t v = (x % 2) ? row[x / 2] & 15u : row[x / 2] >> 4;
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
        for (uint32_t p = 0; p < 4; ++p)
            if (v >> p & 1) scan[p * bytesPerLine + x / 8] |= bit;
    }
}

// 1 or 2-bit indexes into packed 4-bit ones.
void WidenIndexes(uint8_t* row, const uint8_t* source, uint32_t width, uint32_t bits) {
    const uint32_t mask = (1u << bits) - 1;
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t at = x * bits;
        const uint32_t v = source[at / 8] >> (8 - bits - at % 8) & mask;
        if (x % 2)
            row[x / 2] = static_cast<uint8_t>(row[x / 2] | v);
        else
            row[x / 2] = static_cast<uint8_t>(v << 4);
    }
}

// B, G, R pixels into the planes R, G, B.
void SplitPlanes3(uint8_t* scan, const uint8_t* row, uint32_t width, uint32_t bytesPerLine) {
    for (uint32_t x = 0; x < width; ++x) {
        scan[x] = row[3 * x + 2];
        scan[bytesPerLine + x] = row[3 * x + 1];
        scan[2 * size_t{bytesPerLine} + x] = row[3 * x];
    }
}

// Runs of at most 63 equal bytes that never cross a plane's end; a single
// byte of 0xC0 or more is written as a run of one.
void EncodeScanline(const uint8_t* scan, uint64_t bytes, uint32_t bytesPerLine,
                    std::vector<uint8_t>* out) {
    out->clear();
    for (uint64_t start = 0; start < bytes; start += bytesPerLine) {
        const uint8_t* line = scan + start;
        for (uint32_t i = 0; i < bytesPerLine;) {
            uint32_t n = 1;
            while (n < kMaxRun && i + n < bytesPerLine && line[i + n] == line[i])
                ++n;
            if (n > 1 || line[i] >= 0xC0) out->push_back(static_cast<uint8_t>(0xC0 | n));
            out->push_back(line[i]);
            i += n;
        }
    }
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    if (!image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const Layout l = PlanLayout(*image);
    // x and y maximum hold width - 1 and height - 1, bytes per line 16 bits.
    if (image->width > 65536 || image->height > 65536 || l.bytesPerLine > 65535) {
        ILError(h, "The image is too large for a PCX file");
        return IL_BAD_ARGUMENT;
    }
    // 1 and 2-bit indexes are widened to 4 bits here: the converter keeps
    // indexed rows at their depth.
    const uint32_t indexBits = ILBitsPerSample(image->type);
    const bool widenIndex = ILPixelModel(image->type) == IL_MODEL_INDEXED && indexBits < 4 &&
                            !ILHasAlpha(image->type) && image->channels * image->bits == indexBits;
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    if (!widenIndex) {
        ILConverterSetAlphaMode(c, h->alphaMode);
        ILConverterSetBackground(c, h->background);
        ILConverterSetImageTarget(c, image, l.rowType);
        if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    }
    const uint64_t scanBytes = uint64_t{l.bytesPerLine} * l.planes;
    ILBuffer<uint8_t> scan(static_cast<uint8_t*>(ILAlloc(h, scanBytes)));
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, uint64_t{image->width} * 3 + 1)));
    if (!scan || !row) return IL_OUT_OF_MEMORY;

    const bool rle = h->pcxRLE != 0;
    ILFileWriter out;
    if (const ILResult opened = out.Open(h, path); opened != IL_OK) return opened;
    const std::vector<uint8_t> header = Header(*image, info, l, rle);
    if (out.Write(header.data(), header.size()) != header.size()) return ILReportWriteFailed(h);
    std::vector<uint8_t> packed;
    const bool split = l.planes > 1;
    for (uint32_t y = 0; y < image->height; ++y) {
        const uint8_t* source = image->data + int64_t{y} * image->stride;
        if (widenIndex)
            WidenIndexes(row.get(), source, image->width, indexBits);
        else
            c->rowKernel(c, source, split ? row.get() : scan.get());
        if (l.planes == 4) SplitPlanes4(scan.get(), row.get(), image->width, l.bytesPerLine);
        if (l.planes == 3) SplitPlanes3(scan.get(), row.get(), image->width, l.bytesPerLine);
        const uint8_t* bytes = scan.get();
        size_t count = scanBytes;
        if (rle) {
            EncodeScanline(scan.get(), scanBytes, l.bytesPerLine, &packed);
            bytes = packed.data();
            count = packed.size();
        }
        if (out.Write(bytes, count) != count) return ILReportWriteFailed(h);
    }
    if (l.palette256) {
        uint8_t palette[kPaletteBytes + 1] = {kPaletteMarker};
        WriteMap(*image, 256, palette + 1);
        if (out.Write(palette, sizeof palette) != sizeof palette) return ILReportWriteFailed(h);
    }
    if (!out.Close()) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILLoadPCX(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kModule, image, [&] { return Load(h, path, image, info); });
}

ILResult ILSavePCX(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    return ILGuardSave(h, kModule, [&] { return Save(h, path, image, info); });
}
