// The raw image file: one image as it lies in memory, written before the
// first edit of an image and read back to undo it. Only this library on the
// same kind of machine reads it back.
//
// Layout (little-endian):
//   0  u32 magic 'ILVx' (0x494C5678)      4  u32 width       8  u32 height
//  12  u32 pixel type                     16  f32 r, g, b, a of the background
//  32  i32 background palette index       36  u32 palette entry count
//  40  height rows of the packed row size, top row first
//      then count entries of u16 blue, green, red, alpha
// The stride is not stored: rows are always written at the packed row size
// of the type, so a view's rows are written without the rows around them.
#include <bit>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "imglib/byte_order.h"
#include "imglib/convert/converter.h"
#include "imglib/io/file_owner.h"
#include "imglib/image.h"
#include "imglib/io/path.h"

namespace {

constexpr uint32_t kMagic = 0x494C5678;
constexpr size_t kHeaderSize = 40;
constexpr size_t kEntrySize = 8;

bool WriteAll(FILE* f, const void* data, size_t size) {
    return size == 0 || std::fwrite(data, 1, size, f) == size;
}

bool WriteContents(FILE* f, const ILImage& image, uint32_t packed) {
    uint8_t header[kHeaderSize];
    const uint32_t count = image.palette ? image.palette->count : 0;
    ILPutLe32(header + 0, kMagic);
    ILPutLe32(header + 4, image.width);
    ILPutLe32(header + 8, image.height);
    ILPutLe32(header + 12, image.type);
    ILPutLe32(header + 16, std::bit_cast<uint32_t>(image.background.r));
    ILPutLe32(header + 20, std::bit_cast<uint32_t>(image.background.g));
    ILPutLe32(header + 24, std::bit_cast<uint32_t>(image.background.b));
    ILPutLe32(header + 28, std::bit_cast<uint32_t>(image.background.a));
    ILPutLe32(header + 32, static_cast<uint32_t>(image.background.index));
    ILPutLe32(header + 36, count);
    if (!WriteAll(f, header, sizeof header)) return false;

    if (image.stride == packed) {
        if (!WriteAll(f, image.data, uint64_t{packed} * image.height)) return false;
    } else {
        // Only the pixels of each row are read: a view's padding may lie
        // outside the image it looks into.
        const uint64_t pixelBytes = (uint64_t{image.bits} * image.channels * image.width + 7) / 8;
        const uint8_t zeros[4] = {};
        for (uint32_t y = 0; y < image.height; ++y)
            if (!WriteAll(f, image.data + y * image.stride, pixelBytes) ||
                !WriteAll(f, zeros, packed - pixelBytes))
                return false;
    }

    for (uint32_t i = 0; i < count; ++i) {
        const ILPaletteEntry& e = image.palette->entries[i];
        uint8_t entry[kEntrySize];
        ILPutLe16(entry + 0, e.blue);
        ILPutLe16(entry + 2, e.green);
        ILPutLe16(entry + 4, e.red);
        ILPutLe16(entry + 6, e.alpha);
        if (!WriteAll(f, entry, sizeof entry)) return false;
    }
    return std::fflush(f) == 0 && !std::ferror(f);
}

// Size of the file, or -1 when it cannot be told.
int64_t FileSize(FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    long size = std::ftell(f);
    if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) return -1;
    return size;
}

bool ReadContents(FILE* f, ILImage* image) {
    const int64_t fileSize = FileSize(f);
    uint8_t header[kHeaderSize];
    if (fileSize < static_cast<int64_t>(kHeaderSize) ||
        std::fread(header, 1, sizeof header, f) != sizeof header || ILGetLe32(header) != kMagic)
        return false;
    const uint32_t width = ILGetLe32(header + 4);
    const uint32_t height = ILGetLe32(header + 8);
    const ILPixelType type = ILGetLe32(header + 12);
    const uint32_t count = ILGetLe32(header + 36);

    // The sizes in the header must account for the whole file before anything
    // is allocated: a damaged header must not ask for a huge buffer.
    const uint64_t rowBytes =
        uint64_t{ILRowStride(width, ILBitsPerSample(type), ILChannelCount(type))} * height;
    const uint64_t expected = kHeaderSize + rowBytes + uint64_t{count} * kEntrySize;
    if (rowBytes == 0 || expected != static_cast<uint64_t>(fileSize)) return false;

    if (ILReallocImage(image, width, height, type, nullptr) != IL_OK) return false;
    image->background.r = std::bit_cast<float>(ILGetLe32(header + 16));
    image->background.g = std::bit_cast<float>(ILGetLe32(header + 20));
    image->background.b = std::bit_cast<float>(ILGetLe32(header + 24));
    image->background.a = std::bit_cast<float>(ILGetLe32(header + 28));
    image->background.index = static_cast<int32_t>(ILGetLe32(header + 32));
    if (std::fread(image->data, 1, rowBytes, f) != rowBytes) return false;
    if (count == 0) return true;

    std::vector<uint8_t> entries(uint64_t{count} * kEntrySize);
    if (std::fread(entries.data(), 1, entries.size(), f) != entries.size()) return false;
    image->palette = new ILPalette(count);
    if (image->palette->count != count) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = entries.data() + uint64_t{i} * kEntrySize;
        image->palette->entries[i] = {ILGetLe16(p), ILGetLe16(p + 2), ILGetLe16(p + 4),
                                      ILGetLe16(p + 6)};
    }
    return true;
}

} // namespace

bool ILSaveRawImage(const ILImage* image, const char16_t* path) {
    if (!image || !image->data || !path) return false;
    const uint32_t packed = ILRowStride(image->width, image->bits, image->channels);
    if (packed == 0 || image->height == 0) return false;

    FILE* f = ILPathOpen(path, "wb");
    if (!f) return false;
    bool ok = WriteContents(f, *image, packed);
    // A failing close may lose buffered data just as a failing write does.
    ok = std::fclose(f) == 0 && ok;
    if (!ok) ILPathRemove(path);
    return ok;
}

bool ILLoadRawImage(ILImage* image, const char16_t* path) {
    if (!image) return false;
    bool ok = false;
    try {
        ILFilePtr f(path ? ILPathOpen(path, "rb") : nullptr);
        ok = f && ReadContents(f.get(), image);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (!ok) ILClearImage(image);
    return ok;
}
