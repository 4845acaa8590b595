// The colour operations against vips in one process on 24 megapixels
// (6000 x 4000 photo-like pixels), both on the same number of threads (vips
// by VIPS_CONCURRENCY, ours by the processors it may run on): ours in place
// on a fresh copy of the pixels (the copy untimed), vips from an image over
// the same pixels written to memory, each run timed by the wall clock and
// the process's processor time (bench/bench_clock.h). Only
// invert is the same work, and its outputs are compared; elsewhere vips does
// less per pixel, which each line says:
//   invert       vips invert (8 bits), vips linear -1, 1 (float)
//   colorfilter  vips recomb (3x3 matrix; ours goes to Lab and back)
//   tonemap      vips linear (a * x + b; ours: curve, 3x3 matrix, offset)
//
//   colour_vs_vips RUNS FOLDER    writes FOLDER/NAME.samples ("ours WALL
//                                 PROCESSOR" and "peer ..." lines, in ms, in
//                                 the order they ran);
//                                 status 1 when the outputs of the same work
//                                 differ
#include <malloc.h>
#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "imglib/imglib.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/simd.h"

namespace {

constexpr uint32_t kWidth = 6000, kHeight = 4000;

std::vector<uint8_t> MakePhoto() {
    std::vector<uint8_t> rgb(size_t{kWidth} * kHeight * 3);
    std::mt19937 rng(12345);
    std::normal_distribution<float> noise(0.0f, 3.0f);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x) {
            const float fx = float(x) / kWidth, fy = float(y) / kHeight;
            const float base[3] = {120 + 90 * std::sin(fx * 5.1f + fy * 2.3f),
                                   110 + 80 * std::cos(fy * 4.7f - fx * 1.3f),
                                   100 + 70 * std::sin((fx + fy) * 3.9f)};
            for (int c = 0; c < 3; ++c)
                rgb[(size_t{y} * kWidth + x) * 3 + c] =
                    static_cast<uint8_t>(std::clamp(base[c] + noise(rng), 0.0f, 255.0f));
        }
    return rgb;
}

struct Case {
    const char* name;
    bool isFloat;
    std::function<ILResult(ILHandle*, ILImage*)> ours;
    std::function<int(VipsImage*, VipsImage**)> peer;
    const char* otherWork; // what differs, or null for the same work
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || VIPS_INIT(argv[0])) return 2;
    const int runs = std::atoi(argv[1]);
    const std::string folder = argv[2];
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    const char* threads = std::getenv("VIPS_CONCURRENCY");
    vips_concurrency_set(threads ? std::max(1, std::atoi(threads)) : 1);
    vips_cache_set_max(0);
    // BENCH_LANES=4 or 8 runs our kernels no wider, as on a processor
    // without AVX-512 or AVX2.
    if (const char* lanes = std::getenv("BENCH_LANES"))
        ILLimitLanes(std::atoi(lanes) <= 4   ? ILLanes::k4
                     : std::atoi(lanes) <= 8 ? ILLanes::k8
                                             : ILLanes::k16);
    ILHandle* h = ILCreateHandle("colour vs vips");

    const std::vector<uint8_t> bytes = MakePhoto();
    std::vector<float> floats(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        floats[i] = std::pow(bytes[i] / 255.0f, 2.2f);

    ILColorFilterParams filter;
    ILColorFilterInit(&filter, 90, 40, 270, 30);
    ILToneMap map;
    ILToneMapInit(&map);
    ILToneMapSetExposure(&map, 1.2f, false);
    ILToneMapSetExponent(&map, 1.5f, false);
    ILToneMapSetChroma(&map, 1.2f, false);
    ILToneMapSetHue(&map, 20, false);
    ILToneMapSetWhitePoint(&map, 5500, false);
    ILToneMapUpdate(&map);
    static double matrix[9] = {0.9, 0.05, 0.05, 0.05, 0.9, 0.05, 0.05, 0.05, 0.9};
    VipsImage* recomb = vips_image_new_matrix_from_array(3, 3, matrix, 9);

    const Case cases[] = {
        {"invert_rgb8", false, [](ILHandle*, ILImage* i) { return ILInvertImage(i); },
         [](VipsImage* in, VipsImage** out) { return vips_invert(in, out, nullptr); }, nullptr},
        {"invert_float", true, [](ILHandle*, ILImage* i) { return ILInvertImage(i); },
         [](VipsImage* in, VipsImage** out) { return vips_linear1(in, out, -1.0, 1.0, nullptr); },
         nullptr},
        {"colorfilter_rgb8", false,
         [&](ILHandle* hh, ILImage* i) { return ILColorFilterInPlace(&filter, hh, i); },
         [&](VipsImage* in, VipsImage** out) { return vips_recomb(in, out, recomb, nullptr); },
         "vips recomb, a 3x3 matrix on the codes into float (ours: linear light, Lab and back, "
         "dithered 8 bits)"},
        {"colorfilter_float", true,
         [&](ILHandle* hh, ILImage* i) { return ILColorFilterInPlace(&filter, hh, i); },
         [&](VipsImage* in, VipsImage** out) { return vips_recomb(in, out, recomb, nullptr); },
         "vips recomb, a 3x3 matrix (ours: Lab and back)"},
        {"tonemap_rgb8", false,
         [&](ILHandle* hh, ILImage* i) { return ILToneMapApplyInPlace(&map, hh, i); },
         [](VipsImage* in, VipsImage** out) {
             return vips_linear1(in, out, 1.2, 3.0, "uchar", TRUE, nullptr);
         },
         "vips linear a x + b on the codes (ours: linear light, curve, 3x3 matrix, offset, "
         "dithered 8 bits)"},
        {"tonemap_float", true,
         [&](ILHandle* hh, ILImage* i) { return ILToneMapApplyInPlace(&map, hh, i); },
         [](VipsImage* in, VipsImage** out) { return vips_linear1(in, out, 1.2, 0.01, nullptr); },
         "vips linear a x + b (ours: curve, 3x3 matrix, offset)"},
    };
    int status = 0;
    for (const Case& c : cases) {
        const void* pixels = c.isFloat ? static_cast<const void*>(floats.data()) : bytes.data();
        const size_t size = c.isFloat ? floats.size() * 4 : bytes.size();
        ILImageOwner image;
        ILAllocImage(&image.image, kWidth, kHeight, c.isFloat ? IL_RGB_FLOAT : IL_RGB8, nullptr);
        const size_t row = size / kHeight;
        FILE* samples = std::fopen((folder + "/" + c.name + ".samples").c_str(), "w");
        if (!samples) return 2;
        for (int r = 0; r < runs; ++r) {
            for (uint32_t y = 0; y < kHeight; ++y)
                std::memcpy(image.image.data + y * image.image.stride,
                            static_cast<const uint8_t*>(pixels) + y * row, row);
            BenchTimes start = BenchNow();
            if (c.ours(h, &image.image) != IL_OK) return 1;
            const BenchTimes ourTime = BenchNow() - start;
            start = BenchNow();
            VipsImage* in =
                vips_image_new_from_memory(pixels, size, kWidth, kHeight, 3,
                                           c.isFloat ? VIPS_FORMAT_FLOAT : VIPS_FORMAT_UCHAR);
            VipsImage* out = nullptr;
            if (c.peer(in, &out)) return 1;
            size_t written = 0;
            void* result = vips_image_write_to_memory(out, &written);
            g_object_unref(out);
            g_object_unref(in);
            const BenchTimes peerTime = BenchNow() - start;
            if (r == 0 && c.otherWork) {
                std::printf("%-20s other work, not compared: %s\n", c.name, c.otherWork);
            } else if (r == 0) {
                bool same = written == size;
                for (uint32_t y = 0; same && y < kHeight; ++y)
                    same = std::memcmp(image.image.data + y * image.image.stride,
                                       static_cast<const uint8_t*>(result) + y * row, row) == 0;
                std::printf("%-20s same work, outputs %s\n", c.name, same ? "equal" : "differ");
                if (!same) status = 1;
            }
            g_free(result);
            BenchWriteSample(samples, "ours", ourTime);
            BenchWriteSample(samples, "peer", peerTime);
        }
        std::fclose(samples);
    }
    g_object_unref(recomb);
    ILDestroyHandle(h);
    return status;
}
