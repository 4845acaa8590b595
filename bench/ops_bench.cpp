// Geometry, resampling, Gauss filter and panorama projection on generated
// photo-like images, single-threaded, in seconds per operation.
//
//   ops_bench [benchmark flags]        run the benchmarks
//   ops_bench --write-inputs DIR       write the inputs as raw R, G, B files
//                                      (photo.raw 6000 x 4000, small.raw
//                                      1000 x 667, pano.raw 4096 x 2048) and
//                                      the latitude/longitude to angular map
//                                      (map.raw, float x, y pairs) for vips;
//                                      ops_vs_vips.sh feeds them to vips
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "imglib/imglib.h"
#include "imglib/memory_owner.h"

namespace {

struct Size {
    uint32_t width, height;
};
constexpr Size kPhoto{6000, 4000}, kSmall{1000, 667}, kPano{4096, 2048}, kDisc{2048, 2048};

// Smooth shading, a few hard-edged shapes and sensor-like noise, R, G, B:
// what resampling and blurring meet in photographs.
std::vector<uint8_t> MakePhoto(Size s) {
    std::vector<uint8_t> rgb(size_t{s.width} * s.height * 3);
    std::mt19937 rng(12345);
    std::normal_distribution<float> noise(0.0f, 3.0f);
    for (uint32_t y = 0; y < s.height; ++y) {
        const float fy = static_cast<float>(y) / s.height;
        for (uint32_t x = 0; x < s.width; ++x) {
            const float fx = static_cast<float>(x) / s.width;
            const float dx = fx - 0.6f, dy = fy - 0.45f;
            const bool disc = dx * dx + dy * dy < 0.04f;
            const bool bar = std::fmod(fx * 7.0f + fy * 3.0f, 1.0f) < 0.08f;
            float base[3] = {
                120 + 90 * std::sin(fx * 5.1f + fy * 2.3f),
                110 + 80 * std::cos(fy * 4.7f - fx * 1.3f),
                100 + 70 * std::sin((fx + fy) * 3.9f),
            };
            if (disc) base[0] = 230, base[1] = 60, base[2] = 40;
            if (bar) base[0] = base[1] = base[2] = 20;
            for (int c = 0; c < 3; ++c) {
                const float v = base[c] + noise(rng);
                rgb[(size_t{y} * s.width + x) * 3 + c] = static_cast<uint8_t>(v < 0     ? 0
                                                                              : v > 255 ? 255
                                                                                        : v);
            }
        }
    }
    return rgb;
}

struct Shared {
    ILHandle* handle = ILCreateHandle("ops bench");
    ~Shared() { ILDestroyHandle(handle); }
};

// An R, G, B 8-bit image of the photo at the size.
void Load(ILImage* image, Size s) {
    const std::vector<uint8_t> rgb = MakePhoto(s);
    ILAllocImage(image, s.width, s.height, IL_RGB8, nullptr);
    for (uint32_t y = 0; y < s.height; ++y)
        std::memcpy(image->data + y * image->stride, rgb.data() + size_t{y} * s.width * 3,
                    size_t{s.width} * 3);
}

using Op = std::function<ILResult(ILHandle* h, ILImage* source, ILImage* target)>;

struct Case {
    const char* name;
    Size source, target; // a target of 0 x 0 is sized by the operation
    Op op;
};

ILAffineParams Rotation(uint8_t oversampling) {
    ILAffineParams p{};
    p.angle = 30;
    p.scaleX = p.scaleY = 1;
    p.background = ILColor{.r = 0, .g = 0, .b = 0, .a = 0, .index = -1};
    p.oversampling = oversampling;
    p.fitCanvas = 1;
    return p;
}

ILResult Gauss(ILHandle* h, ILImage* s, ILImage* t, int32_t radius) {
    ILGaussParams p;
    ILGaussParamsInit(&p, 2, 1, radius, 0);
    return ILGaussFilter(&p, h, s, t);
}

const Case kCases[] = {
    {"resize_quarter_lanczos",
     kPhoto,
     {1500, 1000},
     [](ILHandle* h, ILImage* s, ILImage* t) { return ILResampleInto(h, s, t, 5); }},
    {"enlarge_cubic",
     kSmall,
     {4000, 2668},
     [](ILHandle* h, ILImage* s, ILImage* t) { return ILResampleInto(h, s, t, 4); }},
    {"gauss_r10", kPhoto, kPhoto,
     [](ILHandle* h, ILImage* s, ILImage* t) { return Gauss(h, s, t, 10); }},
    {"gauss_r100", kPhoto, kPhoto,
     [](ILHandle* h, ILImage* s, ILImage* t) { return Gauss(h, s, t, 100); }},
    {"rotate30_os1",
     kPhoto,
     {0, 0},
     [](ILHandle* h, ILImage* s, ILImage* t) {
         const ILAffineParams p = Rotation(1);
         return ILAffineTransform(h, s, t, &p);
     }},
    {"rotate30_os4",
     kPhoto,
     {0, 0},
     [](ILHandle* h, ILImage* s, ILImage* t) {
         const ILAffineParams p = Rotation(4);
         return ILAffineTransform(h, s, t, &p);
     }},
    {"latlong_to_angular", kPano, kDisc,
     [](ILHandle* h, ILImage* s, ILImage* t) {
         ILProjectionParams p{};
         p.oversampling = 1;
         p.sourceProjection = 0;
         p.targetProjection = 2;
         return ILProjectImage(h, s, t, &p);
     }},
};

void BM_Op(benchmark::State& state, const Case* c) {
    static Shared shared;
    ILImageOwner source, target;
    Load(&source.image, c->source);
    for (auto _ : state) {
        if (c->target.width)
            ILAllocImage(&target.image, c->target.width, c->target.height, IL_RGB8, nullptr);
        if (c->op(shared.handle, &source.image, &target.image) != IL_OK) {
            state.SkipWithError("the operation failed");
            return;
        }
        benchmark::DoNotOptimize(target.image.data);
        ILClearImage(&target.image);
    }
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f && std::fwrite(data, 1, size, f) == size;
    if (f) std::fclose(f);
    return ok;
}

// For each angular target pixel, the latitude/longitude source position of
// ILProjectImage without a turn (angular field of view 360 degrees).
std::vector<float> AngularMap() {
    constexpr double pi = std::numbers::pi;
    std::vector<float> map(size_t{kDisc.width} * kDisc.height * 2);
    for (uint32_t y = 0; y < kDisc.height; ++y)
        for (uint32_t x = 0; x < kDisc.width; ++x) {
            const double a = 2 * (x + 0.5) / kDisc.width - 1, b = 2 * (y + 0.5) / kDisc.height - 1;
            const double phi = std::atan2(b, a), r = pi * std::sqrt(a * a + b * b);
            const double dx = std::cos(phi) * std::sin(r), dy = -std::sin(phi) * std::sin(r),
                         dz = std::cos(r);
            const double theta = std::acos(std::clamp(dy, -1.0, 1.0));
            const double f = std::clamp(-dz / std::sin(theta), -1.0, 1.0);
            const double g = std::acos(f) / (2 * pi);
            const double u = dx < 0 ? g : 1 - g, v = theta / pi;
            map[(size_t{y} * kDisc.width + x) * 2] = static_cast<float>(u * kPano.width);
            map[(size_t{y} * kDisc.width + x) * 2 + 1] = static_cast<float>(v * kPano.height);
        }
    return map;
}

bool WriteInputs(const std::string& dir) {
    for (auto [name, size] : {std::pair{"photo", kPhoto}, {"small", kSmall}, {"pano", kPano}}) {
        const std::vector<uint8_t> rgb = MakePhoto(size);
        if (!WriteFile(dir + "/" + name + ".raw", rgb.data(), rgb.size())) return false;
    }
    const std::vector<float> map = AngularMap();
    return WriteFile(dir + "/map.raw", map.data(), map.size() * sizeof(float));
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-inputs") == 0)
        return WriteInputs(argv[2]) ? 0 : 1;
    for (const Case& c : kCases)
        benchmark::RegisterBenchmark(c.name, BM_Op, &c)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
