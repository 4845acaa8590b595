// GIF reading: GIF87a and GIF89a files. The records are read into a list of
// frames; only the leading frames of an animation, up to the first one with
// a delay, are kept and LZW-decoded (none for an info-only load, the rest are
// skipped), then drawn over each other into one still image: indexed or grey of 1, 2, 4 or 8 bits,
// or B, G, R (with alpha for a transparent first frame) when several colour tables meet or the
// handle's load mode asks for true colour. Plain-text extensions become frames of their own with
// the text drawn in. Not handled: disposal methods (frames are drawn over each other), comments and
// application data other than the loop count.
#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <utility>
#include <vector>

#include "imglib/byte_order.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/gif_plain_text.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"

namespace {

constexpr char kModule[] = "GIF";
constexpr uint32_t kMaxCodes = 4096;

struct ColorMap {
    uint32_t count = 0; // 2 to 256
    uint32_t bits = 0;  // 1 to 8
    uint8_t rgb[256 * 3] = {};
};

struct Frame {
    uint32_t left = 0, top = 0, width = 0, height = 0;
    bool interlaced = false;
    bool hasLocal = false;
    ColorMap local;
    ILBuffer<uint8_t> pixels;
    uint32_t delay = 0, disposal = 0;
    int32_t transparent = -1;
};

struct Decoder {
    ILHandle* h = nullptr;
    const uint8_t* data = nullptr;
    size_t size = 0, pos = 0;
    uint32_t version = 0;
    uint32_t screenWidth = 0, screenHeight = 0;
    uint32_t colorResolution = 0;
    uint32_t background = 0;
    int32_t loopCount = -1;
    bool hasGlobal = false;
    ColorMap global;
    std::vector<Frame> frames;
    bool wantPixels = true;    // false for an info-only load
    bool composedRead = false; // a frame with a delay ends the composed ones
    uint64_t pixelBytes = 0;   // of every frame kept so far, against the budget
    ILResult refusal = IL_OK;  // why a frame could not be made

    bool Take(size_t n, const uint8_t** out) {
        if (size - pos < n) return false;
        *out = data + pos;
        pos += n;
        return true;
    }
    int Byte() { return pos < size ? data[pos++] : -1; }
    // Skips sub-blocks up to and including the zero-size terminator.
    bool SkipBlocks() {
        for (;;) {
            const int n = Byte();
            if (n < 0) return false;
            if (n == 0) return true;
            const uint8_t* skipped;
            if (!Take(static_cast<size_t>(n), &skipped)) return false;
        }
    }
};

enum Records { kFailed = 0, kOk = 1, kDamaged = 2, kUnknownRecord = 3, kNoTrailer = 4 };

bool ReadColorMap(Decoder* d, uint32_t flags, ColorMap* map) {
    map->bits = (flags & 7) + 1;
    map->count = 1u << map->bits;
    const uint8_t* p;
    if (!d->Take(size_t{map->count} * 3, &p)) return false;
    std::memcpy(map->rgb, p, size_t{map->count} * 3);
    return true;
}

// LZW data of one image into width x height indices. False when the data is
// damaged or ends early; the pixels decoded so far stay.
bool DecodeLzw(Decoder* d, uint8_t* out, uint64_t count) {
    const int minSize = d->Byte();
    if (minSize < 1 || minSize > 11) return false;
    // The sub-blocks joined into one run of bytes.
    std::vector<uint8_t> bytes;
    bool terminated = false;
    for (;;) {
        const int n = d->Byte();
        if (n <= 0) {
            terminated = n == 0;
            break;
        }
        const uint8_t* p;
        if (!d->Take(static_cast<size_t>(n), &p)) break;
        bytes.insert(bytes.end(), p, p + n);
    }
    const uint32_t clear = 1u << minSize, end = clear + 1;
    uint16_t prefix[kMaxCodes];
    uint8_t suffix[kMaxCodes];
    uint16_t length[kMaxCodes];
    for (uint32_t i = 0; i < clear; ++i) {
        suffix[i] = static_cast<uint8_t>(i);
        length[i] = 1;
    }
    uint32_t width = minSize + 1, next = clear + 2;
    int32_t previous = -1;
    uint64_t bitBuffer = 0;
    uint32_t bitCount = 0;
    size_t at = 0;
    uint64_t done = 0;
    while (done < count) {
        while (bitCount < width) {
            if (at == bytes.size()) return false;
            bitBuffer |= uint64_t{bytes[at++]} << bitCount;
            bitCount += 8;
        }
        const uint32_t code = static_cast<uint32_t>(bitBuffer & ((1u << width) - 1));
        bitBuffer >>= width;
        bitCount -= width;
        if (code == clear) {
            width = minSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end) return false;
        uint32_t first;
        if (code < next && (code < clear || code > end)) {
            // A known string, written from its end backwards.
            const uint32_t n = length[code];
            if (n > count - done) return false;
            uint32_t c = code;
            for (uint32_t k = n; k-- > 0;) {
                out[done + k] = suffix[c];
                c = prefix[c];
            }
            first = out[done];
            done += n;
        } else if (code == next && previous >= 0) {
            // The code being defined: the previous string and its first pixel.
            const uint32_t n = length[previous] + 1u;
            if (n > count - done) return false;
            uint32_t c = static_cast<uint32_t>(previous);
            for (uint32_t k = n - 1; k-- > 0;) {
                out[done + k] = suffix[c];
                c = prefix[c];
            }
            first = out[done];
            out[done + n - 1] = static_cast<uint8_t>(first);
            done += n;
        } else {
            return false;
        }
        if (previous >= 0 && next < kMaxCodes) {
            prefix[next] = static_cast<uint16_t>(previous);
            suffix[next] = static_cast<uint8_t>(first);
            length[next] = static_cast<uint16_t>(length[previous] + 1);
            ++next;
            if (next == (1u << width) && width < 12) ++width;
        }
        previous = static_cast<int32_t>(code);
    }
    return terminated;
}

// A new frame, with its pixels allocated (zero) against the budget when the
// load wants them. Its size must be one the file could carry: a few bytes
// may not claim gigabytes.
Frame* NewFrame(Decoder* d, uint32_t left, uint32_t top, uint32_t width, uint32_t height) {
    if (!ILClaimIsBacked(width, height, d->size)) {
        d->refusal = ILReportUnbackedClaim(d->h, width, height, d->size);
        return nullptr;
    }
    d->refusal = IL_OUT_OF_MEMORY;
    const uint64_t bytes = uint64_t{width} * height;
    if (d->wantPixels) {
        d->pixelBytes += bytes;
        if (ILCheckImageBudget(d->h, d->pixelBytes) != IL_OK) return nullptr;
    }
    Frame& f = d->frames.emplace_back();
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    if (d->wantPixels) {
        f.pixels.reset(static_cast<uint8_t*>(ILAlloc(d->h, std::max<uint64_t>(bytes, 1))));
        if (!f.pixels) {
            d->frames.pop_back();
            return nullptr;
        }
        std::memset(f.pixels.get(), 0, bytes);
    }
    d->refusal = IL_OK;
    return &f;
}

// The LZW data of an image that is not decoded: its code size and sub-blocks.
bool SkipLzw(Decoder* d) {
    return d->Byte() >= 0 && d->SkipBlocks();
}

int ReadRecords(Decoder* d) {
    uint32_t delay = 0, disposal = 0;
    int32_t transparent = -1;
    bool image = false;
    for (;;) {
        const int introducer = d->Byte();
        if (introducer < 0) return image ? kNoTrailer : kFailed;
        if (introducer == 0x3B) return image ? kOk : kFailed;
        if (introducer == 0x2C) {
            const uint8_t* b;
            if (!d->Take(9, &b)) return image ? kNoTrailer : kFailed;
            ColorMap local;
            const bool hasLocal = (b[8] & 0x80) != 0;
            if (hasLocal && !ReadColorMap(d, b[8], &local)) return image ? kNoTrailer : kFailed;
            if (d->composedRead) {
                // Drawn after the first delay: never shown.
                transparent = -1;
                if (!SkipLzw(d)) return kDamaged;
                continue;
            }
            Frame* f =
                NewFrame(d, ILGetLe16(b), ILGetLe16(b + 2), ILGetLe16(b + 4), ILGetLe16(b + 6));
            if (!f) return kFailed;
            f->interlaced = (b[8] & 0x40) != 0;
            f->hasLocal = hasLocal;
            if (hasLocal) f->local = local;
            f->delay = delay;
            f->disposal = disposal;
            f->transparent = std::exchange(transparent, -1);
            image = true;
            d->composedRead = delay > 0;
            if (!f->pixels) {
                if (!SkipLzw(d)) return kDamaged;
                continue;
            }
            if (!DecodeLzw(d, f->pixels.get(), uint64_t{f->width} * f->height)) return kDamaged;
            continue;
        }
        if (introducer != 0x21) return image ? kUnknownRecord : kFailed;
        const int label = d->Byte();
        if (label < 0) return image ? kNoTrailer : kFailed;
        if (label == 0xF9 || label == 0x01 || label == 0xFF) {
            const size_t want = label == 0xF9 ? 4 : label == 0x01 ? 12 : 11;
            const uint8_t* b;
            if (d->Byte() != static_cast<int>(want) || !d->Take(want, &b)) return kFailed;
            if (label == 0xF9) {
                transparent = (b[0] & 1) ? b[3] : -1;
                disposal = (b[0] >> 2) & 7;
                delay = ILGetLe16(b + 1);
            } else if (label == 0x01 && !d->composedRead) {
                Frame* f =
                    NewFrame(d, ILGetLe16(b), ILGetLe16(b + 2), ILGetLe16(b + 4), ILGetLe16(b + 6));
                if (!f) return kFailed;
                f->delay = delay;
                f->disposal = disposal;
                f->transparent = std::exchange(transparent, -1);
                d->composedRead = delay > 0;
                if (!f->pixels) {
                    if (!d->SkipBlocks()) return kFailed;
                    continue;
                }
                std::memset(f->pixels.get(), b[11], uint64_t{f->width} * f->height);
                // The text sub-blocks, drawn one after the other.
                const ILGifTextFrame text{f->pixels.get(), f->width, f->height, b[8], b[9], b[10]};
                ILGifTextCursor cursor;
                for (;;) {
                    const int n = d->Byte();
                    const uint8_t* chars;
                    if (n < 0 || !d->Take(static_cast<size_t>(n), &chars)) return kFailed;
                    if (n == 0) break;
                    ILGifDrawPlainText(text, &cursor, chars, static_cast<size_t>(n));
                }
                continue;
            } else if (std::memcmp(b, "NETSCAPE2.0", 11) == 0 && d->pos + 4 <= d->size &&
                       d->data[d->pos] == 3) {
                d->loopCount = ILGetLe16(d->data + d->pos + 2);
            }
        }
        if (!d->SkipBlocks()) return kFailed;
    }
}

// Entries B, G, R, A of a colour map; A 0 for the transparent index.
void BuildTable(const ColorMap& map, uint8_t table[256 * 4], int32_t transparent) {
    for (uint32_t i = 0; i < map.count; ++i) {
        table[4 * i] = map.rgb[3 * i + 2];
        table[4 * i + 1] = map.rgb[3 * i + 1];
        table[4 * i + 2] = map.rgb[3 * i];
        table[4 * i + 3] = static_cast<int32_t>(i) == transparent ? 0 : 255;
    }
}

bool IsGreyRampTable(const uint8_t* table, uint32_t count) {
    const uint32_t step = count == 2     ? 255
                          : count == 4   ? 85
                          : count == 16  ? 17
                          : count == 256 ? 1
                                         : 0;
    if (!step) return false;
    for (uint32_t i = 0; i < count; ++i)
        for (int k = 0; k < 3; ++k)
            if (table[4 * i + k] != i * step) return false;
    return true;
}

// One frame row into the canvas row from pixel x; pixels whose index is
// the key (when it is not negative) are left as they are.
void WriteRow(const uint8_t* indices, uint8_t* row, uint32_t x, uint32_t width, uint32_t bits,
              bool grey8, const uint8_t* table, int32_t key) {
    for (uint32_t i = 0; i < width; ++i) {
        const uint32_t v = indices[i];
        if (static_cast<int32_t>(v) == key) continue;
        const uint32_t p = x + i;
        const uint8_t* e = table + 4 * v;
        switch (bits) {
            case 1:
            case 2:
            case 4: {
                const uint32_t perByte = 8 / bits;
                const uint32_t shift = 8 - bits * (p % perByte + 1);
                const uint32_t mask = ((1u << bits) - 1) << shift;
                const uint32_t value = bits == 1 ? (v != 0) : v;
                row[p / perByte] =
                    static_cast<uint8_t>((row[p / perByte] & ~mask) | ((value << shift) & mask));
                break;
            }
            case 8:
                row[p] = grey8 ? e[0] : static_cast<uint8_t>(v);
                break;
            case 24:
                std::memcpy(row + 3 * size_t{p}, e, 3);
                break;
            default:
                std::memcpy(row + 4 * size_t{p}, e, 3);
                row[4 * size_t{p} + 3] = 255;
        }
    }
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFileReader file;
    if (const ILResult opened = file.Open(h, path, info); opened != IL_OK) return opened;
    std::vector<uint8_t> bytes(file.size);
    if (file.Read(bytes.data(), bytes.size()) != bytes.size()) return ILReportReadFailed(h);
    Decoder d;
    d.h = h;
    d.data = bytes.data();
    d.size = bytes.size();
    d.wantPixels = image != nullptr;
    const uint8_t* head;
    if (!d.Take(13, &head) || std::memcmp(head, "GIF", 3) != 0 ||
        (std::memcmp(head + 3, "87a", 3) != 0 && std::memcmp(head + 3, "89a", 3) != 0))
        return ILReportInvalidHeader(h);
    d.version = head[4] == '7' ? 87 : 89;
    d.screenWidth = ILGetLe16(head + 6);
    d.screenHeight = ILGetLe16(head + 8);
    d.colorResolution = ((head[10] >> 4) & 7) + 1;
    d.background = head[11];
    d.hasGlobal = (head[10] & 0x80) != 0;
    if (d.hasGlobal && !ReadColorMap(&d, head[10], &d.global)) return ILReportInvalidHeader(h);
    const int records = ReadRecords(&d);
    if (records == kFailed) return d.refusal != IL_OK ? d.refusal : ILReportInvalidHeader(h);
    ILResult result = IL_OK;
    if (records == kDamaged) {
        ILReportUnexpectedEnd(h);
        result = IL_PARTIAL;
    } else if (records == kUnknownRecord) {
        ILWarningF(h, "Undefined record in GIF file");
        ILWarningF(h, "Invalid record marker found.");
    } else if (records == kNoTrailer) {
        ILWarningF(h, "Missing EOI record (';')");
    }

    const Frame& first = d.frames.front();
    uint32_t depth = std::max(d.colorResolution, d.hasGlobal ? d.global.bits : 0u);
    if (first.hasLocal) depth = std::max(depth, first.local.bits);
    const bool fill = first.transparent >= 0 || first.left > 0 || first.top > 0 ||
                      first.width < d.screenWidth || first.height < d.screenHeight;
    size_t composed = d.frames.size();
    for (size_t i = 0; i < d.frames.size(); ++i)
        if (d.frames[i].delay > 0) {
            composed = i + 1;
            break;
        }
    // 64-bit: a frame may reach beyond the screen.
    uint64_t canvasWidth = d.screenWidth, canvasHeight = d.screenHeight;
    bool interlaced = false, manyTables = false;
    for (size_t i = 0; i < composed; ++i) {
        const Frame& f = d.frames[i];
        canvasWidth = std::max<uint64_t>(canvasWidth, uint64_t{f.left} + f.width);
        canvasHeight = std::max<uint64_t>(canvasHeight, uint64_t{f.top} + f.height);
        interlaced = interlaced || f.interlaced;
        if (f.hasLocal) manyTables = composed > 1;
    }
    uint8_t table[256 * 4] = {};
    const Frame& last = d.frames[composed - 1];
    if (last.hasLocal)
        BuildTable(last.local, table, first.transparent);
    else if (d.hasGlobal)
        BuildTable(d.global, table, first.transparent);
    const uint32_t tableCount = last.hasLocal ? last.local.count : d.hasGlobal ? d.global.count : 0;
    const bool grey = first.transparent < 0 &&
                      (tableCount == 2 || tableCount == 16 || tableCount == 256) &&
                      IsGreyRampTable(table, tableCount);
    if (info) {
        info->formatId = d.version == 89 ? IL_FORMAT_GIF89 : IL_FORMAT_GIF87;
        info->width = static_cast<uint32_t>(std::min<uint64_t>(canvasWidth, UINT32_MAX));
        info->height = static_cast<uint32_t>(std::min<uint64_t>(canvasHeight, UINT32_MAX));
        info->bitsPerPixel = depth;
        info->channels = 1;
        info->colorType = IL_CT_INDEXED;
        info->compression = interlaced ? IL_COMP_LZW_INTERLACED : IL_COMP_LZW;
        info->gamma = 2.2;
        info->gammaKind = IL_GAMMA_ASSUMED;
        info->alphaKind = first.transparent >= 0 ? IL_ALPHA_STRAIGHT : IL_ALPHA_NONE;
        info->pages = 1;
    }
    if (!image) return result;

    ILClearImage(image);
    const uint32_t g = depth == 1 ? 1 : depth == 2 ? 2 : depth <= 4 ? 4 : 8;
    static constexpr ILPixelType kGrey[] = {0, IL_GREY1, IL_GREY2, 0, IL_GREY4, 0, 0, 0, IL_GREY8};
    static constexpr ILPixelType kIndex[] = {0, IL_INDEX1, IL_INDEX2, 0,        IL_INDEX4,
                                             0, 0,         0,         IL_INDEX8};
    ILPixelType type;
    if (h->loadMode == 1)
        type = IL_BGR8;
    else if (h->loadMode == 2)
        type = first.transparent >= 0 ? IL_BGRA8 : IL_BGRX8;
    else if (manyTables)
        type = first.transparent >= 0 ? IL_BGRA8 : IL_BGR8;
    else
        type = grey ? kGrey[g] : kIndex[g];
    const uint64_t imageBytes = canvasWidth > UINT32_MAX || canvasHeight > UINT32_MAX
                                    ? UINT64_MAX
                                    : ILImageBufferSize(static_cast<uint32_t>(canvasWidth),
                                                        static_cast<uint32_t>(canvasHeight), type);
    // Frames placed far off the screen stretch the canvas: a few bytes may
    // not claim gigabytes that way either.
    const uint32_t claimWidth = static_cast<uint32_t>(std::min<uint64_t>(canvasWidth, UINT32_MAX));
    const uint32_t claimHeight =
        static_cast<uint32_t>(std::min<uint64_t>(canvasHeight, UINT32_MAX));
    if (!ILClaimIsBacked(claimWidth, claimHeight, d.size))
        return ILReportUnbackedClaim(h, claimWidth, claimHeight, d.size);
    if (const ILResult budget = ILCheckImageBudget(h, imageBytes + d.pixelBytes); budget != IL_OK)
        return budget;
    if (ILReallocImage(image, static_cast<uint32_t>(canvasWidth),
                       static_cast<uint32_t>(canvasHeight), type, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, imageBytes);
    std::memset(image->data, 0, static_cast<size_t>(image->stride) * image->height);
    const uint32_t bits = ILChannelCount(type) * ILBitsPerSample(type);
    if (ILPixelModel(type) == IL_MODEL_INDEXED) {
        // Entries beyond the table are black and opaque.
        uint8_t bgra[256 * 4];
        for (uint32_t i = 0; i < 256; ++i) {
            const bool known = i < tableCount;
            for (int k = 0; k < 3; ++k)
                bgra[4 * i + k] = known ? table[4 * i + k] : 0;
            bgra[4 * i + 3] = known ? table[4 * i + 3] : 255;
        }
        image->palette = new (std::nothrow) ILPalette(1u << g, bgra);
        if (!image->palette || image->palette->count != (1u << g)) {
            ILClearImage(image);
            return ILReportOutOfMemory(h, sizeof(ILPaletteEntry) << g);
        }
    }
    if (fill) {
        uint32_t index = 0;
        uint8_t colour[4] = {0, 0, 0, 0};
        if (d.background >= 1 && d.hasGlobal && d.background < d.global.count) {
            index = d.background;
            colour[0] = d.global.rgb[3 * index + 2];
            colour[1] = d.global.rgb[3 * index + 1];
            colour[2] = d.global.rgb[3 * index];
            image->SetBackgroundBGR8(colour[0], colour[1], colour[2], static_cast<int32_t>(index));
        }
        if (first.transparent >= 0 && d.hasGlobal &&
            static_cast<uint32_t>(first.transparent) < d.global.count)
            index = static_cast<uint32_t>(first.transparent);
        if (bits <= 8) {
            const uint8_t value = static_cast<uint8_t>(index);
            ILFillImagePixel(image, &value);
        } else {
            ILFillImagePixel(image, colour);
        }
    }
    const bool grey8 = type == IL_GREY8;
    for (size_t i = 0; i < composed; ++i) {
        const Frame& f = d.frames[i];
        if (f.hasLocal)
            BuildTable(f.local, table, f.transparent);
        else if (d.hasGlobal)
            BuildTable(d.global, table, f.transparent);
        if (f.transparent >= 0 && i == 0 && type != IL_BGR8)
            image->SetExtraChannelBits(IL_EXTRA_ALPHA);
        // Interlaced rows are stored in four passes: every 8th row from
        // row 0, every 8th from 4, every 4th from 2, every 2nd from 1.
        std::vector<uint32_t> order;
        order.reserve(f.height);
        static constexpr uint32_t kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
        for (uint32_t pass = 0; pass < (f.interlaced ? 4u : 1u); ++pass)
            for (uint32_t y = f.interlaced ? kStart[pass] : 0; y < f.height;
                 y += f.interlaced ? kStep[pass] : 1)
                order.push_back(y);
        for (uint32_t r = 0; r < f.height; ++r) {
            uint8_t* row = image->data + int64_t{f.top + order[r]} * image->stride;
            WriteRow(f.pixels.get() + uint64_t{r} * f.width, row, f.left, f.width, bits, grey8,
                     table, f.transparent);
        }
    }
    return result;
}

} // namespace

ILResult ILLoadGIF(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kModule, image, [&] { return Load(h, path, image, info); });
}
