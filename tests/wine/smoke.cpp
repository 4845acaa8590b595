// Win32 smoke test: the path a Win32 program holds (a DOS path such as
// Z:\tmp\a.png) reaches ImgLib the way the viewer hands it over
// (wine_paths.h). Each command-line argument is opened with ILOpenRead and
// loaded with ILLoadImage; one line per call goes to stdout for the harness
// (run_smoke.sh) to check:
//
//   open <arg> <result> [<module>: <message>]
//   load <arg> <result> [<module>: <message>] [<width>x<height>]
//
// wchar_t is 2 bytes under wineg++ and 4 in the native library: only WCHAR
// (with Win32 string functions) and char16_t appear here.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>

#include "imglib/format.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/io/stream.h"
#include "wine_paths.h"

namespace {

// The last error the library reported; the message procedure has no user
// pointer, and this program runs one call at a time on one thread.
std::string g_lastError;

bool RecordError(const char* module, const char* text) {
    g_lastError = std::string(module ? module : "") + ": " + (text ? text : "");
    return false;
}

void PrintResult(const char* call, const std::string& arg, ILResult result) {
    std::printf("%s %s %d", call, arg.c_str(), static_cast<int>(result));
    if (!g_lastError.empty()) std::printf(" [%s]", g_lastError.c_str());
}

void Check(ILHandle* h, const WCHAR* dosPath) {
    const std::string arg = vxwine::ToUtf8(dosPath);
    const std::u16string path = vxwine::LibraryPathOf(dosPath);
    if (path.empty()) {
        std::printf("path %s has no Unix name\n", arg.c_str());
        return;
    }

    g_lastError.clear();
    FILE* file = nullptr;
    uint64_t size = 0;
    const ILResult opened = ILOpenRead(h, path.c_str(), &file, nullptr, &size);
    PrintResult("open", arg, opened);
    if (file) std::fclose(file);
    std::printf("\n");

    g_lastError.clear();
    ILImage image;
    ILInitImage(&image);
    const ILResult loaded = ILLoadImage(h, path.c_str(), &image, nullptr);
    PrintResult("load", arg, loaded);
    if (loaded >= 1) std::printf(" %ux%u", image.width, image.height);
    std::printf("\n");
    ILFreeImage(&image);
}

} // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) {
        std::fprintf(stderr, "cannot read the command line\n");
        return 2;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: smoke DOS-PATH...\n");
        LocalFree(argv);
        return 2;
    }

    ILHandle* h = ILCreateHandle("Vx smoke test");
    if (!h) {
        std::printf("create failed\n");
        LocalFree(argv);
        return 1;
    }
    ILSetErrorProc(h, RecordError);
    for (int i = 1; i < argc; ++i)
        Check(h, argv[i]);
    const bool destroyed = ILDestroyHandle(h);
    std::printf("destroy %d\n", destroyed ? 1 : 0);
    std::fflush(stdout);
    LocalFree(argv);
    return 0;
}
