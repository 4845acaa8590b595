// Photo CD reading: image packs at Base/16, Base/4 and Base straight from
// the file, 4Base and 16Base rebuilt from Base by interpolation and
// Huffman-coded luma and chroma residuals; overview files at their first
// thumbnail. PhotoYCC becomes B, G, R of 8 or 16 bits, half or float with
// an automatic white level, and the stored rotation is applied.
// Image packs are known by their "PCD_IPI" signature; a pack too short to
// hold the 4Base data loads at Base at most.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include <Imath/half.h>

#include "imglib/byte_order.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/metadata/info.h"

namespace {

constexpr char kModule[] = "PCD";
constexpr uint64_t kPackMinSize = 0xC0000;
constexpr uint64_t kPackSignatureAt = 0x800;
constexpr uint64_t kOverviewThumbnailAt = 0x2800;
constexpr uint64_t k4BaseTableAt = 0xC2000;
constexpr size_t kSyncSearch = 10240;

struct Resolution {
    uint32_t width, height;
    uint64_t offset; // of the stored planes in an image pack
};
constexpr Resolution kResolutions[] = {
    {0, 0, 0},           {192, 128, 0x2000}, {384, 256, 0xB800},
    {768, 512, 0x30000}, {1536, 1024, 0},    {3072, 2048, 0},
};

// Planes of one resolution: luma rows, and the two chroma planes at half
// width and height, each row reached through a pointer (into the file
// bytes up to Base, into the plane buffer above).
struct Planes {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t*> luma, c1, c2;
    std::vector<uint8_t> buffer;

    void Point(uint8_t* base, uint32_t w, uint32_t h) {
        width = w;
        height = h;
        luma.resize(h);
        c1.resize(h / 2);
        c2.resize(h / 2);
        for (uint32_t k = 0; k < h / 2; ++k) {
            uint8_t* pair = base + uint64_t{k} * w * 3;
            luma[2 * k] = pair;
            luma[2 * k + 1] = pair + w;
            c1[k] = pair + 2 * uint64_t{w};
            c2[k] = pair + 2 * uint64_t{w} + w / 2;
        }
    }
    // A buffer of luma rows, then C1 rows, then C2 rows.
    void Allocate(uint32_t w, uint32_t h) {
        width = w;
        height = h;
        buffer.assign(uint64_t{w} * h * 3 / 2, 0);
        luma.resize(h);
        c1.resize(h / 2);
        c2.resize(h / 2);
        uint8_t* p = buffer.data();
        for (uint32_t y = 0; y < h; ++y, p += w)
            luma[y] = p;
        for (uint32_t y = 0; y < h / 2; ++y, p += w / 2)
            c1[y] = p;
        for (uint32_t y = 0; y < h / 2; ++y, p += w / 2)
            c2[y] = p;
    }
};

// A row at double width: every second pixel the mean of its neighbours,
// the last two the last input pixel.
void DoubleRow(const uint8_t* in, uint32_t w, uint8_t* out) {
    for (uint32_t x = 0; x + 1 < w; ++x) {
        out[2 * x] = in[x];
        out[2 * x + 1] = static_cast<uint8_t>((in[x] + in[x + 1] + 1) >> 1);
    }
    out[2 * w - 2] = out[2 * w - 1] = in[w - 1];
}

// Base rows r to rows 2r of planes at twice its size.
void PlaceBase(const Planes& base, Planes* out) {
    for (uint32_t y = 0; y < base.height; ++y)
        DoubleRow(base.luma[y], base.width, out->luma[2 * y]);
    for (uint32_t y = 0; y < base.height / 2; ++y) {
        DoubleRow(base.c1[y], base.width / 2, out->c1[2 * y]);
        DoubleRow(base.c2[y], base.width / 2, out->c2[2 * y]);
    }
}

// Odd rows from the even rows around them (the last one from the row
// above alone).
void InterpolateRows(std::vector<uint8_t*>& rows, uint32_t w, uint32_t h) {
    for (uint32_t y = 1; y < h; y += 2) {
        const uint8_t* a = rows[y - 1];
        uint8_t* o = rows[y];
        if (y + 1 < h) {
            const uint8_t* b = rows[y + 1];
            for (uint32_t x = 0; x + 2 < w; x += 2) {
                o[x] = static_cast<uint8_t>((a[x] + b[x] + 1) >> 1);
                o[x + 1] = static_cast<uint8_t>((a[x] + b[x] + a[x + 2] + b[x + 2] + 2) >> 2);
            }
            o[w - 2] = o[w - 1] = static_cast<uint8_t>((a[w - 2] + b[w - 2] + 1) >> 1);
        } else {
            for (uint32_t x = 0; x + 2 < w; x += 2) {
                o[x] = a[x];
                o[x + 1] = static_cast<uint8_t>((a[x] + a[x + 2] + 1) >> 1);
            }
            o[w - 2] = o[w - 1] = a[w - 2];
        }
    }
}

// Rows of half the size (the first h / 2 rows, w / 2 wide) to full size,
// from the bottom right so that the plane expands in place.
void ExpandRows(std::vector<uint8_t*>& rows, uint32_t w, uint32_t h) {
    std::vector<uint8_t> saved(w / 2);
    for (uint32_t y = h; y-- > 0;) {
        if (y % 2) continue;
        std::memcpy(saved.data(), rows[y / 2], w / 2);
        DoubleRow(saved.data(), w / 2, rows[y]);
    }
}

// A Huffman table as 64K-entry lookups by the next 16 bits.
struct HuffmanTable {
    std::vector<int8_t> value = std::vector<int8_t>(65536);
    std::vector<uint8_t> length = std::vector<uint8_t>(65536); // 0: no code
};

// Reads the table at `at`; its size in bytes, 0 when it is invalid.
size_t ReadHuffmanTable(const uint8_t* data, size_t size, size_t at, HuffmanTable* t) {
    if (at >= size) return 0;
    const size_t entries = size_t{data[at]} + 1;
    const size_t bytes = 1 + 4 * entries;
    if (bytes > size - at) return 0;
    std::fill(t->length.begin(), t->length.end(), 0);
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t* e = data + at + 1 + 4 * i;
        const uint32_t len = e[0] + 1u;
        if (len > 16) return 0;
        const uint32_t code = ILGetBe16(e + 1);
        const uint32_t last = code + (1u << (16 - len)) - 1;
        if (last > 0xFFFF) return 0;
        for (uint32_t w = code; w <= last; ++w) {
            if (t->length[w]) return 0;
            t->length[w] = static_cast<uint8_t>(len);
            t->value[w] = static_cast<int8_t>(e[3]);
        }
    }
    return bytes;
}

// Bits of the file, most significant first.
struct BitReader {
    const uint8_t* data;
    uint64_t size, bit = 0;
    bool Has(uint32_t n) const { return bit + n <= size * 8; }
    uint32_t Peek16() const {
        uint32_t v = 0;
        for (uint64_t k = bit / 8; k < bit / 8 + 3; ++k)
            v = v << 8 | (k < size ? data[k] : 0);
        return (v >> (8 - bit % 8)) & 0xFFFF;
    }
};

struct Pass {
    uint32_t limit;                // 1024 or 2048
    Planes* planes;                // luma rows at the pass's width
    const HuffmanTable* tables[3]; // luma, C1, C2
};

// The residual rows from `start`; the bytes used, or -1 when the data is
// invalid or runs past the file.
int64_t ApplyResiduals(const uint8_t* data, uint64_t size, uint64_t start, const Pass& pass) {
    BitReader in{data, size, start * 8};
    Planes& p = *pass.planes;
    for (;;) {
        // The next two 0xFF bytes, then one-bits up to a zero.
        uint64_t at = (in.bit + 7) / 8;
        const uint64_t end = std::min<uint64_t>(size, at + kSyncSearch);
        while (at + 1 < end && !(data[at] == 0xFF && data[at + 1] == 0xFF))
            ++at;
        if (at + 1 >= end) return -1;
        in.bit = at * 8;
        uint32_t last = 0;
        do {
            if (!in.Has(1)) return -1;
            last = (last << 1 | ((data[in.bit / 8] >> (7 - in.bit % 8)) & 1)) & 0xFFFF;
            ++in.bit;
        } while (last != 0xFFFE);
        if (!in.Has(16)) return -1;
        const uint32_t header = in.Peek16();
        in.bit += 16;
        const uint32_t plane = header >> 14, row = (header >> 1) & 0x1FFF;
        if (plane == 1 || row > pass.limit) return -1;
        if (row == pass.limit) return static_cast<int64_t>((in.bit + 7) / 8 - start);
        const bool luma = plane == 0;
        const uint32_t rows = luma ? p.height : p.height / 2;
        const uint32_t target = luma ? row : row / 2;
        if (target >= rows) continue;
        uint8_t* line = luma ? p.luma[target] : plane == 2 ? p.c1[target] : p.c2[target];
        const uint32_t width = luma ? p.width : p.width / 2;
        const HuffmanTable& t = *pass.tables[luma ? 0 : plane == 2 ? 1 : 2];
        for (uint32_t x = 0; x < width; ++x) {
            if (!in.Has(1)) return -1;
            const uint32_t window = in.Peek16();
            const uint32_t len = t.length[window];
            if (len == 0 || !in.Has(len)) return -1;
            line[x] = static_cast<uint8_t>(std::clamp(line[x] + t.value[window], 0, 255));
            in.bit += len;
        }
    }
}

struct PcdFile {
    const uint8_t* data;
    uint64_t size;
};

// Builds 4Base (resolution 4) or 16Base (5) from the Base planes.
bool Decode(const PcdFile& f, const Planes& base, uint32_t resolution, Planes* out) {
    const uint32_t w4 = 1536, h4 = 1024;
    auto tables = std::make_unique<HuffmanTable[]>(3);
    const size_t table1 = ReadHuffmanTable(f.data, f.size, k4BaseTableAt, &tables[0]);
    if (!table1) return false;
    const uint64_t start4 = (k4BaseTableAt + table1 + 0x7FF) & ~uint64_t{0x3FF};
    if (resolution == 4) {
        out->Allocate(w4, h4);
        PlaceBase(base, out);
        InterpolateRows(out->c1, w4 / 2, h4 / 2);
        InterpolateRows(out->c2, w4 / 2, h4 / 2);
        InterpolateRows(out->luma, w4, h4);
        const Pass pass{1024, out, {&tables[0], &tables[0], &tables[0]}};
        return ApplyResiduals(f.data, f.size, start4, pass) >= 0;
    }
    const uint32_t w = 3072, h = 2048;
    out->Allocate(w, h);
    // Base placed at 4Base size in the first rows of each plane.
    Planes view;
    view.width = w4;
    view.height = h4;
    view.luma.assign(out->luma.begin(), out->luma.begin() + h4);
    view.c1.assign(out->c1.begin(), out->c1.begin() + h4 / 2);
    view.c2.assign(out->c2.begin(), out->c2.begin() + h4 / 2);
    PlaceBase(base, &view);
    for (auto* chroma : {&out->c1, &out->c2}) {
        InterpolateRows(*chroma, w4 / 2, h4 / 2);
        ExpandRows(*chroma, w / 2, h / 2);
        InterpolateRows(*chroma, w / 2, h / 2);
    }
    InterpolateRows(view.luma, w4, h4);
    const Pass pass4{1024, &view, {&tables[0], &tables[0], &tables[0]}};
    const int64_t used = ApplyResiduals(f.data, f.size, start4, pass4);
    if (used < 0) return false;
    ExpandRows(out->luma, w, h);
    InterpolateRows(out->luma, w, h);
    uint64_t at = start4 + ((static_cast<uint64_t>(used) + 0x67FF) & ~uint64_t{0x7FF});
    for (int k = 0; k < 3; ++k) {
        const size_t n = ReadHuffmanTable(f.data, f.size, at, &tables[k]);
        if (!n) return false;
        at += n;
    }
    const uint64_t start16 = (at + 0x7FF) & ~uint64_t{0x3FF};
    const Pass pass16{2048, out, {&tables[0], &tables[1], &tables[2]}};
    return ApplyResiduals(f.data, f.size, start16, pass16) >= 0;
}

// Output table and scale from the brightest luma byte.
struct Lut {
    uint8_t table[656];
    float scale;
};

Lut BuildLut(const Planes& p) {
    uint32_t brightest = 0;
    for (uint32_t y = 0; y < p.height; ++y)
        brightest =
            std::max<uint32_t>(brightest, *std::max_element(p.luma[y], p.luma[y] + p.width));
    const int max = std::max(static_cast<int>(brightest * 1.3333f), 128);
    Lut lut;
    lut.scale = 255.0f / static_cast<float>(max);
    for (int i = 0; i < 656; ++i)
        lut.table[i] = i < 200          ? 0
                       : i <= 200 + max ? static_cast<uint8_t>((i - 200) * 255 / max)
                                        : 255;
    return lut;
}

// Chroma of line i at full width.
void ChromaLine(const std::vector<uint8_t*>& rows, uint32_t w, uint32_t i, uint8_t* out) {
    const uint32_t half = w / 2, c = i / 2;
    const uint8_t* a = rows[c];
    if (i % 2 == 0) {
        DoubleRow(a, half, out);
        return;
    }
    const uint8_t* b = c + 1 < rows.size() ? rows[c + 1] : a;
    for (uint32_t x = 0; x + 1 < half; ++x) {
        out[2 * x] = static_cast<uint8_t>((a[x] + b[x] + 1) >> 1);
        out[2 * x + 1] = static_cast<uint8_t>((a[x] + a[x + 1] + b[x] + b[x + 1] + 2) >> 2);
    }
    out[w - 2] = out[w - 1] = static_cast<uint8_t>((a[half - 1] + b[half - 1] + 1) >> 1);
}

// Clamped in float (the table's last entry is 255, as is every entry past
// 200 + max): no integer comparison a pixel.
uint8_t Lookup(const Lut& lut, float index) {
    return lut.table[static_cast<int>(std::clamp(index, 0.0f, 655.0f))];
}

uint16_t Wide(float v) {
    return static_cast<uint16_t>(std::clamp(v, 0.0f, 65535.0f));
}

// Pixels of one line as B, G, R of the sample kind, one every `step` bytes
// from `out`; the kind is chosen once a line, not once a pixel.
template <uint32_t kKind>
void ConvertPixels(const Lut& lut, uint32_t w, const uint8_t* y, const uint8_t* c1,
                   const uint8_t* c2, uint8_t* out, int64_t step) {
    for (uint32_t x = 0; x < w; ++x, out += step) {
        if constexpr (kKind == IL_KIND_8) {
            const float l = y[x] * 1.3584f + 200.0f;
            const float a = (c1[x] - 156) * 2.2179f, b = (c2[x] - 137) * 1.8215f;
            out[0] = Lookup(lut, a + l);
            out[1] = Lookup(lut, l - 0.194f * a - 0.509f * b);
            out[2] = Lookup(lut, b + l);
        } else if constexpr (kKind == IL_KIND_16) {
            const float l = y[x] * 1.3584f, g = lut.scale * 257.0f;
            const float a = (c1[x] - 156) * 2.2179f, b = (c2[x] - 137) * 1.8215f;
            const uint16_t bgr[3] = {Wide((a + l) * g), Wide((l - 0.194f * a - 0.509f * b) * g),
                                     Wide((b + l) * g)};
            std::memcpy(out, bgr, sizeof bgr);
        } else {
            const float l = y[x] * 0.005327f;
            const float a = (c1[x] - 156) * 0.008697f, b = (c2[x] - 137) * 0.007143f;
            // Out-of-gamut components (a negative base) are 0.
            const float v[3] = {(a + l) * lut.scale, (l - 0.194f * a - 0.509f * b) * lut.scale,
                                (b + l) * lut.scale};
            for (int k = 0; k < 3; ++k) {
                const float linear = v[k] > 0 ? std::pow(v[k], 2.2f) : 0.0f;
                if constexpr (kKind == IL_KIND_HALF) {
                    const uint16_t bits = Imath::half(linear).bits();
                    std::memcpy(out + 2 * k, &bits, 2);
                } else {
                    std::memcpy(out + 4 * k, &linear, 4);
                }
            }
        }
    }
}

// Line i as B, G, R of the sample kind, one pixel every `step` bytes from
// `first`.
void ConvertLine(const Planes& p, const Lut& lut, uint32_t i, uint8_t* first, int64_t step,
                 uint32_t kind, uint8_t* c1, uint8_t* c2) {
    const uint32_t w = p.width;
    ChromaLine(p.c1, w, i, c1);
    ChromaLine(p.c2, w, i, c2);
    const uint8_t* y = p.luma[i];
    switch (kind) {
        case IL_KIND_8:
            return ConvertPixels<IL_KIND_8>(lut, w, y, c1, c2, first, step);
        case IL_KIND_16:
            return ConvertPixels<IL_KIND_16>(lut, w, y, c1, c2, first, step);
        case IL_KIND_HALF:
            return ConvertPixels<IL_KIND_HALF>(lut, w, y, c1, c2, first, step);
        default:
            return ConvertPixels<IL_KIND_FLOAT>(lut, w, y, c1, c2, first, step);
    }
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFileReader file;
    if (const ILResult opened = file.Open(h, path, info); opened != IL_OK) return opened;
    // The header alone tells the kind, the sizes and the rotation: an
    // info-only load reads no more.
    uint8_t head[kPackSignatureAt + 7] = {};
    if (file.Read(head, sizeof head) < 13) return ILReportInvalidHeader(h);
    const bool overview = std::memcmp(head, "PCD_OPA", 7) == 0;
    uint32_t highest = 1;
    if (overview) {
        const uint64_t thumbnailEnd = kOverviewThumbnailAt + 192 * 128 * 3 / 2;
        if (ILGetBe16(head + 10) == 0 || file.size < thumbnailEnd) return ILReportInvalidHeader(h);
    } else {
        if (file.size < kPackMinSize || std::memcmp(head + kPackSignatureAt, "PCD_IPI", 7) != 0)
            return ILReportInvalidHeader(h);
        highest = file.size > k4BaseTableAt ? 5 : 3;
    }
    const uint32_t rotation = (overview ? head[12] : head[72]) & 3;
    uint32_t resolution = std::clamp<uint32_t>(h->pcd.resolution, 1, highest);
    const bool turned = rotation % 2 == 1;
    if (info) {
        const Resolution& shown = kResolutions[resolution];
        info->formatId = IL_FORMAT_PCD;
        info->width = turned ? shown.height : shown.width;
        info->height = turned ? shown.width : shown.height;
        info->channels = 3;
        info->bitsPerPixel = 24;
        info->colorType = IL_CT_YCC;
        info->compression = IL_COMP_NONE;
        info->gamma = 2.2;
        info->gammaKind = IL_GAMMA_ASSUMED;
        info->pages = 1;
    }
    if (!image) return IL_OK;

    // The whole file is held while it is decoded.
    if (const ILResult budget = ILCheckImageBudget(h, file.size); budget != IL_OK) return budget;
    // Not cleared first: every byte is read.
    const auto bytes = std::make_unique_for_overwrite<uint8_t[]>(file.size);
    if (!file.Seek(0, 0) || file.Read(bytes.get(), file.size) != file.size)
        return ILReportReadFailed(h);
    file.Close();
    const PcdFile f{bytes.get(), file.size};

    ILClearImage(image);
    uint32_t kind = h->pcd.sampleKind;
    if (h->thumbnailEdge) {
        resolution = std::min(resolution, 2u);
        kind = IL_KIND_8;
    }
    if (kind != IL_KIND_8 && kind != IL_KIND_16 && kind != IL_KIND_HALF && kind != IL_KIND_FLOAT)
        kind = IL_KIND_16;
    const Resolution& res = kResolutions[resolution];
    Planes planes, base;
    if (resolution <= 3) {
        const uint64_t offset = overview ? kOverviewThumbnailAt : res.offset;
        planes.Point(bytes.get() + offset, res.width, res.height);
    } else {
        base.Point(bytes.get() + kResolutions[3].offset, kResolutions[3].width,
                   kResolutions[3].height);
        if (!Decode(f, base, resolution, &planes)) return ILReportDecompressionFailed(h);
    }
    const uint32_t outWidth = turned ? res.height : res.width;
    const uint32_t outHeight = turned ? res.width : res.height;
    const ILPixelType type = kind | IL_MODEL_RGB;
    const uint64_t imageBytes = ILImageBufferSize(outWidth, outHeight, type);
    // The file's bytes and the rebuilt planes are still held beside the image.
    uint64_t held = imageBytes;
    if (__builtin_add_overflow(held, f.size + planes.buffer.size(), &held)) held = UINT64_MAX;
    if (const ILResult budget = ILCheckImageBudget(h, held); budget != IL_OK) return budget;
    if (ILReallocImage(image, outWidth, outHeight, type, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, imageBytes);

    const Lut lut = BuildLut(planes);
    const int64_t pixel = ILBitsPerSample(type) * 3 / 8;
    std::vector<uint8_t> c1(res.width), c2(res.width);
    for (uint32_t i = 0; i < res.height; ++i) {
        // Where the line's first pixel goes and how far apart its pixels lie.
        uint8_t* first;
        int64_t step;
        switch (rotation) {
            case 1: // column i, from the bottom row upwards
                first = image->data + int64_t{outHeight - 1} * image->stride + i * pixel;
                step = -image->stride;
                break;
            case 2: // row h - 1 - i, right to left
                first = image->data + int64_t{outHeight - 1 - i} * image->stride +
                        int64_t{outWidth - 1} * pixel;
                step = -pixel;
                break;
            case 3: // column w - 1 - i, from the top row downwards
                first = image->data + int64_t{outWidth - 1 - i} * pixel;
                step = image->stride;
                break;
            default:
                first = image->data + int64_t{i} * image->stride;
                step = pixel;
        }
        ConvertLine(planes, lut, i, first, step, kind, c1.data(), c2.data());
    }
    return IL_OK;
}

} // namespace

ILResult ILLoadPCD(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kModule, image, [&] { return Load(h, path, image, info); });
}
