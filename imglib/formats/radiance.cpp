// Radiance reading and writing: high-dynamic-range RGBE and XYZE pictures
// (three 8-bit mantissas sharing an 8-bit exponent).
// Read: run-length and flat scanlines (with repeat markers), RGBE and XYZE
// (converted to linear R, G, B); rows in file order, the first scanline on
// top (an X-major file loads transposed).
// Written: Y-major, top-down files, RGBE or XYZE by the handle's
// radianceXYZE option, scanlines of 8 to 32767 pixels run-length encoded.
// Not handled: the header's exposure, colour correction and primaries.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imglib/convert/converter_owner.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"

namespace {

constexpr char kModule[] = "RADIANCE";
constexpr uint32_t kMinRleLength = 8;
constexpr uint32_t kMaxRleLength = 0x7FFF;
constexpr uint64_t kImageBytesAlwaysAllowed = uint64_t{64} << 20;

struct Bytes {
    const uint8_t* data;
    size_t size, pos = 0;
    int Byte() { return pos < size ? data[pos++] : -1; }
};

// The header up to its empty line: 13 for RGBE, 14 for XYZE, 0 otherwise.
uint32_t ReadHeader(Bytes* in) {
    uint32_t colorType = 0;
    std::string line;
    for (;;) {
        const int c = in->Byte();
        if (c < 0) return 0;
        if (c != '\n') {
            line.push_back(static_cast<char>(c));
            continue;
        }
        if (line.empty()) return colorType;
        if (line.compare(0, 7, "FORMAT=") == 0) {
            const size_t start = line.find_first_not_of(" \t\r\v\f", 7);
            const size_t end =
                start == std::string::npos ? start : line.find_first_of(" \t\r\n\v\f", start);
            const std::string value =
                start == std::string::npos ? "" : line.substr(start, end - start);
            colorType = value == "32-bit_rle_rgbe"   ? uint32_t{IL_CT_RGBE}
                        : value == "32-bit_rle_xyze" ? uint32_t{IL_CT_XYZE}
                                                     : 0;
        }
        line.clear();
    }
}

// "-Y 480 +X 640": width the minor axis's size, height the major's.
bool ReadResolution(Bytes* in, uint32_t* width, uint32_t* height) {
    std::string line;
    for (int c = in->Byte(); c >= 0 && c != '\n' && line.size() < 31; c = in->Byte())
        line.push_back(static_cast<char>(c));
    const size_t x = line.rfind('X'), y = line.rfind('Y');
    if (x == std::string::npos || y == std::string::npos) return false;
    const long xs = std::strtol(line.c_str() + x + 1, nullptr, 10);
    const long ys = std::strtol(line.c_str() + y + 1, nullptr, 10);
    if (xs <= 0 || ys <= 0 || xs > INT32_MAX || ys > INT32_MAX) return false;
    const bool yMajor = y < x;
    *width = static_cast<uint32_t>(yMajor ? xs : ys);
    *height = static_cast<uint32_t>(yMajor ? ys : xs);
    return true;
}

// Flat pixels into row from pixel x on; repeat markers 1, 1, 1, n repeat
// the previous pixel n << shift times. Excess repeats are dropped; a marker
// with no pixel before it fails.
bool ReadFlat(Bytes* in, uint8_t* row, uint32_t x, uint32_t width) {
    uint32_t shift = 0;
    while (x < width) {
        if (in->size - in->pos < 4) return false;
        const uint8_t* p = in->data + in->pos;
        in->pos += 4;
        if (p[0] == 1 && p[1] == 1 && p[2] == 1) {
            if (x == 0 || shift > 24) return false;
            const uint64_t count = std::min<uint64_t>(uint64_t{p[3]} << shift, width - x);
            for (uint64_t k = 0; k < count; ++k, ++x)
                std::memcpy(row + 4 * size_t{x}, row + 4 * size_t{x - 1}, 4);
            shift += 8;
            continue;
        }
        std::memcpy(row + 4 * size_t{x++}, p, 4);
        shift = 0;
    }
    return true;
}

bool ReadScanline(Bytes* in, uint8_t* row, uint32_t width) {
    if (width < kMinRleLength || width > kMaxRleLength) return ReadFlat(in, row, 0, width);
    if (in->size - in->pos < 4) return false;
    const uint8_t* p = in->data + in->pos;
    if (p[0] != 2) return ReadFlat(in, row, 0, width);
    in->pos += 4;
    if (p[1] != 2 || (p[2] & 0x80)) {
        std::memcpy(row, p, 4);
        return ReadFlat(in, row, 1, width);
    }
    if ((uint32_t{p[2]} << 8 | p[3]) != width) return false;
    for (uint32_t k = 0; k < 4; ++k) {
        for (uint32_t x = 0; x < width;) {
            const int count = in->Byte();
            if (count <= 0) return false;
            if (count > 128) {
                const uint32_t n = static_cast<uint32_t>(count) - 128;
                const int value = in->Byte();
                if (value < 0 || n > width - x) return false;
                for (uint32_t i = 0; i < n; ++i)
                    row[4 * size_t{x++} + k] = static_cast<uint8_t>(value);
            } else {
                const uint32_t n = static_cast<uint32_t>(count);
                if (n > width - x || in->size - in->pos < n) return false;
                for (uint32_t i = 0; i < n; ++i)
                    row[4 * size_t{x++} + k] = in->data[in->pos++];
            }
        }
    }
    return true;
}

void Decode(const uint8_t* p, float* out) {
    if (p[3] == 0) {
        out[0] = out[1] = out[2] = 0;
        return;
    }
    const float f = std::ldexp(1.0f, p[3] - 136);
    for (int k = 0; k < 3; ++k)
        out[k] = (p[k] + 0.5f) * f;
}

void Encode(const float* v, uint8_t* p) {
    const float d = std::max({v[0], v[1], v[2]});
    if (!(d > 1e-32f)) {
        std::memset(p, 0, 4);
        return;
    }
    int e = 0;
    const float m = std::frexp(d, &e);
    const float scale = m * 255.9999f / d;
    for (int k = 0; k < 3; ++k)
        p[k] = v[k] > 0 ? static_cast<uint8_t>(v[k] * scale) : 0;
    p[3] = static_cast<uint8_t>(e + 128);
}

// Linear R, G, B and X, Y, Z.
void XyzToRgb(const float* xyz, float* rgb) {
    rgb[0] = 3.24071f * xyz[0] - 1.53726f * xyz[1] - 0.498571f * xyz[2];
    rgb[1] = -0.969258f * xyz[0] + 1.87599f * xyz[1] + 0.0415557f * xyz[2];
    rgb[2] = 0.0556352f * xyz[0] - 0.203996f * xyz[1] + 1.05707f * xyz[2];
}
void RgbToXyz(const float* rgb, float* xyz) {
    xyz[0] = 0.412424f * rgb[0] + 0.357579f * rgb[1] + 0.180464f * rgb[2];
    xyz[1] = 0.212656f * rgb[0] + 0.715158f * rgb[1] + 0.0721856f * rgb[2];
    xyz[2] = 0.0193324f * rgb[0] + 0.119193f * rgb[1] + 0.950444f * rgb[2];
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFileReader file;
    if (const ILResult opened = file.Open(h, path, info); opened != IL_OK) return opened;
    std::vector<uint8_t> data(file.size);
    if (file.Read(data.data(), data.size()) != data.size()) return ILReportReadFailed(h);
    Bytes in{data.data(), data.size()};
    const uint32_t colorType = ReadHeader(&in);
    uint32_t width = 0, height = 0;
    if (!colorType || !ReadResolution(&in, &width, &height)) return ILReportInvalidHeader(h);
    if (info) {
        info->formatId = IL_FORMAT_RADIANCE;
        info->colorType = colorType;
        info->width = width;
        info->height = height;
        info->bitsPerPixel = 32;
        info->channels = 4;
        info->compression = IL_COMP_RLE;
        info->gamma = 1.0;
        info->gammaKind = IL_GAMMA_STORED;
        info->pages = 1;
    }
    if (!image) return IL_OK;

    ILClearImage(image);
    const ILPixelType target = ILGetLoadPixelType(h, IL_BGR_HALF, false);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint64_t imageBytes = ILImageBufferSize(width, height, target);
    // A scanline takes 4 bytes at least, a run-length one about a byte per
    // 32 pixels.
    const uint64_t needed = uint64_t{height} * std::max<uint64_t>(4, width / 32);
    if (needed > in.size - in.pos && imageBytes > kImageBytesAlwaysAllowed) {
        return ILReportUnbackedClaim(h, width, height, file.size);
    }
    if (const ILResult budget = ILCheckImageBudget(h, imageBytes); budget != IL_OK) return budget;
    if (ILReallocImage(image, width, height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, imageBytes);
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetModes(c, IL_BGR_FLOAT, target, width);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    std::vector<uint8_t> pixels(size_t{width} * 4);
    std::vector<float> floats(size_t{width} * 3);
    for (uint32_t y = 0; y < height; ++y) {
        if (!ReadScanline(&in, pixels.data(), width)) {
            ILErrorF(h, "Invalid code in scanline %u.", y);
            if (y == 0) return ILReportInvalidCompression(h);
            for (uint32_t k = y; k < height; ++k)
                std::memset(image->data + int64_t{k} * image->stride, 0, image->stride);
            return ILReportUnexpectedEnd(h);
        }
        for (uint32_t x = 0; x < width; ++x) {
            float v[3], rgb[3];
            Decode(pixels.data() + 4 * size_t{x}, v);
            if (colorType == IL_CT_XYZE)
                XyzToRgb(v, rgb);
            else
                std::copy(v, v + 3, rgb);
            float* out = floats.data() + 3 * size_t{x};
            out[0] = rgb[2];
            out[1] = rgb[1];
            out[2] = rgb[0];
        }
        c->rowKernel(c, floats.data(), image->data + int64_t{y} * image->stride);
    }
    return IL_OK;
}

// One component as packets: runs of 4 to 127 equal bytes, short runs of 2
// or 3 before a run, literal packets of up to 128 bytes.
void EncodeComponent(const uint8_t* bytes, uint32_t n, std::vector<uint8_t>* out) {
    uint32_t j = 0;
    while (j < n) {
        uint32_t beg = j, run = 0;
        while (beg < n) {
            run = 1;
            while (run < 127 && beg + run < n && bytes[beg + run] == bytes[beg])
                ++run;
            if (run >= 4) break;
            beg += run;
        }
        if (beg >= n) run = 0;
        if (beg - j >= 2 && beg - j <= 3 &&
            std::all_of(bytes + j, bytes + beg, [&](uint8_t b) { return b == bytes[j]; })) {
            out->push_back(static_cast<uint8_t>(128 + beg - j));
            out->push_back(bytes[j]);
            j = beg;
        }
        while (j < beg) {
            const uint32_t count = std::min(128u, beg - j);
            out->push_back(static_cast<uint8_t>(count));
            out->insert(out->end(), bytes + j, bytes + j + count);
            j += count;
        }
        if (run >= 4) {
            out->push_back(static_cast<uint8_t>(128 + run));
            out->push_back(bytes[beg]);
            j = beg + run;
        }
    }
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image) {
    if (!image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const bool xyze = h->radianceXYZE != 0;
    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    if (ILHasAlpha(image->type)) {
        ILConverterSetAlphaMode(c, h->alphaMode);
        ILConverterSetBackground(c, h->background);
    }
    ILConverterSetImageTarget(c, image, IL_BGR_FLOAT);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    const uint32_t w = image->width;
    std::vector<float> floats(size_t{w} * 3);
    std::vector<uint8_t> pixels(size_t{w} * 4), component(w), line;

    ILFileWriter out;
    if (const ILResult opened = out.Open(h, path); opened != IL_OK) return opened;
    char resolution[64];
    std::snprintf(resolution, sizeof resolution, "-Y %u +X %u\n", image->height, w);
    const std::string header = std::string("#?RADIANCE\nGAMMA=1.0\nEXPOSURE=1.0\nFORMAT=") +
                               (xyze ? "32-bit_rle_xyze" : "32-bit_rle_rgbe") + "\n\n" + resolution;
    if (out.Write(header.data(), header.size()) != header.size()) return ILReportWriteFailed(h);
    const bool rle = w >= kMinRleLength && w <= kMaxRleLength;
    for (uint32_t y = 0; y < image->height; ++y) {
        c->rowKernel(c, image->data + int64_t{y} * image->stride, floats.data());
        for (uint32_t x = 0; x < w; ++x) {
            const float* bgr = floats.data() + 3 * size_t{x};
            const float rgb[3] = {bgr[2], bgr[1], bgr[0]};
            float v[3];
            if (xyze)
                RgbToXyz(rgb, v);
            else
                std::copy(rgb, rgb + 3, v);
            Encode(v, pixels.data() + 4 * size_t{x});
        }
        const uint8_t* bytes = pixels.data();
        size_t count = pixels.size();
        if (rle) {
            line.assign({2, 2, static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)});
            for (uint32_t k = 0; k < 4; ++k) {
                for (uint32_t x = 0; x < w; ++x)
                    component[x] = pixels[4 * size_t{x} + k];
                EncodeComponent(component.data(), w, &line);
            }
            bytes = line.data();
            count = line.size();
        }
        if (out.Write(bytes, count) != count) return ILReportWriteFailed(h);
    }
    if (!out.Close()) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILLoadRadiance(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kModule, image, [&] { return Load(h, path, image, info); });
}

ILResult ILSaveRadiance(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo*) {
    return ILGuardSave(h, kModule, [&] { return Save(h, path, image); });
}
