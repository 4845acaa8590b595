// The TIFF Predictor tag (317) undone by the library after libtiff has
// decoded a strip or tile: horizontal differencing of TIFF 6.0 section 14 for
// 8, 16, 32 and 64-bit samples, and the floating-point predictor of Adobe's TIFF
// Technical Note 3 (byte planes of each row, differenced byte by byte).
// libtiff keeps the tag only for its LZW, Deflate, ZSTD and LZMA codecs; the
// library switches libtiff's own stage off there, so that every file takes
// the same path, uncompressed files with a predictor and integer files with
// the floating-point predictor among them.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imglib/formats/tiff.h"

namespace {

// Sample views of a byte buffer; libtiff's buffers hold whole samples at
// aligned offsets.
using U16 [[gnu::may_alias]] = uint16_t;
using U32 [[gnu::may_alias]] = uint32_t;
using U64 [[gnu::may_alias]] = uint64_t;

// Running sums kept in registers, one per sample of a pixel, so that no
// sample waits for the store of the one before it.
template <int N, typename T>
void AccumulatePixels(T* s, int64_t count) {
    T sum[N];
    for (int k = 0; k < N; ++k)
        sum[k] = s[k];
    int64_t i = N;
    for (; i + N <= count; i += N)
#pragma GCC unroll 4
        for (int k = 0; k < N; ++k)
            s[i + k] = sum[k] = static_cast<T>(sum[k] + s[i + k]);
    for (; i < count; ++i)
        s[i] = static_cast<T>(s[i] + s[i - N]);
}

template <typename T>
void Accumulate(T* s, int64_t count, int64_t stride) {
    if (count <= stride) return;
    switch (stride) {
        case 1:
            return AccumulatePixels<1>(s, count);
        case 2:
            return AccumulatePixels<2>(s, count);
        case 3:
            return AccumulatePixels<3>(s, count);
        case 4:
            return AccumulatePixels<4>(s, count);
        default:
            for (int64_t i = stride; i < count; ++i)
                s[i] = static_cast<T>(s[i] + s[i - stride]);
    }
}

// The Predictor entry of the current directory, read from the file itself:
// libtiff drops the tag for codecs that do not use it, uncompressed data
// among them.
bool ReadFromFile(TIFF* tif, int32_t* value) {
    const int fd = TIFFFileno(tif);
    const bool big = TIFFIsBigTIFF(tif) != 0, swapped = TIFFIsByteSwapped(tif) != 0;
    const uint64_t at = TIFFCurrentDirOffset(tif);
    auto load = [&](uint64_t offset, void* out, size_t size) {
        return offset < INT64_MAX &&
               ::pread(fd, out, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
    };
    auto u16 = [&](const uint8_t* b) {
        const uint16_t v = static_cast<uint16_t>(b[0] | b[1] << 8);
        return swapped ? static_cast<uint16_t>(v >> 8 | v << 8) : v;
    };
    uint8_t head[8] = {};
    if (!load(at, head, big ? 8 : 2)) return false;
    uint64_t count = u16(head);
    if (big) {
        std::memcpy(&count, head, 8);
        if (swapped) TIFFSwabLong8(&count);
    }
    const size_t entrySize = big ? 20 : 12;
    const uint64_t first = at + (big ? 8 : 2);
    count = std::min<uint64_t>(count, 4096); // far more tags than TIFF defines
    uint8_t entry[20];
    for (uint64_t i = 0; i < count; ++i) {
        if (!load(first + i * entrySize, entry, entrySize)) return false;
        if (u16(entry) != TIFFTAG_PREDICTOR) continue;
        const uint16_t type = u16(entry + 2);
        const uint8_t* data = entry + (big ? 12 : 8);
        if (type == TIFF_SHORT) {
            *value = u16(data);
        } else if (type == TIFF_BYTE) {
            *value = data[0];
        } else if (type == TIFF_LONG) {
            uint32_t v;
            std::memcpy(&v, data, 4);
            if (swapped) TIFFSwabLong(&v);
            *value = static_cast<int32_t>(v & 0x7FFFFFFF);
        } else {
            return false;
        }
        return true;
    }
    return false;
}

// Reorders a row of byte planes (most significant plane first) into native
// samples.
void MergeBytePlanes(uint8_t* row, int64_t rowSize, uint32_t sampleBytes, uint8_t* scratch) {
    std::memcpy(scratch, row, static_cast<size_t>(rowSize));
    const int64_t samples = rowSize / sampleBytes;
    for (uint32_t b = 0; b < sampleBytes; ++b) {
        const uint8_t* plane = scratch + int64_t{b} * samples;
        const uint32_t at = sampleBytes - 1 - b; // little-endian host
        for (int64_t i = 0; i < samples; ++i)
            row[i * sampleBytes + at] = plane[i];
    }
}

// Undoes libtiff's swapping of decoded samples: the floating-point
// predictor's bytes are planes, not samples.
void Unswap(uint8_t* data, int64_t bytes, uint32_t sampleBytes) {
    switch (sampleBytes) {
        case 2:
            TIFFSwabArrayOfShort(reinterpret_cast<uint16_t*>(data), bytes / 2);
            break;
        case 3:
            TIFFSwabArrayOfTriples(data, bytes / 3);
            break;
        case 4:
            TIFFSwabArrayOfLong(reinterpret_cast<uint32_t*>(data), bytes / 4);
            break;
        case 8:
            TIFFSwabArrayOfLong8(reinterpret_cast<uint64_t*>(data), bytes / 8);
            break;
        default:
            break;
    }
}

} // namespace

bool ILTiffSetupPredictor(ILHandle* h, TIFF* tif, ILTiffPredictor* p) {
    *p = ILTiffPredictor{};
    const TIFFField* field = TIFFFindField(tif, TIFFTAG_PREDICTOR, TIFF_ANY);
    if (!field) return true;
    int32_t predictor = 1;
    if (TIFFFieldIsAnonymous(field)) {
        // Only uncompressed data gains a predictor; the other codecs that
        // libtiff does not run it for ignore the tag, as libtiff does.
        uint16_t compression = COMPRESSION_NONE;
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        if (compression != COMPRESSION_NONE || !ReadFromFile(tif, &predictor)) return true;
    } else {
        uint16_t value = 1;
        if (!TIFFGetField(tif, TIFFTAG_PREDICTOR, &value)) return true;
        predictor = value;
        if (predictor != 1) TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_NONE);
    }
    if (predictor == PREDICTOR_NONE) return true;

    uint16_t bits = 1, format = SAMPLEFORMAT_UINT, samples = 1, planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    if (predictor == PREDICTOR_HORIZONTAL) {
        if (bits != 8 && bits != 16 && bits != 32 && bits != 64) {
            ILErrorF(h, "Horizontal differencing \"Predictor\" not supported with %d-bit samples",
                     bits);
            return false;
        }
    } else if (predictor == PREDICTOR_FLOATINGPOINT) {
        if (format != SAMPLEFORMAT_IEEEFP)
            ILWarning(h,
                      "Floating point \"Predictor\" not allowed with integer data format,\n"
                      "but is used as defined in the tag - result might be unexpected!");
        if (bits % 8 != 0 || bits == 0) {
            ILErrorF(h, "Floating point \"Predictor\" not supported with %d-bit samples", bits);
            return false;
        }
    } else {
        ILErrorF(h, "\"Predictor\" value %d not supported", predictor);
        return false;
    }
    p->predictor = predictor;
    p->stride = planar == PLANARCONFIG_CONTIG ? samples : 1;
    p->rowSize =
        static_cast<int64_t>(TIFFIsTiled(tif) ? TIFFTileRowSize64(tif) : TIFFScanlineSize64(tif));
    p->sampleBytes = bits / 8u;
    p->swapped = TIFFIsByteSwapped(tif) != 0;
    return p->rowSize > 0 && p->rowSize % p->sampleBytes == 0;
}

void ILTiffUndoPredictor(const ILTiffPredictor& p, uint8_t* data, uint64_t bytes) {
    if (p.predictor == PREDICTOR_NONE || p.rowSize <= 0) return;
    const int64_t rows = static_cast<int64_t>(bytes / static_cast<uint64_t>(p.rowSize));
    if (p.predictor == PREDICTOR_HORIZONTAL) {
        const int64_t count = p.rowSize / p.sampleBytes;
        for (int64_t r = 0; r < rows; ++r) {
            uint8_t* row = data + r * p.rowSize;
            switch (p.sampleBytes) {
                case 1:
                    Accumulate(row, count, p.stride);
                    break;
                case 2:
                    Accumulate(reinterpret_cast<U16*>(row), count, p.stride);
                    break;
                case 4:
                    Accumulate(reinterpret_cast<U32*>(row), count, p.stride);
                    break;
                default:
                    Accumulate(reinterpret_cast<U64*>(row), count, p.stride);
                    break;
            }
        }
        return;
    }
    if (p.swapped) Unswap(data, rows * p.rowSize, p.sampleBytes);
    std::vector<uint8_t> scratch(static_cast<size_t>(p.rowSize));
    for (int64_t r = 0; r < rows; ++r) {
        uint8_t* row = data + r * p.rowSize;
        Accumulate(row, p.rowSize, p.stride);
        MergeBytePlanes(row, p.rowSize, p.sampleBytes, scratch.data());
    }
}
