// Win32 metafile test: loads each file named on the command line through
// ImgLib with the viewer's GDI renderer registered (it is linked in), and
// prints for the harness (run_metafile.sh):
//
//   load <file name> <result> <width>x<height> <x>,<y>=<B>,<G>,<R> ...
//
// with the pixels at the left, middle and right of the middle row. With
// "-o DOS-FOLDER" first, each image is also saved there as <file name>.png
// for a look.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/pixel_type.h"
#include "wine_paths.h"

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) {
        std::fprintf(stderr, "usage: metafile DOS-PATH...\n");
        return 2;
    }
    ILHandle* h = ILCreateHandle("Vx metafile test");
    ILSetErrorProc(h, nullptr);
    int first = 1;
    std::u16string saveFolder;
    if (argc > 3 && lstrcmpW(argv[1], L"-o") == 0) {
        saveFolder = vxwine::LibraryPathOf(argv[2]);
        first = 3;
    }
    for (int i = first; i < argc; ++i) {
        std::string name = vxwine::ToUtf8(argv[i]);
        name = name.substr(name.find_last_of('\\') + 1);
        const std::u16string path = vxwine::LibraryPathOf(argv[i]);
        ILImage image;
        ILInitImage(&image);
        const ILResult result = ILLoadImage(h, path.c_str(), &image, nullptr);
        std::printf("load %s %d", name.c_str(), static_cast<int>(result));
        if (result >= 1 && image.type == IL_BGR8) {
            std::printf(" %ux%u", image.width, image.height);
            const uint32_t y = image.height / 2;
            for (const uint32_t x : {image.width / 8, image.width / 2, image.width * 7 / 8}) {
                const uint8_t* p = image.data + int64_t{y} * image.stride + 3 * x;
                std::printf(" %u,%u=%u,%u,%u", x, y, p[0], p[1], p[2]);
            }
        }
        std::printf("\n");
        if (result >= 1 && !saveFolder.empty()) {
            const std::u16string png =
                saveFolder + u"/" + vxwine::ToLibraryPath(name.c_str()) + u".png";
            ILSaveImage(h, png.c_str(), &image, nullptr);
        }
        ILFreeImage(&image);
    }
    std::fflush(stdout);
    ILDestroyHandle(h);
    LocalFree(argv);
    return 0;
}
