#include "viewer/logic/dib_render.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "imglib/convert/converter_owner.h"
#include "imglib/image.h"

namespace {

// Frees its block unless released.
struct AlignedBlock {
    void* p = nullptr;
    ~AlignedBlock() { ILFree(p); }
    void* Release() { return std::exchange(p, nullptr); }
};

bool HasAlpha(ILPixelType type) {
    return (type & IL_EXTRA_MASK) > IL_EXTRA_FILLER;
}

// The layouts that a DIB shows as they are: 1, 4 and 8-bit grey or indexed
// rows, 8-bit B,G,R rows (24 bits) and 8-bit B,G,R plus one extra byte (32
// bits). Rows in R,G,B order or of another colour model would show wrong
// colours, so they are converted.
bool IsDibLayout(const ILImage& image) {
    const uint32_t model = image.type & IL_MODEL_MASK;
    if (image.type & IL_ORDER_RGB) return false;
    switch (image.channels) {
        case 1:
            return (model == IL_MODEL_GRAY || model == IL_MODEL_INDEXED) &&
                   (image.bits == 1 || image.bits == 4 || image.bits == 8);
        case 3:
            return model == IL_MODEL_RGB && image.bits == 8;
        case 4:
            return model == IL_MODEL_RGB && image.bits == 8 && (image.type & IL_EXTRA_MASK) != 0;
        default:
            return false;
    }
}

void FillGrayRamp(uint8_t* table, uint32_t entries) {
    const uint32_t step = entries > 1 ? 255 / (entries - 1) : 0;
    for (uint32_t i = 0; i < entries; ++i) {
        const uint8_t v = static_cast<uint8_t>(step * i);
        table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = v;
        table[4 * i + 3] = 0;
    }
}

// The first `used` entries from the palette (as far as it reaches), the rest
// black.
void FillFromPalette(uint8_t* table, uint32_t entries, uint32_t used, const ILPalette& palette) {
    std::memset(table, 0, 4 * size_t{entries});
    const uint32_t n = used < palette.count ? used : palette.count;
    for (uint32_t i = 0; i < n; ++i)
        palette.ReadBGR8(i, table + 4 * i);
}

} // namespace

int64_t DibStride(uint32_t width, uint32_t bits) {
    return static_cast<int64_t>((uint64_t{width} * bits + 31) / 8) & ~int64_t{3};
}

void DibBuffer::Free() {
    reduced_.reset();
    if (ownsPixels) ILFree(pixels);
    ILFree(header);
    pixels = nullptr;
    header = nullptr;
    stride = 0;
    ownsPixels = false;
    ownedBytes = 0;
}

bool DibBuffer::Create(uint32_t width, uint32_t height, uint32_t bits, uint8_t* rows) {
    constexpr uint32_t kMaxSide = std::numeric_limits<int32_t>::max();
    const int64_t rowBytes = DibStride(width, bits);
    const uint64_t imageBytes = uint64_t(rowBytes) * height;
    // Rendering an image of the same size again (after an edit, or the next
    // photo of a camera) keeps the rows' memory: a fresh block that large
    // costs more in page faults than most conversions.
    AlignedBlock block;
    if (!rows && ownsPixels && ownedBytes == imageBytes) {
        block.p = pixels;
        ownsPixels = false;
    }
    Free();
    // biSizeImage is 32 bits wide: a larger bitmap cannot be described.
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide || bits == 0 ||
        bits > 32 || imageBytes > std::numeric_limits<uint32_t>::max())
        return false;

    const uint32_t entries = bits <= 8 ? 1u << bits : 0;
    const size_t headerBytes = sizeof(DibHeader) + 4 * size_t{entries};
    AlignedBlock headerBlock{ILAlloc(nullptr, headerBytes)};
    if (!headerBlock.p) return false;
    if (!rows && !block.p) {
        block.p = ILAlloc(nullptr, imageBytes);
        if (!block.p) return false;
    }
    std::memset(headerBlock.p, 0, headerBytes);
    auto* h = static_cast<DibHeader*>(headerBlock.p);
    h->biSize = sizeof(DibHeader);
    h->biWidth = static_cast<int32_t>(width);
    h->biHeight = -static_cast<int32_t>(height);
    h->biPlanes = 1;
    h->biBitCount = static_cast<uint16_t>(bits);
    h->biCompression = 0; // BI_RGB
    h->biSizeImage = static_cast<uint32_t>(imageBytes);
    h->biClrUsed = entries;
    h->biClrImportant = entries;

    header = static_cast<DibHeader*>(headerBlock.Release());
    ownsPixels = rows == nullptr;
    pixels = ownsPixels ? static_cast<uint8_t*>(block.Release()) : rows;
    ownedBytes = ownsPixels ? imageBytes : 0;
    stride = rowBytes;
    return true;
}

bool DibBuffer::Render(const ILImage& image, const ILColor& background, bool useAlpha) {
    if (!image.data || image.width == 0 || image.height == 0) {
        Free();
        return false;
    }

    const bool composite = useAlpha && HasAlpha(image.type);
    const bool dibLayout = !composite && IsDibLayout(image);
    uint32_t bits;
    if (dibLayout)
        bits = image.channels == 1 ? image.bits : image.channels * 8;
    else
        bits = (!composite && image.channels <= 2) ? 8 : 24;

    // Rows are shared only when their spacing matches the DIB's too (a view
    // into a larger image keeps its parent's stride); otherwise copied.
    const bool shared = dibLayout && image.stride == DibStride(image.width, bits);
    if (!Create(image.width, image.height, bits, shared ? image.data : nullptr)) return false;

    const uint32_t entries = ColorCount();
    const bool indexed = (image.type & IL_MODEL_MASK) == IL_MODEL_INDEXED;
    if (entries) {
        // A converted grey image holds grey codes, which only a ramp shows.
        if (image.palette && (indexed || dibLayout)) {
            const uint32_t sourceBits = image.bits * image.channels;
            const uint32_t used = sourceBits < 8 ? 1u << sourceBits : entries;
            FillFromPalette(ColorTable(), entries, used < entries ? used : entries, *image.palette);
        } else {
            FillGrayRamp(ColorTable(), entries);
        }
    }

    if (shared) return true;
    const uint8_t* in = image.data;
    uint8_t* out = pixels;
    if (dibLayout) {
        const size_t rowBytes = static_cast<size_t>((uint64_t{image.width} * bits + 7) / 8);
        for (uint32_t y = 0; y < image.height; ++y, in += image.stride, out += stride)
            std::memcpy(out, in, rowBytes);
        return true;
    }

    ILPixelType target = IL_BGR8;
    if (bits == 8) target = ILPixelModel(image.type) == IL_MODEL_GRAY ? IL_GREY8 : IL_INDEX8;
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetImageTarget(c, &image, target);
    if (composite) ILConverterSetBackground(c, background);
    ILConverterSetAlphaMode(c, composite ? 2 : 0);
    if (!ILConverterPrepare(c)) {
        Free();
        return false;
    }
    for (uint32_t y = 0; y < image.height; ++y, in += image.stride, out += stride)
        c->rowKernel(c, in, out);
    return true;
}

uint32_t DibBuffer::Width() const {
    return header ? static_cast<uint32_t>(header->biWidth) : 0;
}

uint32_t DibBuffer::Height() const {
    return header ? static_cast<uint32_t>(-int64_t{header->biHeight}) : 0;
}

uint32_t DibBuffer::Bits() const {
    return header ? header->biBitCount : 0;
}

uint32_t DibBuffer::ColorCount() const {
    return header ? header->biClrUsed : 0;
}

uint8_t* DibBuffer::ColorTable() const {
    return header ? reinterpret_cast<uint8_t*>(header) + sizeof(DibHeader) : nullptr;
}

namespace {

// Source pixels covering target pixel j, each with the share of it that
// falls into j (fixed point, the shares of one target summing to 1 << 16).
struct Coverage {
    uint32_t first = 0;
    std::vector<uint32_t> weights;
};

std::vector<Coverage> AreaCoverage(uint32_t sourceSize, uint32_t targetSize) {
    std::vector<Coverage> out(targetSize);
    // Target j spans source positions [j S / T, (j + 1) S / T); in units of
    // 1 / T of a source pixel that is [j S, (j + 1) S).
    const uint64_t S = sourceSize, T = targetSize;
    for (uint64_t j = 0; j < T; ++j) {
        const uint64_t begin = j * S, end = (j + 1) * S;
        Coverage& c = out[j];
        c.first = static_cast<uint32_t>(begin / T);
        uint32_t sum = 0;
        for (uint64_t i = begin / T; i * T < end; ++i) {
            const uint64_t from = std::max(begin, i * T), to = std::min(end, (i + 1) * T);
            const uint32_t w = static_cast<uint32_t>(((to - from) << 16) / S);
            c.weights.push_back(w);
            sum += w;
        }
        c.weights.back() += (1u << 16) - sum; // rounding goes to the last share
    }
    return out;
}

// One row of the bitmap as B,G,R bytes.
void RowToBGR(const DibBuffer& dib, uint32_t y, uint8_t* out) {
    const uint8_t* row = dib.pixels + int64_t(y) * dib.stride;
    const uint32_t width = dib.Width(), bits = dib.Bits();
    const uint8_t* table = dib.ColorTable();
    for (uint32_t x = 0; x < width; ++x, out += 3) {
        const uint8_t* p;
        if (bits == 24 || bits == 32) {
            p = row + x * (bits / 8);
        } else {
            const uint32_t bit = x * bits;
            const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            p = table + 4 * index;
        }
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
    }
}

} // namespace

const DibBuffer* DibBuffer::Reduced(uint32_t width, uint32_t height) const {
    if (!header || width == 0 || height == 0 || width > Width() || height > Height())
        return nullptr;
    if (reduced_ && reduced_->Width() == width && reduced_->Height() == height)
        return reduced_.get();
    reduced_.reset();
    const uint32_t bits = Bits();
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return nullptr;
    auto reduced = std::make_unique<DibBuffer>();
    if (!reduced->Create(width, height, 24, nullptr)) return nullptr;

    // Each target pixel is the average of the area it covers, on the 8-bit
    // codes, as Windows' halftone stretching averages them.
    const std::vector<Coverage> across = AreaCoverage(Width(), width);
    const std::vector<Coverage> down = AreaCoverage(Height(), height);
    std::vector<uint8_t> source(size_t(Width()) * 3);
    std::vector<uint32_t> narrowed(size_t(width) * 3);
    std::vector<uint64_t> sum(size_t(width) * 3);
    for (uint32_t ty = 0; ty < height; ++ty) {
        std::fill(sum.begin(), sum.end(), 0);
        const Coverage& rows = down[ty];
        for (size_t k = 0; k < rows.weights.size(); ++k) {
            RowToBGR(*this, rows.first + uint32_t(k), source.data());
            for (uint32_t tx = 0; tx < width; ++tx) {
                const Coverage& columns = across[tx];
                uint32_t b = 0, g = 0, r = 0;
                const uint8_t* p = source.data() + size_t(columns.first) * 3;
                for (uint32_t w : columns.weights) {
                    b += p[0] * w;
                    g += p[1] * w;
                    r += p[2] * w;
                    p += 3;
                }
                narrowed[3 * tx] = b;
                narrowed[3 * tx + 1] = g;
                narrowed[3 * tx + 2] = r;
            }
            for (size_t i = 0; i < sum.size(); ++i)
                sum[i] += uint64_t(narrowed[i]) * rows.weights[k];
        }
        uint8_t* out = reduced->pixels + int64_t(ty) * reduced->stride;
        for (size_t i = 0; i < sum.size(); ++i)
            out[i] = static_cast<uint8_t>((sum[i] + (1ull << 31)) >> 32);
    }
    reduced_ = std::move(reduced);
    return reduced_.get();
}
