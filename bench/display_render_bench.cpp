// Rendering a 24-megapixel image into the display bitmap, in megapixels per
// second: 8-bit RGB (rows shared), 16-bit and float RGB (converted to B,G,R
// 8) and 8-bit RGBA blended onto the background. The viewer shows a new image
// only after this render, so it adds to the time a user waits.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "imglib/handle.h"
#include "imglib/image.h"
#include "viewer/logic/dib_render.h"

namespace {

constexpr uint32_t kWidth = 6000, kHeight = 4000;

// Fixed-seed pixels: codes over the whole range, floats over 0..1.
void FillPixels(ILImage& image) {
    std::mt19937 rng(12345);
    const size_t bytes = size_t(image.stride) * image.height;
    if ((image.type & IL_KIND_MASK) == IL_KIND_FLOAT) {
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (size_t i = 0; i + 4 <= bytes; i += 4) {
            const float v = unit(rng);
            std::memcpy(image.data + i, &v, 4);
        }
    } else {
        for (size_t i = 0; i + 4 <= bytes; i += 4) {
            const uint32_t r = rng();
            std::memcpy(image.data + i, &r, 4);
        }
    }
}

// fresh: the bitmap is freed between renders, as when an image of another
// size arrives; otherwise its rows' block is reused (an edit, the next photo
// of the same size).
void BM_Render(benchmark::State& state, ILPixelType type, bool useAlpha, bool fresh) {
    ILHandle* handle = ILCreateHandle("display bench");
    ILImage image;
    ILInitImage(&image);
    if (ILCreateImage(&image, kWidth, kHeight, type, nullptr) != IL_OK) {
        state.SkipWithError("out of memory");
        ILDestroyHandle(handle);
        return;
    }
    FillPixels(image);
    ILColor background;
    background.Set(0.2f, 0.4f, 0.6f);
    DibBuffer dib;
    for (auto _ : state) {
        if (!dib.Render(image, background, useAlpha)) {
            state.SkipWithError("render failed");
            break;
        }
        benchmark::DoNotOptimize(dib.pixels);
        benchmark::ClobberMemory();
        if (fresh) dib.Free();
    }
    state.counters["Mpix/s"] = benchmark::Counter(
        double(kWidth) * kHeight * state.iterations() / 1e6, benchmark::Counter::kIsRate);
    dib.Free();
    ILClearImage(&image);
    ILDestroyHandle(handle);
}

BENCHMARK_CAPTURE(BM_Render, rgb8_shared, IL_BGR8, false, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Render, rgb16_converted, IL_BGR16, false, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Render, rgb_float_converted, IL_BGR_FLOAT, false, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Render, rgba8_blended, IL_BGRA8, true, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Render, rgb16_converted_fresh, IL_BGR16, false, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Render, rgb_float_converted_fresh, IL_BGR_FLOAT, false, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Render, rgba8_blended_fresh, IL_BGRA8, true, true)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
