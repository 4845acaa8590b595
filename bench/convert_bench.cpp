// Converter throughput on a 24-megapixel image, single-threaded, in
// megapixels per second, for the conversions that every load and display
// goes through.
//
//   convert_bench [benchmark flags]        run the benchmarks
//   convert_bench --write-inputs DIR       write the same inputs as raw files
//                                          (convert_vs_vips.sh feeds them to vips)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/handle.h"

namespace {

constexpr uint32_t kWidth = 6000, kHeight = 4000;

struct Input {
    const char* name;
    ILPixelType source, target;
    uint8_t alphaHandling;
    uint32_t bytesPerPixel;
    bool shapes = false; // alpha from discs with soft edges instead of random (no vips input)
};

const Input kInputs[] = {
    {"rgb8_to_grey8", 0x43, 0x41, 1, 3},
    {"rgb16_to_rgb8", 0x63, 0x43, 1, 6},
    {"linear_float_to_srgb8", 0x123, 0x43, 1, 12},
    {"rgba8_composite", 0x2043, 0x43, 2, 4},
    {"rgba8_composite_shapes", 0x2043, 0x43, 2, 4, true},
    {"greya8_composite_shapes", 0x2041, 0x43, 2, 2, true},
    {"greya16_composite_shapes", 0x2061, 0x43, 2, 4, true},
    {"rgba16_composite_shapes", 0x2063, 0x43, 2, 8, true},
    {"ycbcr8_to_rgb8", 0x45, 0x43, 1, 3},
    {"index8_to_rgb8", 0x42, 0x43, 1, 1},
};

// Fixed-seed pixels: codes spread over the whole range, floats over 0..1.
std::vector<uint8_t> MakePixels(const Input& in) {
    std::vector<uint8_t> data(size_t{kWidth} * kHeight * in.bytesPerPixel);
    std::mt19937 rng(12345);
    if (in.source == 0x123) {
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (size_t i = 0; i < data.size(); i += 4) {
            const float v = unit(rng);
            std::memcpy(&data[i], &v, 4);
        }
    } else {
        for (size_t i = 0; i + 4 <= data.size(); i += 4) {
            const uint32_t r = rng();
            std::memcpy(&data[i], &r, 4);
        }
    }
    // Opaque discs of radius 300 on an 800-pixel grid, transparent between
    // them, with an edge two pixels wide: what cut-outs and icons look like. The
    // alpha sample is the last of the pixel.
    if (in.shapes) {
        const uint32_t alphaBytes = ILBitsPerSample(in.source) / 8;
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x) {
                const double dx = x % 800 - 400.0, dy = y % 800 - 400.0;
                const double cover = (301.0 - std::sqrt(dx * dx + dy * dy)) / 2.0;
                const double a = std::clamp(cover, 0.0, 1.0);
                uint8_t* alpha =
                    data.data() + (size_t{y} * kWidth + x + 1) * in.bytesPerPixel - alphaBytes;
                if (alphaBytes == 1) {
                    *alpha = static_cast<uint8_t>(std::lround(255.0 * a));
                } else {
                    const auto a16 = static_cast<uint16_t>(std::lround(65535.0 * a));
                    std::memcpy(alpha, &a16, 2);
                }
            }
    }
    return data;
}

// 256 grey-to-colour entries, also written for vips as a 256 x 1 look-up.
ILPalette MakePalette() {
    ILPalette palette(256);
    for (uint32_t i = 0; i < 256; ++i)
        palette.SetEntryBGR8(i, uint8_t(i), uint8_t(255 - i), uint8_t(i * 7));
    return palette;
}

struct Shared {
    ILHandle* handle = ILCreateHandle("convert bench");
    ~Shared() { ILDestroyHandle(handle); }
};

void BM_Convert(benchmark::State& state, const Input* in) {
    static Shared shared;
    const std::vector<uint8_t> source = MakePixels(*in);
    std::vector<uint8_t> target(size_t{kWidth} * kHeight * (in->target == 0x41 ? 1 : 3));
    ILPalette palette = MakePalette();
    ILConverter c;
    ILConverterInit(&c);
    ILColor background;
    background.Set(0.8f, 0.3f, 0.1f);
    ILConverterSetBackground(&c, background);
    ILConverterSetAlphaMode(&c, in->alphaHandling);
    if (in->source == 0x42) ILConverterSetPalette(&c, &palette);
    ILConverterSetModes(&c, in->source, in->target, kWidth);
    if (!ILConverterPrepare(&c)) {
        state.SkipWithError("conversion not supported");
        ILConverterFree(&c);
        return;
    }
    const size_t inStride = size_t{kWidth} * in->bytesPerPixel;
    const size_t outStride = target.size() / kHeight;
    for (auto _ : state) {
        for (uint32_t y = 0; y < kHeight; ++y)
            c.rowKernel(&c, source.data() + y * inStride, target.data() + y * outStride);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    ILConverterFree(&c);
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight / 1e6 * state.iterations(),
                                                benchmark::Counter::kIsRate);
}

bool WriteInputs(const std::string& dir) {
    for (const Input& in : kInputs) {
        if (in.shapes) continue;
        const std::vector<uint8_t> data = MakePixels(in);
        FILE* f = std::fopen((dir + "/" + in.name + ".raw").c_str(), "wb");
        if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size()) return false;
        std::fclose(f);
    }
    const ILPalette palette = MakePalette();
    std::vector<uint8_t> lut(256 * 3);
    palette.WriteRGB8(256, lut.data());
    FILE* f = std::fopen((dir + "/palette.raw").c_str(), "wb");
    if (!f || std::fwrite(lut.data(), 1, lut.size(), f) != lut.size()) return false;
    std::fclose(f);
    std::printf("%u %u\n", kWidth, kHeight);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-inputs") == 0) {
        // The palette helpers need the library's tables.
        ILHandle* h = ILCreateHandle("convert bench");
        const bool ok = WriteInputs(argv[2]);
        ILDestroyHandle(h);
        return ok ? 0 : 1;
    }
    for (const Input& in : kInputs)
        benchmark::RegisterBenchmark(in.name, BM_Convert, &in)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(2.0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
