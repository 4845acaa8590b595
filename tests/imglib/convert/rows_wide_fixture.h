// Helpers for the tests of the deep-sample kernel families: kernels looked up
// in the families' own tables (so a fault shows here, not through the
// selection), rows of exact size (so the sanitizer build sees any access past
// a row), sample packing, and sRGB reference formulas in double precision.
#pragma once

#include <Imath/half.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/convert/kernel_table.h"
#include "imglib/convert/srgb.h"
#include "imglib/handle.h"
#include "imglib/image.h"

namespace rowstest {

// The kernel of (source, target, variant) in the float-target, wide-source
// and half-target tables, or null.
inline const ILKernelEntry* FindEntry(ILPixelType s, ILPixelType t, ILKernelVariant v = IL_KV_ANY) {
    for (auto table : {ILKernelsFloatTarget(), ILKernelsWideSource(), ILKernelsHalfFloatTarget()})
        for (const ILKernelEntry& e : table)
            if (e.source == s && e.target == t && e.variant == v) return &e;
    return nullptr;
}

// A live handle keeps the profiles and lcms2 plug-in in place once used.
class RowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = ILCreateHandle("rows test");
        ASSERT_NE(handle_, nullptr);
    }
    void TearDown() override { ILDestroyHandle(handle_); }
    ILHandle* handle_ = nullptr;
};

// A converter set up as the selection leaves it for one kernel.
struct KernelRun {
    ILConverter c;
    ILRowKernel kernel = nullptr;

    KernelRun(ILPixelType s, ILPixelType t, uint64_t width, ILKernelVariant v = IL_KV_ANY) {
        ILConverterInit(&c);
        c.sourceType = s;
        c.targetType = t;
        c.width = width;
        c.premultipliedSource = (s & IL_EXTRA_PREMULTIPLIED) != 0;
        if (const ILKernelEntry* e = FindEntry(s, t, v)) kernel = e->kernel;
        EXPECT_NE(kernel, nullptr) << std::hex << "no kernel 0x" << s << " -> 0x" << t;
    }
    ~KernelRun() { ILConverterFree(&c); }
    KernelRun(const KernelRun&) = delete;
    KernelRun& operator=(const KernelRun&) = delete;

    // Converts one row; the target starts as `target` (its size is the row's).
    template <class S, class T>
    std::vector<T> operator()(const std::vector<S>& source, std::vector<T> target) {
        if (kernel) kernel(&c, source.data(), target.data());
        return target;
    }
};

inline uint16_t H(float v) {
    return half(v).bits();
}
inline float F(uint16_t bits) {
    half h;
    h.setBits(bits);
    return h;
}

// Bytes of little-endian samples, for sources of 3-byte floats and the like.
inline std::vector<uint8_t> Bytes(const std::vector<uint32_t>& values, int bytesEach) {
    std::vector<uint8_t> out;
    for (uint32_t v : values)
        for (int i = 0; i < bytesEach; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}

// sRGB in double precision, independent of the library's float code.
inline double Decode(double v) {
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
inline double Encode(double x) {
    return x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1.0 / 2.4) - 0.055;
}

// The dither offsets of the matrix with dithering on, (Bayer + 0.5) / 16.
inline constexpr float kOffsets[16] = {0.03125f, 0.53125f, 0.15625f, 0.65625f, 0.78125f, 0.28125f,
                                       0.90625f, 0.40625f, 0.21875f, 0.71875f, 0.09375f, 0.59375f,
                                       0.96875f, 0.46875f, 0.84375f, 0.34375f};

// True when an integer result of truncating `exact` is right: equal to the
// double-precision value, or off by one where that value lies so close to a
// code boundary that single-precision arithmetic may fall either side.
inline bool TruncMatches(int have, double exact, double slack = 1e-4) {
    const int want = static_cast<int>(std::floor(exact));
    if (have == want) return true;
    const double frac = exact - std::floor(exact);
    return (have == want + 1 && frac > 1.0 - slack) || (have == want - 1 && frac < slack);
}

} // namespace rowstest
