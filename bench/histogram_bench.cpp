// The Histogram window's counting pass over a 24-megapixel image, in
// megapixels per second: it runs on the user-interface thread after every
// change of the image, so it must stay well under 100 ms (240 MP/s).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "imglib/handle.h"
#include "imglib/image.h"
#include "viewer/logic/histogram.h"

namespace {

constexpr uint32_t kWidth = 6000, kHeight = 4000;

void BM_Histogram(benchmark::State& state, ILPixelType type) {
    ILHandle* handle = ILCreateHandle("histogram bench");
    ILImage image;
    ILInitImage(&image);
    if (ILCreateImage(&image, kWidth, kHeight, type, nullptr) != IL_OK) {
        state.SkipWithError("out of memory");
        ILDestroyHandle(handle);
        return;
    }
    std::mt19937 rng(12345);
    const size_t bytes = size_t(image.stride) * image.height;
    const bool isFloat = (type & IL_KIND_MASK) == IL_KIND_FLOAT;
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (size_t i = 0; i + 4 <= bytes; i += 4) {
        const uint32_t r = rng();
        const float f = unit(rng);
        std::memcpy(image.data + i, isFloat ? static_cast<const void*>(&f) : &r, 4);
    }
    HistogramCounts counts;
    for (auto _ : state) {
        ComputeHistogramCounts(image, counts);
        benchmark::DoNotOptimize(counts.bins);
        benchmark::ClobberMemory();
    }
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight / 1e6 * state.iterations(),
                                                benchmark::Counter::kIsRate);
    ILClearImage(&image);
    ILDestroyHandle(handle);
}

BENCHMARK_CAPTURE(BM_Histogram, bgr8, IL_BGR8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Histogram, bgra8, IL_BGRA8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Histogram, grey8, IL_GREY8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Histogram, rgb16, IL_RGB16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Histogram, rgb_float, IL_RGB_FLOAT)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
