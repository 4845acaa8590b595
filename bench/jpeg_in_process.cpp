// JPEG decoding in one process, as the viewer and its thumbnail list pay for
// it (the process started once): ImgLib's load against libjpeg-turbo driven
// the way djpeg drives it (stdio source, the same decoding settings), both
// into a freshly allocated image of B, G, R rows, alternately, each run
// timed with a steady clock. The outputs are compared first.
// Both sides get their image from the library's allocator (ILCreateImage),
// freed after each run: the same page size (huge pages where the system has
// them) and the same fresh-memory page faults, so that the figures compare
// decoding and not allocators. The page faults per run of each side are
// printed on standard error to show it.
//
//   jpeg_in_process FILE EDGE RUNS OUT.samples     EDGE 0: a full decode;
//                                                   else the thumbnail load
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/resource.h>

// After the standard headers: it needs size_t and FILE.
#include <jpeglib.h>

#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"

namespace {

// djpeg's settings: the accurate IDCT and smooth upsampling for a full
// decode; -scale 1/8 -dct fast -nosmooth for the thumbnail.
bool Libjpeg(const char* path, bool thumbnail, ILImage* out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    jpeg_decompress_struct c;
    jpeg_error_mgr errors;
    c.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&c);
    jpeg_stdio_src(&c, f);
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_EXT_BGR;
    if (thumbnail) {
        c.scale_num = 1;
        c.scale_denom = 8;
        c.dct_method = JDCT_IFAST;
        c.do_fancy_upsampling = FALSE;
    }
    jpeg_start_decompress(&c);
    const bool allocated =
        ILCreateImage(out, c.output_width, c.output_height, IL_BGR8, nullptr) == IL_OK;
    while (allocated && c.output_scanline < c.output_height) {
        JSAMPROW row = out->data + int64_t{out->stride} * c.output_scanline;
        jpeg_read_scanlines(&c, &row, 1);
    }
    if (allocated) jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    std::fclose(f);
    return allocated;
}

long MinorFaults() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

long Median(std::vector<long> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

double Milliseconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    const char* path = argv[1];
    const uint32_t edge = static_cast<uint32_t>(std::atoi(argv[2]));
    const int runs = std::atoi(argv[3]);
    ILHandle* h = ILCreateHandle("bench");
    ILSetThumbnailSize(h, edge);
    const std::u16string widePath = ILUtf8ToPath(path);
    auto ours = [&](ILImage* image) { return ILLoadImage(h, widePath.c_str(), image, nullptr); };

    ILImage image, peer;
    if (ours(&image) != IL_OK || image.type != IL_BGR8 || !Libjpeg(path, edge != 0, &peer) ||
        image.width != peer.width || image.height != peer.height)
        return 1;
    for (uint32_t y = 0; y < image.height; ++y)
        if (std::memcmp(image.data + int64_t{y} * image.stride,
                        peer.data + int64_t{y} * peer.stride, size_t{peer.width} * 3) != 0) {
            std::fprintf(stderr, "row %u differs\n", y);
            return 1;
        }
    ILFreeImage(&image);
    ILFreeImage(&peer);

    FILE* samples = std::fopen(argv[4], "w");
    if (!samples) return 2;
    std::vector<long> ourFaults, peerFaults;
    for (int r = 0; r < runs; ++r) {
        long faults = MinorFaults();
        auto start = std::chrono::steady_clock::now();
        const ILResult result = ours(&image);
        const double ourTime = Milliseconds(std::chrono::steady_clock::now() - start);
        ourFaults.push_back(MinorFaults() - faults);
        ILFreeImage(&image);
        faults = MinorFaults();
        start = std::chrono::steady_clock::now();
        const bool decoded = Libjpeg(path, edge != 0, &peer);
        const double peerTime = Milliseconds(std::chrono::steady_clock::now() - start);
        peerFaults.push_back(MinorFaults() - faults);
        ILFreeImage(&peer);
        if (result != IL_OK || !decoded) return 1;
        std::fprintf(samples, "ours %.3f\npeer %.3f\n", ourTime, peerTime);
    }
    std::fprintf(stderr, "in-process %s: page faults per run (median) ours %ld, peer %ld\n",
                 edge ? "thumbnail" : "decode", Median(ourFaults), Median(peerFaults));
    ILDestroyHandle(h);
    return std::fclose(samples) == 0 ? 0 : 1;
}
