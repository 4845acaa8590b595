// DDS reading: the first surface of DirectDraw Surface files, uncompressed
// 8, 16, 24 and 32-bit colour or luminance pixels described by channel
// masks, and the block formats DXT1 to DXT5 (DXT2 and DXT4 delivered
// pre-multiplied). Pixels are written as 8-bit B, G, R or B, G, R, A
// straight into the image rows.
// Not handled: mipmap levels, cube faces and volume slices after the first
// surface, DX10 headers and the newer block formats, bump-map pixel formats.
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
#include "imglib/metadata/info.h"

namespace {

constexpr char kModule[] = "DDS";

// "DDS ", then the 124-byte header: u32 size at 4, height at 12, width at
// 16, the pixel format at 76 (u32 size, flags at 80, FourCC at 84, RGB bit
// count at 88, masks red, green, blue, alpha at 92..104). Pixels from 128.
constexpr size_t kHeaderBytes = 128;
constexpr uint32_t kFlagRgb = 0x40;
constexpr uint32_t kFlagFourCC = 0x4;
constexpr uint32_t kFlagLuminance = 0x20000;
constexpr uint64_t kImageBytesAlwaysAllowed = uint64_t{64} << 20;

enum class Kind { kRgb, kDxt1, kDxt2, kDxt3, kDxt4, kDxt5 };

struct Format {
    Kind kind;
    uint32_t bits;     // uncompressed: bits per pixel
    uint32_t masks[4]; // blue, green, red, alpha
    ILPixelType source;
};

// A channel's 8-bit value from a pixel by its mask; 255 for a mask that
// names no known field.
uint8_t Channel(uint32_t pixel, uint32_t mask, uint32_t bits) {
    if (mask == 0) return 255;
    const int shift = __builtin_ctz(mask);
    const uint32_t width = static_cast<uint32_t>(__builtin_popcount(mask));
    const uint32_t v = (pixel & mask) >> shift;
    if (bits >= 24 && width == 8 && shift % 8 == 0) return static_cast<uint8_t>(v);
    if (bits == 16 || bits == 8) {
        switch (width) {
            case 1:
                return v ? 255 : 0;
            case 2:
                return static_cast<uint8_t>(v * 85);
            case 3:
                return static_cast<uint8_t>(v << 5 | v << 2 | v >> 1);
            case 4:
                return static_cast<uint8_t>(v * 17);
            case 5:
                return static_cast<uint8_t>(v << 3 | v >> 2);
            case 6:
                return static_cast<uint8_t>(v << 2 | v >> 4);
            default:
                break;
        }
    }
    // Any other run of bits (10-bit channels of 32-bit pixels, say) is
    // scaled to 8 bits; a mask with gaps names no field.
    const uint32_t largest = mask >> shift;
    if (width > 24 || (largest & (largest + 1)) != 0) return 255;
    return static_cast<uint8_t>((uint64_t{v} * 255 + largest / 2) / largest);
}

// The four colours of a block as B, G, R, A: opaque but for the fourth of
// a DXT1 block in three-colour mode, which is transparent black.
void ColorTable(const uint8_t* block, bool threeColour, uint8_t table[4][4]) {
    const uint32_t c0 = ILGetLe16(block), c1 = ILGetLe16(block + 2);
    auto unpack = [](uint32_t c, uint8_t* out) {
        // Widened with their top bits repeated, as for uncompressed
        // pixels, so that white stays white.
        const uint32_t b = c & 0x1F, g = (c >> 5) & 0x3F, r = (c >> 11) & 0x1F;
        out[0] = static_cast<uint8_t>(b << 3 | b >> 2);
        out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
        out[2] = static_cast<uint8_t>(r << 3 | r >> 2);
        out[3] = 255;
    };
    unpack(c0, table[0]);
    unpack(c1, table[1]);
    for (int k = 0; k < 3; ++k) {
        const uint32_t a = table[0][k], b = table[1][k];
        if (threeColour && c0 < c1) {
            table[2][k] = static_cast<uint8_t>((a + b) / 2);
            table[3][k] = 0;
        } else {
            table[2][k] = static_cast<uint8_t>((2 * a + b + 1) / 3);
            table[3][k] = static_cast<uint8_t>((a + 2 * b + 1) / 3);
        }
    }
    table[2][3] = 255;
    table[3][3] = threeColour && c0 < c1 ? 0 : 255;
}

// Whether a DXT1 colour block is in three-colour mode and uses its
// transparent fourth entry.
bool HasTransparentTexel(const uint8_t* block) {
    if (ILGetLe16(block) >= ILGetLe16(block + 2)) return false;
    const uint32_t indices = ILGetLe32(block + 4);
    for (uint32_t i = 0; i < 16; ++i)
        if (((indices >> (2 * i)) & 3) == 3) return true;
    return false;
}

// Whether any block of a DXT1 surface has a transparent texel; the reader
// is left at the surface's start.
bool Dxt1HasTransparency(ILFileReader* r, uint32_t width, uint32_t height) {
    const uint64_t blocks = (uint64_t{width} + 3) / 4 * ((uint64_t{height} + 3) / 4);
    uint8_t chunk[8 * 512];
    bool found = false;
    for (uint64_t done = 0; done < blocks && !found;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(blocks - done, 512) * 8);
        const size_t got = r->Read(chunk, want);
        for (size_t at = 0; at + 8 <= got && !found; at += 8)
            found = HasTransparentTexel(chunk + at);
        if (got < want) break;
        done += want / 8;
    }
    r->Seek(kHeaderBytes, 0);
    return found;
}

void AlphaExplicit(const uint8_t* block, uint8_t alpha[16]) {
    for (int i = 0; i < 16; ++i)
        alpha[i] = static_cast<uint8_t>(((block[i / 2] >> (i % 2 * 4)) & 15) * 17);
}

void AlphaInterpolated(const uint8_t* block, uint8_t alpha[16]) {
    const uint32_t a0 = block[0], a1 = block[1];
    uint32_t values[8] = {a0, a1};
    if (a1 < a0) {
        for (uint32_t i = 1; i < 7; ++i)
            values[i + 1] = ((7 - i) * a0 + i * a1 + 3) / 7;
    } else {
        for (uint32_t i = 1; i < 5; ++i)
            values[i + 1] = ((5 - i) * a0 + i * a1 + 2) / 5;
        values[6] = 0;
        values[7] = 255;
    }
    for (int half = 0; half < 2; ++half) {
        const uint8_t* b = block + 2 + 3 * half;
        const uint32_t bits = b[0] | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16;
        for (int i = 0; i < 8; ++i)
            alpha[8 * half + i] = static_cast<uint8_t>(values[(bits >> (3 * i)) & 7]);
    }
}

bool ReadFormat(const uint8_t* h, Format* f) {
    const uint32_t flags = ILGetLe32(h + 80);
    if (flags & (kFlagRgb | kFlagLuminance)) {
        f->kind = Kind::kRgb;
        f->bits = ILGetLe32(h + 88);
        if (f->bits != 8 && f->bits != 16 && f->bits != 24 && f->bits != 32) return false;
        // Luminance surfaces have one grey field, the red mask; a mask
        // beyond the pixel's bits (some writers give 0xFF000000 for 8-bit
        // pixels) means the whole pixel.
        const bool grey = !(flags & kFlagRgb);
        uint32_t luminance = ILGetLe32(h + 92);
        if (grey && (luminance == 0 || (f->bits < 32 && luminance >> f->bits)))
            luminance = f->bits == 32 ? 0xFFFFFFFF : (1u << std::min(f->bits, 16u)) - 1;
        f->masks[0] = grey ? luminance : ILGetLe32(h + 100);
        f->masks[1] = grey ? luminance : ILGetLe32(h + 96);
        f->masks[2] = grey ? luminance : ILGetLe32(h + 92);
        f->masks[3] = ILGetLe32(h + 104);
        f->source = f->masks[3] ? IL_BGRA8 : IL_BGR8;
        return true;
    }
    if (!(flags & kFlagFourCC)) return false;
    const uint8_t* cc = h + 84;
    if (cc[0] != 'D' || cc[1] != 'X' || cc[2] != 'T' || cc[3] < '1' || cc[3] > '5') return false;
    static constexpr Kind kKinds[] = {Kind::kDxt1, Kind::kDxt2, Kind::kDxt3, Kind::kDxt4,
                                      Kind::kDxt5};
    f->kind = kKinds[cc[3] - '1'];
    f->bits = 0;
    f->source = f->kind == Kind::kDxt1                             ? IL_BGR8
                : f->kind == Kind::kDxt2 || f->kind == Kind::kDxt4 ? IL_BGRPA8
                                                                   : IL_BGRA8;
    return true;
}

void FillInfo(ILInfo* info, const Format& f, uint32_t width, uint32_t height) {
    info->formatId = IL_FORMAT_DDS;
    info->width = width;
    info->height = height;
    info->colorType = IL_CT_RGB;
    const bool alpha = ILHasAlpha(f.source);
    info->channels = alpha ? 4 : 3;
    info->alphaKind = ILIsPremultiplied(f.source) ? IL_ALPHA_PREMULTIPLIED
                      : alpha                     ? IL_ALPHA_STRAIGHT
                                                  : IL_ALPHA_NONE;
    static constexpr uint32_t kCompression[] = {IL_COMP_NONE, IL_COMP_DXT1, IL_COMP_DXT2,
                                                IL_COMP_DXT3, IL_COMP_DXT4, IL_COMP_DXT5};
    info->compression = kCompression[static_cast<int>(f.kind)];
    info->bitsPerPixel = f.kind == Kind::kRgb ? f.bits : f.kind == Kind::kDxt1 ? 8 : 12;
    info->gamma = 2.2;
    info->gammaKind = IL_GAMMA_ASSUMED;
    info->pages = 1;
}

ILResult ReadRgb(ILHandle* h, ILFileReader* r, const Format& f, ILImage* image) {
    const uint32_t n = f.bits / 8, out = image->channels;
    std::vector<uint8_t> row(size_t{image->width} * n);
    for (uint32_t y = 0; y < image->height; ++y) {
        const size_t got = r->Read(row.data(), row.size());
        std::memset(row.data() + got, 0, row.size() - got);
        uint8_t* target = image->data + int64_t{y} * image->stride;
        for (uint32_t x = 0; x < image->width; ++x) {
            uint32_t pixel = 0;
            for (uint32_t k = 0; k < n; ++k)
                pixel |= uint32_t{row[size_t{x} * n + k]} << (8 * k);
            for (uint32_t k = 0; k < out; ++k)
                target[size_t{x} * out + k] =
                    (k == 3 && n == 3) ? 255 : Channel(pixel, f.masks[k], f.bits);
        }
        if (got < row.size()) {
            for (uint32_t k = y + 1; k < image->height; ++k)
                std::memset(image->data + int64_t{k} * image->stride, 0, image->stride);
            return ILReportUnexpectedEnd(h);
        }
    }
    return IL_OK;
}

ILResult ReadBlocks(ILHandle* h, ILFileReader* r, const Format& f, ILImage* image) {
    const bool dxt1 = f.kind == Kind::kDxt1;
    const size_t blockBytes = dxt1 ? 8 : 16;
    const uint32_t blocksX = (image->width + 3) / 4, blocksY = (image->height + 3) / 4;
    const uint32_t out = image->channels;
    std::vector<uint8_t> blocks(size_t{blocksX} * blockBytes);
    for (uint32_t by = 0; by < blocksY; ++by) {
        const size_t got = r->Read(blocks.data(), blocks.size());
        for (uint32_t bx = 0; bx < blocksX && (bx + 1) * blockBytes <= got; ++bx) {
            const uint8_t* block = blocks.data() + bx * blockBytes;
            uint8_t alpha[16];
            std::fill(alpha, alpha + 16, 255);
            if (f.kind == Kind::kDxt2 || f.kind == Kind::kDxt3) AlphaExplicit(block, alpha);
            if (f.kind == Kind::kDxt4 || f.kind == Kind::kDxt5) AlphaInterpolated(block, alpha);
            uint8_t table[4][4];
            const uint8_t* colour = block + blockBytes - 8;
            ColorTable(colour, dxt1, table);
            const uint32_t indices = ILGetLe32(colour + 4);
            for (uint32_t i = 0; i < 16; ++i) {
                const uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
                if (x >= image->width || y >= image->height) continue;
                uint8_t* p = image->data + int64_t{y} * image->stride + size_t{x} * out;
                const uint8_t* entry = table[(indices >> (2 * i)) & 3];
                std::memcpy(p, entry, 3);
                if (out == 4) p[3] = dxt1 ? entry[3] : alpha[i];
            }
        }
        if (got < blocks.size()) return ILReportUnexpectedEnd(h);
    }
    return IL_OK;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFileReader r;
    if (const ILResult opened = r.Open(h, path, info); opened != IL_OK) return opened;
    if (image) ILClearImage(image);
    uint8_t header[kHeaderBytes];
    if (r.Read(header, sizeof header) != sizeof header || std::memcmp(header, "DDS ", 4) != 0 ||
        ILGetLe32(header + 4) != 124)
        return ILReportInvalidHeader(h);
    const uint32_t height = ILGetLe32(header + 12), width = ILGetLe32(header + 16);
    if (width == 0 || height == 0) return ILReportInvalidHeader(h);
    Format f{};
    if (!ReadFormat(header, &f)) return ILReportUnsupportedDataFormat(h);
    // DXT1 carries one bit of alpha in blocks of three colours.
    if (f.kind == Kind::kDxt1 && Dxt1HasTransparency(&r, width, height)) f.source = IL_BGRA8;
    if (info) FillInfo(info, f, width, height);
    if (!image) return IL_OK;

    const ILPixelType target = ILGetLoadPixelType(h, f.source, true);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint64_t imageBytes = ILImageBufferSize(width, height, f.source);
    const uint64_t needed = f.kind == Kind::kRgb
                                ? uint64_t{width} * height * (f.bits / 8)
                                : (uint64_t{width} + 3) / 4 * ((uint64_t{height} + 3) / 4) *
                                      (f.kind == Kind::kDxt1 ? 8 : 16);
    if (needed > r.size - kHeaderBytes && imageBytes > kImageBytesAlwaysAllowed) {
        return ILReportUnbackedClaim(h, width, height, r.size);
    }
    // The decoders write the file's own type; another load type is made
    // from it afterwards, which holds both images at once.
    const uint64_t held =
        imageBytes + (target != f.source ? ILImageBufferSize(width, height, target) : 0);
    if (const ILResult budget = ILCheckImageBudget(h, held); budget != IL_OK) return budget;
    if (ILReallocImage(image, width, height, f.source, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, imageBytes);
    const ILResult result =
        f.kind == Kind::kRgb ? ReadRgb(h, &r, f, image) : ReadBlocks(h, &r, f, image);
    if (target == f.source || (result != IL_OK && result != IL_PARTIAL)) return result;
    ILImage converted;
    ILInitImage(&converted);
    ILConverterOwner converter;
    if (ILReallocImage(&converted, width, height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(width, height, target));
    if (!ILConverterConvertImage(&converter.c, h, image, &converted)) {
        ILFreeImage(&converted);
        return ILReportUnsupportedDataFormat(h);
    }
    ILMoveImage(image, &converted, true, false);
    return result;
}

} // namespace

ILResult ILLoadDDS(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kModule, image, [&] { return Load(h, path, image, info); });
}
