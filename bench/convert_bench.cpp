// Converter throughput on a 24-megapixel image, single-threaded, in
// megapixels per second, for the conversions that every load and display
// goes through (inputs in convert_inputs.h; convert_vs_vips.sh sets the
// same conversions against vips).
//
//   convert_bench [benchmark flags]
#include <benchmark/benchmark.h>

#include "bench/convert_inputs.h"

namespace {

using namespace vxbench;

struct Shared {
    ILHandle* handle = ILCreateHandle("convert bench");
    ~Shared() { ILDestroyHandle(handle); }
};

void BM_Convert(benchmark::State& state, const Input* in) {
    static Shared shared;
    const std::vector<uint8_t> source = MakePixels(*in);
    std::vector<uint8_t> target(size_t{kWidth} * kHeight * TargetBytes(*in));
    ILPalette palette = MakePalette();
    ILConverter c;
    if (!PrepareConverter(*in, &palette, &c)) {
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

} // namespace

int main(int argc, char** argv) {
    for (const Input& in : kInputs)
        benchmark::RegisterBenchmark(in.name, BM_Convert, &in)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(2.0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
