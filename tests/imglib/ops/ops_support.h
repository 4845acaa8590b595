// Images for the operation tests: owned records, seeded contents, packed
// raw bytes, and vips as an oracle through rawload / rawsave.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imglib/image.h"
#include "support/files.h"
#include "support/tools.h"

namespace vxtest {

struct Image : ILImage {
    Image() { ILInitImage(this); }
    Image(uint32_t width, uint32_t height, ILPixelType type) {
        ILInitImage(this);
        EXPECT_EQ(ILAllocImage(this, width, height, type, nullptr), IL_OK);
    }
    ~Image() { ILClearImage(this); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
};

inline bool IsFloatKind(ILPixelType type) {
    return (type & IL_KIND_MASK) == IL_KIND_FLOAT;
}

// Seeded contents; float samples stay in [0, 1) so that every value is a
// number, half samples are any finite code.
inline void FillSeeded(ILImage* image, uint32_t seed) {
    uint32_t s = seed * 2654435761u + 1;
    auto next = [&s] { return s = s * 1664525u + 1013904223u; };
    const uint64_t rowBytes = (uint64_t{image->bits} * image->channels * image->width + 7) / 8;
    for (uint32_t y = 0; y < image->height; ++y) {
        uint8_t* row = image->data + y * image->stride;
        if (IsFloatKind(image->type)) {
            for (uint64_t i = 0; i < rowBytes / 4; ++i) {
                const float v = static_cast<float>(next() >> 8) / 16777216.0f;
                std::memcpy(row + i * 4, &v, 4);
            }
        } else if ((image->type & IL_KIND_MASK) == IL_KIND_HALF) {
            for (uint64_t i = 0; i < rowBytes / 2; ++i) {
                const uint16_t v = static_cast<uint16_t>(next() >> 16) & 0x7BFF;
                std::memcpy(row + i * 2, &v, 2);
            }
        } else {
            for (uint64_t i = 0; i < rowBytes; ++i)
                row[i] = static_cast<uint8_t>(next() >> 24);
        }
    }
}

// The sample of a one-byte-or-narrower pixel at (x, y): an index or a grey.
inline uint8_t SmallPixelAt(const ILImage& image, uint32_t x, uint32_t y) {
    uint8_t v = 0;
    ILGetPixelProc get;
    ILSetPixelProc set;
    EXPECT_TRUE(ILGetPixelAccessors(&image, &set, &get));
    get(&image, static_cast<int32_t>(x), static_cast<int32_t>(y), &v);
    return v;
}

// The pixels without row padding.
inline std::vector<uint8_t> Packed(const ILImage& image) {
    const uint64_t rowBytes = (uint64_t{image.bits} * image.channels * image.width + 7) / 8;
    std::vector<uint8_t> out(rowBytes * image.height);
    for (uint32_t y = 0; y < image.height; ++y)
        std::memcpy(out.data() + y * rowBytes, image.data + y * image.stride, rowBytes);
    return out;
}

inline const char* VipsFormat(const ILImage& image) {
    if (IsFloatKind(image.type)) return "float";
    return image.bits == 16 ? "ushort" : "uchar";
}

inline void ReplaceAll(std::string* text, const std::string& from, const std::string& to) {
    for (size_t at = text->find(from); at != std::string::npos;
         at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

// Runs each vips command line of `operations`, whose input and output are
// written {in} and {out}, on the image's raw pixels in one shell; answers
// the packed results, all empty when vips failed.
inline std::vector<std::vector<uint8_t>> VipsRun(const ILImage& image,
                                                 const std::filesystem::path& dir,
                                                 const std::vector<std::string>& operations,
                                                 const std::string& loadOptions = "") {
    std::vector<std::vector<uint8_t>> results(operations.size());
    const auto in = dir / "in.raw";
    if (!WriteBytes(in, Packed(image))) return results;
    const std::string v = (dir / "in.v").string();
    std::string command = "vips rawload " + in.string() + " " + v + " " +
                          std::to_string(image.width) + " " + std::to_string(image.height) + " " +
                          std::to_string(image.channels) + " --format " + VipsFormat(image) + " " +
                          loadOptions;
    for (size_t i = 0; i < operations.size(); ++i) {
        std::string operation = operations[i];
        ReplaceAll(&operation, "{in}", v);
        ReplaceAll(&operation, "{out}", (dir / ("out" + std::to_string(i) + ".raw")).string());
        command += " && vips " + operation;
    }
    if (Shell(command + " 2>/dev/null") != 0) return results;
    for (size_t i = 0; i < operations.size(); ++i)
        results[i] = ReadBytes(dir / ("out" + std::to_string(i) + ".raw"));
    return results;
}

// A photo-like 8-bit image: smooth gradients, a few hard edges and a little
// seeded noise, in any channel count the tests need (B, G, R order).
inline void FillPhoto(ILImage* image, uint32_t seed) {
    uint32_t s = seed * 2654435761u + 7;
    const uint32_t c = image->channels;
    for (uint32_t y = 0; y < image->height; ++y) {
        uint8_t* row = image->data + y * image->stride;
        for (uint32_t x = 0; x < image->width; ++x) {
            s = s * 1664525u + 1013904223u;
            const int noise = static_cast<int>(s >> 28) - 8;
            const bool block = ((x / 37) + (y / 23)) % 5 == 0;
            for (uint32_t ch = 0; ch < c; ++ch) {
                int v = static_cast<int>((x * (ch + 1) * 255) / image->width +
                                         (y * 180) / image->height) /
                        2;
                if (block) v = 255 - v;
                v += noise;
                row[x * c + ch] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    }
}

// Mean and largest absolute difference of two byte vectors of one size.
struct Difference {
    double mean = 0;
    int largest = 0;
    double farShare = 0; // share of samples more than 6 codes apart
};
inline Difference Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    Difference d;
    if (a.size() != b.size() || a.empty()) return {1e9, 256, 1};
    for (size_t i = 0; i < a.size(); ++i) {
        const int e = std::abs(int{a[i]} - int{b[i]});
        d.mean += e;
        d.largest = std::max(d.largest, e);
        d.farShare += e > 6;
    }
    d.mean /= static_cast<double>(a.size());
    d.farShare /= static_cast<double>(a.size());
    return d;
}

} // namespace vxtest
