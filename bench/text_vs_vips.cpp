// Write Text against vips in one process: a paragraph of five lines at a
// 48-pixel em in Liberation Sans, white, into a 3000 x 2000 R, G, B 8-bit
// image, both single-threaded. Ours writes in place on a fresh copy of the
// pixels (the copy untimed): measuring, rendering, and blending the box in
// linear light. vips renders the same text with its text operation and
// blends the mask over the same box of the image (in the 8-bit codes),
// written to memory: comparable work, not the same computation, so the
// outputs are not compared.
//
//   text_vs_vips RUNS FOLDER    writes FOLDER/write_text_48px.samples
#include <vips/vips.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imglib/imglib.h"
#include "imglib/memory_owner.h"

namespace {

constexpr uint32_t kWidth = 3000, kHeight = 2000;
constexpr int kLeft = 200, kTop = 300;

constexpr char kParagraph[] =
    "The quick brown fox jumps over the lazy dog while\n"
    "five boxing wizards jump quickly past the vexed judge;\n"
    "sphinx of black quartz, judge my vow, and pack my box\n"
    "with five dozen liquor jugs as the waltz bade nymph\n"
    "for quick jigs vex: 0123456789 (and some punctuation!)";

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || VIPS_INIT(argv[0])) return 2;
    const int runs = std::atoi(argv[1]);
    const std::string folder = argv[2];
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    ILHandle* h = ILCreateHandle("text vs vips");

    std::vector<uint8_t> bytes(size_t{kWidth} * kHeight * 3);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 / 3);
    std::u16string text;
    for (const char* c = kParagraph; *c; ++c)
        text.push_back(static_cast<char16_t>(*c));

    WriteTextParams p = {};
    p.font.height = -48;
    p.font.weight = 400;
    std::strcpy(p.font.faceName, "Liberation Sans");
    p.color.SetWhite();
    p.offsetX = kLeft;
    p.offsetY = -kTop;

    ILImageOwner image;
    if (ILAllocImage(&image.image, kWidth, kHeight, IL_RGB8, nullptr) != IL_OK) return 1;
    FILE* samples = std::fopen((folder + "/write_text_48px.samples").c_str(), "w");
    if (!samples) return 2;
    for (int r = 0; r < runs; ++r) {
        for (uint32_t y = 0; y < kHeight; ++y)
            std::memcpy(image.image.data + y * image.image.stride,
                        bytes.data() + size_t{y} * kWidth * 3, size_t{kWidth} * 3);
        auto start = std::chrono::steady_clock::now();
        if (ILWriteText(h, &image.image, &p, text.c_str()) != IL_OK) return 1;
        const double ourTime = Milliseconds(std::chrono::steady_clock::now() - start);

        start = std::chrono::steady_clock::now();
        VipsImage* in = vips_image_new_from_memory(bytes.data(), bytes.size(), kWidth, kHeight, 3,
                                                   VIPS_FORMAT_UCHAR);
        VipsImage *mask = nullptr, *box = nullptr, *white = nullptr, *out = nullptr;
        if (vips_text(&mask, kParagraph, "font", "Liberation Sans 48", "dpi", 72, nullptr) ||
            vips_crop(in, &box, kLeft, kTop, mask->Xsize, mask->Ysize, nullptr))
            return 1;
        white = vips_image_new_from_image1(box, 255.0);
        if (vips_ifthenelse(mask, white, box, &out, "blend", TRUE, nullptr)) return 1;
        size_t written = 0;
        g_free(vips_image_write_to_memory(out, &written));
        for (VipsImage* v : {out, white, box, mask, in})
            g_object_unref(v);
        const double peerTime = Milliseconds(std::chrono::steady_clock::now() - start);
        std::fprintf(samples, "ours %.3f\npeer %.3f\n", ourTime, peerTime);
    }
    std::fclose(samples);
    ILDestroyHandle(h);
    return 0;
}
