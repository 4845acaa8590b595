// The converter against vips in one process, on the same buffers: each
// conversion of convert_inputs.h runs on our side (the converter's row
// kernel over every row, into a target buffer) and through the equivalent
// vips operations (from an image over the same pixels, written to memory),
// alternately, each run timed with a steady clock. Before the timing both
// outputs are compared; a difference beyond the conversion's tolerance ends
// the program with status 1.
//
//   convert_vs_vips RUNS FOLDER      writes FOLDER/NAME.samples ("ours MS" and
//                                    "peer MS" lines in the order they ran)
//                                    and prints one line per conversion:
//                                    name, largest difference, differing samples
//
// vips runs single-threaded (concurrency 1) with its operation cache off.
// Its output is freshly allocated each run, ours is not; the allocator is
// set to keep freed memory (no mmap), so vips gets back the same warm pages
// run after run instead of paying for new ones.
#include <malloc.h>
#include <vips/vips.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/convert_inputs.h"

namespace {

using namespace vxbench;

// The vips side of a conversion: the operations from an image of the input,
// and the largest difference its output may have from ours.
struct Peer {
    const char* name;
    std::function<VipsImage*(VipsImage*, const ILConverter&)> chain;
    int tolerance;
    const char* note;
};

VipsImage* Colourspace(VipsImage* in, VipsInterpretation from, VipsInterpretation to) {
    VipsImage *tagged = nullptr, *out = nullptr;
    if (vips_copy(in, &tagged, "interpretation", from, nullptr)) return nullptr;
    if (vips_colourspace(tagged, &out, to, nullptr)) out = nullptr;
    g_object_unref(tagged);
    return out;
}

// The alpha band keeps its 8-bit range through the colour space conversion.
constexpr double kMaxAlpha = 255.0;
constexpr double kLuma[3] = {0.212656, 0.715158, 0.072186};

// Compositing in linear light onto the converter's background, as ours.
VipsImage* Composite(VipsImage* in, const ILConverter& c) {
    VipsImage *linear = nullptr, *flat = nullptr, *out = nullptr;
    const float* bgr = c.backgroundBGRF;
    VipsArrayDouble* bg = vips_array_double_newv(3, double(bgr[2]), double(bgr[1]), double(bgr[0]));
    if ((linear = Colourspace(in, VIPS_INTERPRETATION_sRGB, VIPS_INTERPRETATION_scRGB)) &&
        !vips_flatten(linear, &flat, "background", bg, "max_alpha", kMaxAlpha, nullptr))
        out = Colourspace(flat, VIPS_INTERPRETATION_scRGB, VIPS_INTERPRETATION_sRGB);
    vips_area_unref(VIPS_AREA(bg));
    for (VipsImage* image : {linear, flat})
        if (image) g_object_unref(image);
    return out;
}

const Peer kPeers[] = {
    {"rgb8_to_grey8",
     [](VipsImage* in, const ILConverter&) -> VipsImage* {
         // Luminance in linear light, as ours: every output band the weighted
         // sum, encoded to sRGB, one band kept.
         VipsImage *linear = nullptr, *grey = nullptr, *encoded = nullptr, *out = nullptr;
         VipsImage* m = vips_image_new_matrixv(3, 3, kLuma[0], kLuma[1], kLuma[2], kLuma[0],
                                               kLuma[1], kLuma[2], kLuma[0], kLuma[1], kLuma[2]);
         if ((linear = Colourspace(in, VIPS_INTERPRETATION_sRGB, VIPS_INTERPRETATION_scRGB)) &&
             !vips_recomb(linear, &grey, m, nullptr) &&
             (encoded = Colourspace(grey, VIPS_INTERPRETATION_scRGB, VIPS_INTERPRETATION_sRGB)))
             vips_extract_band(encoded, &out, 0, nullptr);
         for (VipsImage* image : {linear, grey, encoded, m})
             if (image) g_object_unref(image);
         return out;
     },
     1, "linear luminance: colourspace srgb -> scrgb, recomb, scrgb -> srgb, one band"},
    {"rgb16_to_rgb8",
     [](VipsImage* in, const ILConverter&) {
         return Colourspace(in, VIPS_INTERPRETATION_RGB16, VIPS_INTERPRETATION_sRGB);
     },
     1, "ours dithered, vips shifts (colourspace rgb16 -> srgb)"},
    {"rgb16_to_rgb8_plain",
     [](VipsImage* in, const ILConverter&) {
         return Colourspace(in, VIPS_INTERPRETATION_RGB16, VIPS_INTERPRETATION_sRGB);
     },
     1, "ours rounds, vips shifts (colourspace rgb16 -> srgb)"},
    {"linear_float_to_srgb8",
     [](VipsImage* in, const ILConverter&) {
         return Colourspace(in, VIPS_INTERPRETATION_scRGB, VIPS_INTERPRETATION_sRGB);
     },
     1, "ours dithered; colourspace scrgb -> srgb"},
    {"rgba8_composite", Composite, 1,
     "in linear light: colourspace srgb -> scrgb, flatten, scrgb -> srgb"},
    {"rgba8_composite_shapes", Composite, 1,
     "in linear light: colourspace srgb -> scrgb, flatten, scrgb -> srgb"},
    {"ycbcr8_to_rgb8",
     [](VipsImage* in, const ILConverter&) -> VipsImage* {
         // Full-range BT.601: chroma less 128, the matrix, rounded (the 0.5
         // added to luma reaches every output) and clipped to 8 bits.
         const double a[3] = {1, 1, 1}, b[3] = {0.5, -128, -128};
         VipsImage *centred = nullptr, *rgb = nullptr, *out = nullptr;
         VipsImage* m = vips_image_new_matrixv(3, 3, 1.0, 0.0, 1.402, 1.0, -0.344136, -0.714136,
                                               1.0, 1.772, 0.0);
         if (!vips_linear(in, &centred, a, b, 3, nullptr) &&
             !vips_recomb(centred, &rgb, m, nullptr))
             vips_cast_uchar(rgb, &out, nullptr);
         for (VipsImage* image : {centred, rgb, m})
             if (image) g_object_unref(image);
         return out;
     },
     1, "linear (chroma - 128), recomb, cast to 8 bits"},
    {"index8_to_rgb8",
     [](VipsImage* in, const ILConverter& c) -> VipsImage* {
         uint8_t lut[256 * 3];
         c.palette->WriteRGB8(256, lut);
         VipsImage* table =
             vips_image_new_from_memory_copy(lut, sizeof lut, 256, 1, 3, VIPS_FORMAT_UCHAR);
         VipsImage* out = nullptr;
         if (vips_maplut(in, &out, table, nullptr)) out = nullptr;
         g_object_unref(table);
         return out;
     },
     0, "maplut with the palette"},
};

// Our bytes in vips's sample order: B, G, R (and alpha) become R, G, B.
std::vector<uint8_t> PeerOrder(const Input& in, const std::vector<uint8_t>& ours) {
    std::vector<uint8_t> out = ours;
    if (ILPixelModel(in.source) != IL_MODEL_RGB) return out; // grey, index and YCbCr keep theirs
    const size_t sample = ILBitsPerSample(in.source) / 8;
    const size_t pixel = in.bytesPerPixel;
    for (size_t p = 0; p < out.size(); p += pixel) {
        std::memcpy(&out[p], &ours[p + 2 * sample], sample);
        std::memcpy(&out[p + 2 * sample], &ours[p], sample);
    }
    return out;
}

VipsBandFormat SampleFormat(const Input& in) {
    if (in.source == IL_BGR_FLOAT) return VIPS_FORMAT_FLOAT;
    return ILBitsPerSample(in.source) == 16 ? VIPS_FORMAT_USHORT : VIPS_FORMAT_UCHAR;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || VIPS_INIT(argv[0])) return 2;
    const int runs = std::atoi(argv[1]);
    const std::string folder = argv[2];
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    ILHandle* h = ILCreateHandle("convert vs vips");
    int status = 0;
    for (const Input& in : kInputs) {
        const Peer* peer = nullptr;
        for (const Peer& p : kPeers)
            if (std::strcmp(p.name, in.name) == 0) peer = &p;
        if (!peer) continue;
        const std::vector<uint8_t> source = MakePixels(in);
        const std::vector<uint8_t> peerSource = PeerOrder(in, source);
        const uint32_t channels = TargetBytes(in);
        std::vector<uint8_t> target(size_t{kWidth} * kHeight * channels);
        ILPalette palette = MakePalette();
        ILConverter c;
        if (!PrepareConverter(in, &palette, &c)) {
            std::printf("%-24s no such conversion\n", in.name);
            return 1;
        }
        const size_t inStride = size_t{kWidth} * in.bytesPerPixel, outStride = kWidth * channels;
        auto ours = [&] {
            for (uint32_t y = 0; y < kHeight; ++y)
                c.rowKernel(&c, source.data() + y * inStride, target.data() + y * outStride);
        };
        const int bands = static_cast<int>(ILChannelCount(in.source));
        auto theirs = [&]() -> uint8_t* {
            VipsImage* image = vips_image_new_from_memory(peerSource.data(), peerSource.size(),
                                                          kWidth, kHeight, bands, SampleFormat(in));
            VipsImage* out = peer->chain(image, c);
            g_object_unref(image);
            if (!out) return nullptr;
            size_t size = 0;
            auto* bytes = static_cast<uint8_t*>(vips_image_write_to_memory(out, &size));
            g_object_unref(out);
            if (bytes && size != target.size()) {
                g_free(bytes);
                return nullptr;
            }
            return bytes;
        };

        ours();
        uint8_t* check = theirs();
        if (!check) {
            std::printf("%-24s vips failed: %s\n", in.name, vips_error_buffer());
            return 1;
        }
        int largest = 0;
        size_t differing = 0;
        for (size_t p = 0; p < target.size(); p += channels)
            for (uint32_t k = 0; k < channels; ++k) {
                const int d = std::abs(int(target[p + (channels == 3 ? 2 - k : k)]) - check[p + k]);
                largest = std::max(largest, d);
                differing += d != 0;
            }
        g_free(check);
        std::printf("%-24s largest difference %d (tolerance %d), %.2f%% of samples differ: %s\n",
                    in.name, largest, peer->tolerance, 100.0 * differing / target.size(),
                    peer->note);
        std::fflush(stdout);
        if (largest > peer->tolerance) status = 1;

        FILE* samples = std::fopen((folder + "/" + in.name + ".samples").c_str(), "w");
        if (!samples) return 2;
        for (int r = 0; r < runs; ++r) {
            auto start = std::chrono::steady_clock::now();
            ours();
            const double ourTime = Milliseconds(std::chrono::steady_clock::now() - start);
            start = std::chrono::steady_clock::now();
            g_free(theirs());
            const double peerTime = Milliseconds(std::chrono::steady_clock::now() - start);
            std::fprintf(samples, "ours %.3f\npeer %.3f\n", ourTime, peerTime);
        }
        std::fclose(samples);
        ILConverterFree(&c);
    }
    ILDestroyHandle(h);
    return status;
}
