// Row operations of the TIFF readers: subsampled YCbCr units to Y, Cb, Cr
// triplets, separate planes to interleaved samples, extra samples dropped,
// min-is-white samples to
// min-is-black.
#include <cstring>

#include "imglib/formats/tiff.h"

namespace {

// Chroma of pixel c in a row of 2 x 1 units (TIFF 6.0 section 21,
// YCbCrPositioning): co-sited chroma belongs to the even pixel, centred
// chroma lies between the unit's two pixels.
uint8_t Interpolated(const uint8_t* units, uint32_t c, uint32_t unitCount, bool cosited,
                     uint32_t which) {
    constexpr uint32_t kUnitBytes = 4;
    const uint32_t u = c / 2;
    const uint32_t cur = units[u * kUnitBytes + 2 + which];
    const uint32_t next = u + 1 < unitCount ? units[(u + 1) * kUnitBytes + 2 + which] : cur;
    if (cosited) return static_cast<uint8_t>(c % 2 == 0 ? cur : (cur + next) / 2);
    const uint32_t prev = u > 0 ? units[(u - 1) * kUnitBytes + 2 + which] : cur;
    return static_cast<uint8_t>(c % 2 == 0 ? (3 * cur + prev) / 4 : (3 * cur + next) / 4);
}

} // namespace

uint64_t ILTiffYCbCrUnitRowBytes(uint32_t width, uint16_t subsampling) {
    const uint32_t h = subsampling >> 4, v = subsampling & 15;
    if (h == 0 || v == 0) return 0;
    return (uint64_t{width} + h - 1) / h * (h * v + 2);
}

bool ILTiffUnpackYCbCr(uint32_t k, const uint8_t* data, uint8_t* out, uint32_t width,
                       uint16_t subsampling, uint16_t positioning) {
    if (subsampling != 0x11 && subsampling != 0x12 && subsampling != 0x21 && subsampling != 0x22)
        return false;
    const uint32_t h = subsampling >> 4, v = subsampling & 15;
    const uint32_t unitBytes = h * v + 2;
    const uint32_t unitCount = (width + h - 1) / h;
    const uint8_t* units = data + uint64_t{k / v} * unitCount * unitBytes;
    const uint32_t yRow = k % v;
    if (subsampling == 0x11) {
        std::memcpy(out, units, uint64_t{width} * 3);
        return true;
    }
    for (uint32_t c = 0; c < width; ++c) {
        const uint8_t* unit = units + uint64_t{c / h} * unitBytes;
        uint8_t* o = out + uint64_t{c} * 3;
        o[0] = unit[yRow * h + c % h];
        if (subsampling == 0x21) {
            o[1] = Interpolated(units, c, unitCount, positioning == 2, 0);
            o[2] = Interpolated(units, c, unitCount, positioning == 2, 1);
        } else {
            o[1] = unit[h * v];
            o[2] = unit[h * v + 1];
        }
    }
    return true;
}

void ILTiffInterleavePlanes(uint8_t* out, const uint8_t* planes, uint64_t offset, uint32_t width,
                            uint32_t count, uint64_t planeBytes, uint32_t bitsPerSample) {
    if (bitsPerSample == 4) {
        std::memset(out, 0, (uint64_t{width} * count + 1) / 2);
        for (uint32_t p = 0; p < count; ++p) {
            const uint8_t* plane = planes + p * planeBytes + offset;
            for (uint32_t i = 0; i < width; ++i) {
                const uint32_t v = (plane[i / 2] >> (i % 2 ? 0 : 4)) & 15;
                const uint64_t j = uint64_t{i} * count + p;
                out[j / 2] |= static_cast<uint8_t>(v << (j % 2 ? 0 : 4));
            }
        }
        return;
    }
    if (bitsPerSample % 8 != 0 || bitsPerSample == 0 || bitsPerSample > 64) return;
    const uint32_t size = bitsPerSample / 8;
    for (uint32_t p = 0; p < count; ++p) {
        const uint8_t* plane = planes + p * planeBytes + offset;
        uint8_t* o = out + uint64_t{p} * size;
        const uint64_t step = uint64_t{count} * size;
        if (size == 1) {
            for (uint32_t i = 0; i < width; ++i)
                o[i * step] = plane[i];
        } else {
            for (uint32_t i = 0; i < width; ++i)
                std::memcpy(o + i * step, plane + uint64_t{i} * size, size);
        }
    }
}

void ILTiffKeepSamples(uint8_t* out, const uint8_t* in, uint32_t width, uint32_t samples,
                       uint32_t kept, uint32_t sampleBytes) {
    const uint64_t pixelIn = uint64_t{samples} * sampleBytes,
                   pixelOut = uint64_t{kept} * sampleBytes;
    for (uint64_t i = 0; i < width; ++i)
        std::memcpy(out + i * pixelOut, in + i * pixelIn, pixelOut);
}

void ILTiffInvertRow(uint8_t* row, uint64_t bytes) {
    for (uint64_t i = 0; i < bytes; ++i)
        row[i] = static_cast<uint8_t>(~row[i]);
}
