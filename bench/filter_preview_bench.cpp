// One slider step of the Tonemapping and Color Filter dialogs: the live
// preview of a 24-megapixel image, drawn on its 380 x 253 preview alone. It
// runs on the user-interface thread after every step, so it must stay well
// under 100 ms.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/pixel_type.h"
#include "viewer/logic/filter_preview.h"
#include "viewer/logic/preview_fit.h"

namespace {

constexpr uint32_t kWidth = 6000, kHeight = 4000;

struct Preview {
    ILHandle* handle = ILCreateHandle("preview bench");
    ILImage source, image;
    bool ok = false;
    Preview() {
        ILInitImage(&source);
        ILInitImage(&image);
        const PreviewPlacement p = FitPreview(kWidth, kHeight);
        const auto w = static_cast<uint32_t>(p.width), h = static_cast<uint32_t>(p.height);
        ok = ILReallocImage(&source, w, h, IL_BGR_FLOAT, nullptr) == IL_OK &&
             ILReallocImage(&image, w, h, IL_BGR8, nullptr) == IL_OK;
        if (!ok) return;
        std::mt19937 rng(12345);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (uint32_t y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<float*>(source.data + y * source.stride);
            for (uint32_t i = 0; i < 3 * w; ++i)
                row[i] = unit(rng);
        }
    }
    ~Preview() {
        ILFreeImage(&source);
        ILFreeImage(&image);
        ILDestroyHandle(handle);
    }
};

void BM_ToneMapPreview(benchmark::State& state) {
    Preview p;
    if (!p.ok) return state.SkipWithError("out of memory");
    ILToneMap t;
    ILToneMapInit(&t);
    int step = 0;
    for (auto _ : state) {
        ILToneMapSetExposure(&t, 1.0f + 0.01f * (++step % 100), true);
        benchmark::DoNotOptimize(RenderToneMapPreview(t, p.handle, p.source, nullptr, &p.image));
    }
}

void BM_ColorFilterPreview(benchmark::State& state) {
    Preview p;
    if (!p.ok) return state.SkipWithError("out of memory");
    ILColorFilterParams f;
    ILColorFilterInitDefault(&f);
    int step = 0;
    for (auto _ : state) {
        ILColorFilterSetLightStrength(&f, static_cast<float>(++step % 100));
        benchmark::DoNotOptimize(
            RenderColorFilterPreview(f, p.handle, p.source, nullptr, &p.image));
    }
}

BENCHMARK(BM_ToneMapPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColorFilterPreview)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
