// Geometry, resampling, the Gauss filter and the panorama projection against
// vips in one process, on the same generated photo-like pixels (R, G, B
// 8-bit): each case runs ours (the library call, into a target allocated
// beforehand) and the vips operations (from an image over the same pixels,
// written to memory), alternately, each run timed by the wall clock and the
// process's processor time (bench/bench_clock.h).
// Before the timing both outputs are compared: where vips does the same work
// (in linear light, with the same geometry and a kernel of the same reach) a
// difference beyond the case's tolerance ends the program with status 1;
// where it does other work (its default paths on sRGB codes, its own
// interpolators, a map computed beforehand) the line says so and prints the
// difference for information only. The projection runs twice: against vips
// handed the map (the peer's sampling alone) and against vips computing the
// map itself.
//
//   ops_vs_vips RUNS FOLDER [NAME...]
//                               writes FOLDER/NAME.samples ("ours WALL
//                               PROCESSOR" and "peer ..." lines, in ms, in the
//                               order they ran) and prints one line per case
//                               (all, or those named)
//
// vips runs on VIPS_CONCURRENCY threads (1 when unset) with its operation
// cache off, ours on the processors it may run on; where ours works in
// linear light, vips goes through scRGB (sRGB in and out, as ours).
#include <malloc.h>
#include <vips/vips.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "imglib/imglib.h"
#include "imglib/memory_owner.h"

namespace {

struct Size {
    uint32_t width, height;
};
constexpr Size kPhoto{6000, 4000}, kSmall{1000, 667}, kPano{4096, 2048}, kDisc{2048, 2048};

// Smooth shading, hard-edged shapes and sensor-like noise, R, G, B.
std::vector<uint8_t> MakePhoto(Size s) {
    std::vector<uint8_t> rgb(size_t{s.width} * s.height * 3);
    std::mt19937 rng(12345);
    std::normal_distribution<float> noise(0.0f, 3.0f);
    for (uint32_t y = 0; y < s.height; ++y) {
        const float fy = static_cast<float>(y) / s.height;
        for (uint32_t x = 0; x < s.width; ++x) {
            const float fx = static_cast<float>(x) / s.width;
            const float dx = fx - 0.6f, dy = fy - 0.45f;
            float base[3] = {
                120 + 90 * std::sin(fx * 5.1f + fy * 2.3f),
                110 + 80 * std::cos(fy * 4.7f - fx * 1.3f),
                100 + 70 * std::sin((fx + fy) * 3.9f),
            };
            if (dx * dx + dy * dy < 0.04f) base[0] = 230, base[1] = 60, base[2] = 40;
            if (std::fmod(fx * 7.0f + fy * 3.0f, 1.0f) < 0.08f) base[0] = base[1] = base[2] = 20;
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

// For each angular target pixel, the latitude/longitude source position that
// ILProjectImage computes without a turn (vips puts pixel centres on whole
// coordinates, ours half a pixel on), far outside the source beyond the
// disc (the background on both sides): vips's mapim then does only the
// sampling.
std::vector<float> AngularMap() {
    constexpr double pi = std::numbers::pi;
    std::vector<float> map(size_t{kDisc.width} * kDisc.height * 2);
    for (uint32_t y = 0; y < kDisc.height; ++y)
        for (uint32_t x = 0; x < kDisc.width; ++x) {
            const double a = 2 * (x + 0.5) / kDisc.width - 1, b = 2 * (y + 0.5) / kDisc.height - 1;
            if (a * a + b * b > 1) { // outside the disc: the background
                map[(size_t{y} * kDisc.width + x) * 2] = -10;
                map[(size_t{y} * kDisc.width + x) * 2 + 1] = -10;
                continue;
            }
            const double phi = std::atan2(b, a), r = pi * std::sqrt(a * a + b * b);
            const double dx = std::cos(phi) * std::sin(r), dy = -std::sin(phi) * std::sin(r),
                         dz = std::cos(r);
            const double theta = std::acos(std::clamp(dy, -1.0, 1.0));
            const double g = std::acos(std::clamp(-dz / std::sin(theta), -1.0, 1.0)) / (2 * pi);
            map[(size_t{y} * kDisc.width + x) * 2] =
                static_cast<float>((dx < 0 ? g : 1 - g) * kPano.width - 0.5);
            map[(size_t{y} * kDisc.width + x) * 2 + 1] =
                static_cast<float>(theta / pi * kPano.height - 0.5);
        }
    return map;
}

// The same map computed by vips from the target's coordinates (its
// trigonometry works in degrees), evaluated as mapim reads it: the peer
// doing the work ours does in the call. The longitude's angle comes from
// atan2(-x, -z) here, the same angle as ours's acos with its side picked.
VipsImage* MapimComputingItsMap(VipsImage* in) {
    VipsImage* context = vips_image_new();
    auto** t = reinterpret_cast<VipsImage**>(vips_object_local_array(VIPS_OBJECT(context), 30));
    const double w = kDisc.width, h = kDisc.height;
    const double scale[2] = {2 / w, 2 / h}, offset[2] = {1 / w - 1, 1 / h - 1};
    VipsImage* out = nullptr;
    const bool failed =
        vips_xyz(&t[0], kDisc.width, kDisc.height, nullptr) ||
        vips_linear(t[0], &t[1], scale, offset, 2, nullptr) || // a, b
        vips_extract_band(t[1], &t[2], 0, nullptr) || vips_extract_band(t[1], &t[3], 1, nullptr) ||
        vips_multiply(t[2], t[2], &t[4], nullptr) || vips_multiply(t[3], t[3], &t[5], nullptr) ||
        vips_add(t[4], t[5], &t[6], nullptr) || vips_pow_const1(t[6], &t[7], 0.5, nullptr) ||
        vips_linear1(t[7], &t[8], 180, 0, nullptr) || // r in degrees
        vips_sin(t[8], &t[9], nullptr) || vips_cos(t[8], &t[10], nullptr) ||
        vips_divide(t[2], t[7], &t[11], nullptr) || vips_divide(t[3], t[7], &t[12], nullptr) ||
        vips_multiply(t[11], t[9], &t[13], nullptr) ||             // x
        vips_multiply(t[12], t[9], &t[14], nullptr) ||             // -y
        vips_linear1(t[14], &t[15], -1, 0, nullptr) ||             // y; z is t[10]
        vips_acos(t[15], &t[16], nullptr) ||                       // latitude from the pole
        vips_linear1(t[16], &t[17], kPano.height / 180.0, -0.5, nullptr) ||
        vips_linear1(t[13], &t[18], -1, 0, nullptr) || vips_linear1(t[10], &t[19], -1, 0, nullptr) ||
        vips_atan2(t[18], t[19], &t[20], nullptr) || vips_linear1(t[20], &t[21], 1, 360, nullptr) ||
        vips_remainder_const1(t[21], &t[22], 360, nullptr) ||
        vips_linear1(t[22], &t[23], kPano.width / 360.0, -0.5, nullptr) ||
        vips_bandjoin2(t[23], t[17], &t[24], nullptr) ||
        vips_more_const1(t[7], &t[25], 1, nullptr) || // outside the disc: far off
        vips_linear1(t[25], &t[26], -100, 0, nullptr) || vips_add(t[24], t[26], &t[27], nullptr) ||
        vips_mapim(in, &out, t[27], nullptr);
    g_object_unref(context);
    return failed ? nullptr : out;
}

VipsImage* Colourspace(VipsImage* in, VipsInterpretation from, VipsInterpretation to) {
    VipsImage *tagged = nullptr, *out = nullptr;
    if (vips_copy(in, &tagged, "interpretation", from, nullptr)) return nullptr;
    if (vips_colourspace(tagged, &out, to, nullptr)) out = nullptr;
    g_object_unref(tagged);
    return out;
}

// scRGB in, the operation, sRGB out: what ours does inside one call.
VipsImage* Linear(VipsImage* in, const std::function<int(VipsImage*, VipsImage**)>& op) {
    VipsImage *linear = Colourspace(in, VIPS_INTERPRETATION_sRGB, VIPS_INTERPRETATION_scRGB),
              *done = nullptr, *out = nullptr;
    if (linear && !op(linear, &done))
        out = Colourspace(done, VIPS_INTERPRETATION_scRGB, VIPS_INTERPRETATION_sRGB);
    if (done) g_object_unref(done);
    if (linear) g_object_unref(linear);
    return out;
}

// Same: the outputs must agree within the tolerances. Other: other work,
// the difference is printed only. Apart: other work of another size or
// geometry, not compared.
enum class Work { kSame, kOther, kApart };

struct Case {
    const char* name;
    Size source, target; // a target of 0 x 0 is sized by the operation
    int runs;            // at most this many timed runs (the slow ones take seconds)
    std::function<ILResult(ILHandle*, ILImage*, ILImage*)> ours;
    std::function<VipsImage*(VipsImage*)> peer;
    Work work;
    int tolerance;        // largest difference from vips's output
    double meanTolerance; // largest mean difference (0: the largest alone)
    const char* note;
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

// exp(-2 pi i^2 / r^2) is a Gaussian of sigma r / (2 sqrt(pi)); vips's mask
// reaches as far as ours with a minimum amplitude of exp(-2 pi).
VipsImage* Blur(VipsImage* in, int radius) {
    const double sigma = radius / (2 * std::sqrt(std::numbers::pi));
    return Linear(in, [&](VipsImage* i, VipsImage** o) {
        return vips_gaussblur(i, o, sigma, "min_ampl", 0.0018, "precision", VIPS_PRECISION_FLOAT,
                              nullptr);
    });
}

// vips's default: an integer mask down to an amplitude of 0.2, on the sRGB
// codes.
VipsImage* BlurDefault(VipsImage* in, int radius) {
    VipsImage* out = nullptr;
    if (vips_gaussblur(in, &out, radius / (2 * std::sqrt(std::numbers::pi)), nullptr))
        out = nullptr;
    return out;
}

// Our rotation's geometry as a vips affine transform, bilinear: the target
// as large as the turned source's bounding box, the centres on each other.
int AffineRotate(VipsImage* in, VipsImage** out, int sourceWidth, int sourceHeight,
                 const char* interpolator = "bilinear") {
    const double r = 30 * std::numbers::pi / 180, c = std::cos(r), s = std::sin(r);
    const int w = static_cast<int>(std::floor(c * sourceWidth + s * sourceHeight + 0.5));
    const int h = static_cast<int>(std::floor(c * sourceHeight + s * sourceWidth + 0.5));
    const double qx = 0.5 - sourceWidth / 2.0, qy = 0.5 - sourceHeight / 2.0;
    VipsInterpolate* bilinear = vips_interpolate_new(interpolator);
    VipsArrayInt* area = vips_array_int_newv(4, 0, 0, w, h);
    const int failed = vips_affine(in, out, c, -s, s, c, "interpolate", bilinear, "oarea", area,
                                   "odx", c * qx - s * qy + w / 2.0 - 0.5, "ody",
                                   s * qx + c * qy + h / 2.0 - 0.5, nullptr);
    vips_area_unref(VIPS_AREA(area));
    g_object_unref(bilinear);
    return failed;
}

VipsImage* Rotate(VipsImage* in, const char* interpolator) {
    VipsInterpolate* interpolate = vips_interpolate_new(interpolator);
    VipsImage* out = nullptr;
    if (vips_rotate(in, &out, 30.0, "interpolate", interpolate, nullptr)) out = nullptr;
    g_object_unref(interpolate);
    return out;
}

std::vector<float> angularMap;

const Case kCases[] = {
    {"resize_quarter_lanczos",
     kPhoto,
     {1500, 1000},
     9,
     [](ILHandle* h, ILImage* s, ILImage* t) { return ILResampleInto(h, s, t, 5); },
     [](VipsImage* in) {
         return Linear(in, [](VipsImage* i, VipsImage** o) {
             return vips_resize(i, o, 0.25, "kernel", VIPS_KERNEL_LANCZOS3, "gap", 0.0, nullptr);
         });
     },
     Work::kSame,
     6,
     0,
     "vips resize, lanczos3, in scRGB"},
    {"resize_quarter_vipsdefault",
     kPhoto,
     {1500, 1000},
     9,
     [](ILHandle* h, ILImage* s, ILImage* t) { return ILResampleInto(h, s, t, 5); },
     [](VipsImage* in) {
         VipsImage* out = nullptr;
         if (vips_resize(in, &out, 0.25, nullptr)) out = nullptr;
         return out;
     },
     Work::kOther,
     0,
     0,
     "vips resize by default (shrink then lanczos3 on the sRGB codes)"},
    {"enlarge_cubic",
     kSmall,
     {4000, 2668},
     9,
     [](ILHandle* h, ILImage* s, ILImage* t) { return ILResampleInto(h, s, t, 4); },
     [](VipsImage* in) {
         return Linear(in, [](VipsImage* i, VipsImage** o) {
             return vips_resize(i, o, 4.0, "vscale", 4.0, "kernel", VIPS_KERNEL_CUBIC, nullptr);
         });
     },
     Work::kApart,
     0,
     0,
     "vips resize, cubic, in scRGB (enlarges through its own interpolator)"},
    {"gauss_r10", kPhoto, kPhoto, 5,
     [](ILHandle* h, ILImage* s, ILImage* t) { return Gauss(h, s, t, 10); },
     [](VipsImage* in) { return Blur(in, 10); }, Work::kSame, 4, 0,
     "vips gaussblur, sigma r / 2 sqrt(pi), float mask to ours's reach, scRGB"},
    {"gauss_r10_vipsdefault", kPhoto, kPhoto, 5,
     [](ILHandle* h, ILImage* s, ILImage* t) { return Gauss(h, s, t, 10); },
     [](VipsImage* in) { return BlurDefault(in, 10); }, Work::kOther, 0, 0,
     "vips gaussblur by default (integer mask to amplitude 0.2, on the sRGB codes)"},
    {"gauss_r100", kPhoto, kPhoto, 3,
     [](ILHandle* h, ILImage* s, ILImage* t) { return Gauss(h, s, t, 100); },
     [](VipsImage* in) { return Blur(in, 100); }, Work::kSame, 4, 0, "the same, radius 100"},
    {"gauss_r100_vipsdefault", kPhoto, kPhoto, 3,
     [](ILHandle* h, ILImage* s, ILImage* t) { return Gauss(h, s, t, 100); },
     [](VipsImage* in) { return BlurDefault(in, 100); }, Work::kOther, 0, 0,
     "vips gaussblur by default, radius 100"},
    {"rotate30_os1",
     kPhoto,
     {0, 0},
     5,
     [](ILHandle* h, ILImage* s, ILImage* t) {
         const ILAffineParams p = Rotation(1);
         return ILAffineTransform(h, s, t, &p);
     },
     [](VipsImage* in) {
         const int w = in->Xsize, h = in->Ysize;
         return Linear(in, [=](VipsImage* i, VipsImage** o) { return AffineRotate(i, o, w, h); });
     },
     Work::kSame,
     128,
     0.5,
     "vips affine, bilinear, in scRGB, our geometry (ours: cosine-weighted 2 x 2)"},
    {"rotate30_os1_codes",
     kPhoto,
     {0, 0},
     5,
     [](ILHandle* h, ILImage* s, ILImage* t) {
         const ILAffineParams p = Rotation(1);
         return ILAffineTransform(h, s, t, &p);
     },
     [](VipsImage* in) {
         VipsImage* out = nullptr;
         if (AffineRotate(in, &out, in->Xsize, in->Ysize)) out = nullptr;
         return out;
     },
     Work::kOther,
     0,
     0,
     "vips affine, bilinear on the sRGB codes (vips rotate's work), our geometry"},
    {"rotate30_nearest",
     kPhoto,
     {0, 0},
     5,
     [](ILHandle* h, ILImage* s, ILImage* t) {
         const ILAffineParams p = Rotation(0);
         return ILAffineTransform(h, s, t, &p);
     },
     [](VipsImage* in) {
         VipsImage* out = nullptr;
         if (AffineRotate(in, &out, in->Xsize, in->Ysize, "nearest")) out = nullptr;
         return out;
     },
     Work::kOther,
     0,
     0,
     "vips affine, nearest, our geometry (the work of iltool rotate without an oversampling; "
     "vips's nearest rounds positions its own way, so pixels along the steps differ)"},
    {"rotate30_os4_nohalo",
     kPhoto,
     {0, 0},
     3,
     [](ILHandle* h, ILImage* s, ILImage* t) {
         const ILAffineParams p = Rotation(4);
         return ILAffineTransform(h, s, t, &p);
     },
     [](VipsImage* in) { return Rotate(in, "nohalo"); },
     Work::kApart,
     0,
     0,
     "vips rotate, nohalo (ours: 4 x 4 supersampling in linear light)"},
    {"latlong_to_angular_map", kPano, kDisc, 9,
     [](ILHandle* h, ILImage* s, ILImage* t) {
         ILProjectionParams p{};
         p.oversampling = 1;
         p.targetProjection = 2;
         return ILProjectImage(h, s, t, &p);
     },
     [](VipsImage* in) {
         VipsImage* map =
             vips_image_new_from_memory(angularMap.data(), angularMap.size() * sizeof(float),
                                        kDisc.width, kDisc.height, 2, VIPS_FORMAT_FLOAT);
         VipsImage* out = nullptr;
         if (vips_mapim(in, &out, map, nullptr)) out = nullptr;
         g_object_unref(map);
         return out;
     },
     Work::kOther, 0, 0,
     "the peer is handed a map computed beforehand (not timed) and only samples it (vips "
     "mapim, bilinear on the sRGB codes); ours computes the mapping in the timed call and "
     "interpolates in linear light"},
    {"latlong_to_angular_vipsmap", kPano, kDisc, 5,
     [](ILHandle* h, ILImage* s, ILImage* t) {
         ILProjectionParams p{};
         p.oversampling = 1;
         p.targetProjection = 2;
         return ILProjectImage(h, s, t, &p);
     },
     MapimComputingItsMap, Work::kOther, 0, 0,
     "both compute the mapping: vips's map from its own arithmetic on the target's "
     "coordinates, fed to mapim (bilinear on the sRGB codes)"},
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
    ILHandle* h = ILCreateHandle("ops vs vips");
    angularMap = AngularMap();
    int status = 0;
    for (const Case& c : kCases) {
        if (argc > 3 && std::find_if(argv + 3, argv + argc, [&](const char* name) {
                            return std::strcmp(name, c.name) == 0;
                        }) == argv + argc)
            continue;
        const std::vector<uint8_t> pixels = MakePhoto(c.source);
        ILImageOwner source, target;
        ILAllocImage(&source.image, c.source.width, c.source.height, IL_RGB8, nullptr);
        for (uint32_t y = 0; y < c.source.height; ++y)
            std::memcpy(source.image.data + y * source.image.stride,
                        pixels.data() + size_t{y} * c.source.width * 3, size_t{c.source.width} * 3);
        auto ours = [&] {
            if (c.target.width)
                ILAllocImage(&target.image, c.target.width, c.target.height, IL_RGB8, nullptr);
            return c.ours(h, &source.image, &target.image) == IL_OK;
        };
        size_t peerSize = 0;
        auto theirs = [&]() -> uint8_t* {
            VipsImage* image =
                vips_image_new_from_memory(pixels.data(), pixels.size(), c.source.width,
                                           c.source.height, 3, VIPS_FORMAT_UCHAR);
            VipsImage* out = c.peer(image);
            g_object_unref(image);
            if (!out) return nullptr;
            auto* bytes = static_cast<uint8_t*>(vips_image_write_to_memory(out, &peerSize));
            g_object_unref(out);
            return bytes;
        };
        uint8_t* check = theirs();
        if (!ours() || !check) {
            std::printf("%-24s failed: %s\n", c.name, check ? "ours" : vips_error_buffer());
            return 1;
        }
        const char* work = c.work == Work::kSame ? "same work" : "other work";
        if (c.work != Work::kApart) {
            const ILImage& t = target.image;
            int largest = 0;
            double sum = 0;
            const bool sameSize = peerSize == size_t{t.width} * t.height * 3;
            for (uint32_t y = 0; sameSize && y < t.height; ++y)
                for (uint32_t x = 0; x < t.width * 3; ++x) {
                    const int d = std::abs(int(t.data[y * t.stride + x]) -
                                           int(check[(size_t{y} * t.width) * 3 + x]));
                    largest = std::max(largest, d);
                    sum += d;
                }
            const double mean = sum / (double(t.width) * t.height * 3);
            if (c.work == Work::kSame) {
                std::printf("%-26s %s, largest difference %d (tolerance %d), mean %.3f", c.name,
                            work, sameSize ? largest : 999, c.tolerance, mean);
                if (c.meanTolerance > 0) std::printf(" (tolerance %.1f)", c.meanTolerance);
                std::printf(": %s\n", c.note);
                if (!sameSize || largest > c.tolerance ||
                    (c.meanTolerance > 0 && mean > c.meanTolerance))
                    status = 1;
            } else {
                std::printf("%-26s %s, largest difference %d, mean %.3f: %s\n", c.name, work,
                            sameSize ? largest : 999, mean, c.note);
            }
        } else {
            std::printf("%-26s other work, not compared: %s\n", c.name, c.note);
        }
        std::fflush(stdout);
        g_free(check);
        FILE* samples = std::fopen((folder + "/" + c.name + ".samples").c_str(), "w");
        if (!samples) return 2;
        for (int r = 0; r < std::min(runs, c.runs); ++r) {
            BenchTimes start = BenchNow();
            ours();
            const BenchTimes ourTime = BenchNow() - start;
            start = BenchNow();
            g_free(theirs());
            const BenchTimes peerTime = BenchNow() - start;
            BenchWriteSample(samples, "ours", ourTime);
            BenchWriteSample(samples, "peer", peerTime);
        }
        std::fclose(samples);
    }
    ILDestroyHandle(h);
    return status;
}
