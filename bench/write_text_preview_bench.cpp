// One settings change of the Write Text dialog: its preview window of a
// 24-megapixel image cut at the anchor and the text drawn on it, plain and
// with a blurred glow. It runs on the user-interface thread after every
// change, so it must stay well under 100 ms.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "imglib/handle.h"
#include "imglib/memory_owner.h"
#include "imglib/pixel_type.h"
#include "viewer/tool_settings/write_text_preview.h"

namespace {

constexpr uint32_t kWidth = 6000, kHeight = 4000;

void RenderPreview(benchmark::State& state, float effect, uint8_t blur) {
    ILHandle* handle = ILCreateHandle("write text preview bench");
    ILImageOwner image;
    WriteTextPreview preview;
    if (ILReallocImage(&image.image, kWidth, kHeight, IL_BGR8, nullptr) != IL_OK ||
        !preview.Init(image.image)) {
        ILDestroyHandle(handle);
        return state.SkipWithError("out of memory");
    }
    std::mt19937 rng(12345);
    for (uint32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = image.image.data + y * image.image.stride;
        for (uint32_t i = 0; i < 3 * kWidth; ++i) row[i] = static_cast<uint8_t>(rng());
    }
    WriteTextParams params{};
    params.font.height = -40;
    params.font.weight = 700;
    std::strcpy(params.font.faceName, "Liberation Sans");
    params.color.SetWhite();
    params.anchor = 8;
    params.effect = effect;
    params.blur = blur;
    int step = 0;
    for (auto _ : state) {
        params.offsetX = ++step % 50; // a change of the offset field
        preview.Place(params.anchor);
        benchmark::DoNotOptimize(preview.Render(handle, image.image, params, u"Vx preview\r\nline two"));
    }
    ILDestroyHandle(handle);
}

void BM_WriteTextPreview(benchmark::State& state) {
    RenderPreview(state, 0, 0);
}

void BM_WriteTextPreviewGlow(benchmark::State& state) {
    RenderPreview(state, 0.5f, 9);
}

} // namespace

BENCHMARK(BM_WriteTextPreview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTextPreviewGlow)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
