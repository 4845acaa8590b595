// Win32 text test: the drawing surface measures a table of texts twice, with
// the viewer's GDI rasteriser (linked in, so registered) and with the
// library's built-in FreeType one, and prints for the harness
// (run_text_surface.sh):
//
//   measure <case> gdi <l>,<t>,<r>,<b> builtin <l>,<t>,<r>,<b> <same|DIFFERENT>
//
//   draw <case> mean <level difference> max <level difference> <alike|DIFFERENT>
//
// "same" when every edge is within a pixel; "alike" when the two renderings
// agree exactly (cases without grey levels) or differ by at most 3 levels
// on average. With "-o DOS-FOLDER" each case is also saved from both as
// <case>.gdi.png and <case>.builtin.png there.
#include <windows.h>
#include <shellapi.h>
// windows.h makes DrawText a macro for DrawTextA or DrawTextW; here it is
// the surface's member.
#undef DrawText

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <algorithm>

#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/pixel_type.h"
#include "imglib/surface.h"
#include "wine_paths.h"

namespace {

struct Case {
    const char* name;
    const char* face;
    int32_t height;
    int32_t weight;
    uint8_t italic, underline, quality;
    uint32_t format;
    const char16_t* text;
    int32_t width = 0;  // of the rectangle measured in
    bool exact = false; // drawn without grey levels: the pixels must agree
};

constexpr uint32_t kPlain = IL_DT_NOPREFIX | IL_DT_NOCLIP;

const Case kCases[] = {
    {"em48", "Liberation Sans", -48, 400, 0, 0, 0, kPlain, u"The quick brown fox jumps"},
    {"cell48", "Liberation Sans", 48, 400, 0, 0, 0, kPlain, u"The quick brown fox jumps"},
    {"em13", "Liberation Sans", -13, 400, 0, 0, 0, kPlain, u"Small text, 13 px: 0123456789", 0,
     true},
    {"bold", "Liberation Sans", -24, 700, 0, 0, 0, kPlain, u"Bold words here"},
    {"italic", "Liberation Serif", -24, 400, 1, 0, 0, kPlain, u"Italic serif line"},
    {"mono", "Liberation Mono", -20, 400, 0, 0, 3, kPlain, u"Monochrome mono face", 0, true},
    {"lines", "Liberation Sans", -20, 400, 0, 0, 0, kPlain, u"one\r\ntwo longer\rthree\nfour"},
    {"centre", "Liberation Sans", -20, 400, 0, 0, 0, kPlain | IL_DT_CENTER, u"short\nmuch longer"},
    {"right", "Liberation Sans", -20, 400, 0, 0, 0, kPlain | IL_DT_RIGHT, u"short\nmuch longer"},
    {"prefix", "Liberation Sans", -20, 400, 0, 1, 0, IL_DT_NOCLIP, u"&File && &Edit"},
    {"tabs", "Liberation Sans", -20, 400, 0, 0, 0, kPlain, u"a\tb"},
    // Wine's GDI takes a surrogate pair for two characters; the built-in
    // rasteriser draws one, so only a lone surrogate is compared.
    {"surrogate", "Liberation Sans", -20, 400, 0, 0, 0, kPlain, u"xy\xD800z"},
    {"rtl", "Liberation Sans", -20, 400, 0, 0, 0, kPlain | IL_DT_RTLREADING,
     u"\x05E9\x05DC\x05D5\x05DD abc!"},
    {"trailing", "Liberation Sans", -20, 400, 0, 0, 0, kPlain, u"ends with a break\n"},
    {"breaks", "Liberation Sans", -20, 400, 0, 0, 0, kPlain, u"two breaks\r\n\n"},
    {"empty", "Liberation Sans", -20, 400, 0, 0, 0, kPlain, u""},
    {"ellipsis", "Liberation Sans", -20, 400, 0, 0, 0, kPlain | IL_DT_END_ELLIPSIS,
     u"a line far too long for its box\nfits", 120},
    {"ellipsislast", "Liberation Sans", -20, 400, 0, 0, 0, kPlain | IL_DT_END_ELLIPSIS,
     u"fits\na line far too long for its box", 120},
    {"centred", "Liberation Sans", -20, 400, 0, 0, 0,
     IL_DT_CENTER | IL_DT_END_ELLIPSIS | IL_DT_NOPREFIX, u"centred and cut short", 100},
    {"arial", "Arial", -32, 400, 0, 0, 0, kPlain, u"Arial by its own name"},
};

std::string Edges(const ILRect& r) {
    char text[64];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d", r.left, r.top, r.right, r.bottom);
    return text;
}

ILLogFont FontOf(const Case& c) {
    ILLogFont font = {};
    font.height = c.height;
    font.weight = c.weight;
    font.italic = c.italic;
    font.underline = c.underline;
    font.quality = c.quality;
    std::strncpy(font.faceName, c.face, sizeof font.faceName - 1);
    return font;
}

bool Measure(const Case& c, ILRect* rect) {
    ILGdiSurface s;
    bool ok = s.CreateWithFont(FontOf(c));
    *rect = {0, 0, c.width, 0};
    ok = ok && s.DrawText(rect, c.text, c.format | IL_DT_CALCRECT);
    s.Destroy();
    return ok;
}

// The case drawn white on black into a surface the size GDI measured; the
// pixels, also saved as PNG when a path is given.
std::vector<uint8_t> Draw(ILHandle* h, const Case& c, const ILRect& rect,
                          const std::u16string& path) {
    ILGdiSurface s;
    std::vector<uint8_t> pixels;
    const int32_t w = (c.width ? c.width : rect.right - rect.left) + 8,
                  ht = rect.bottom - rect.top + 8;
    if (s.CreateWithFont(FontOf(c)) && s.Resize(w, ht)) {
        ILRect at = {4, 4, w - 4, ht - 4};
        s.DrawText(&at, c.text, c.format);
        pixels.assign(s.bits, s.bits + s.stride * s.height);
        if (!path.empty()) {
            ILImage view;
            ILInitImage(&view);
            view.data = s.bits;
            view.stride = s.stride;
            view.width = s.width;
            view.height = s.height;
            view.type = IL_BGR8;
            view.channels = 3;
            view.bits = 8;
            ILSaveImage(h, path.c_str(), &view, nullptr);
        }
    }
    s.Destroy();
    return pixels;
}

} // namespace

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::u16string folder;
    if (argv && argc == 3 && lstrcmpW(argv[1], L"-o") == 0) folder = vxwine::LibraryPathOf(argv[2]);
    ILHandle* h = ILCreateHandle("Vx text test");
    ILSetErrorProc(h, nullptr);
    const ILTextRasterizer* gdi = ILSetTextRasterizer(nullptr);
    ILSetTextRasterizer(gdi);
    int status = 0;
    for (const Case& c : kCases) {
        ILRect byGdi, byBuiltin;
        ILSetTextRasterizer(gdi);
        const bool gdiOk = Measure(c, &byGdi);
        ILSetTextRasterizer(nullptr);
        const bool builtinOk = Measure(c, &byBuiltin);
        const bool same = gdiOk && builtinOk && std::abs(byGdi.left - byBuiltin.left) <= 1 &&
                          std::abs(byGdi.top - byBuiltin.top) <= 1 &&
                          std::abs(byGdi.right - byBuiltin.right) <= 1 &&
                          std::abs(byGdi.bottom - byBuiltin.bottom) <= 1;
        std::printf("measure %s gdi %s builtin %s %s\n", c.name,
                    gdiOk ? Edges(byGdi).c_str() : "failed",
                    builtinOk ? Edges(byBuiltin).c_str() : "failed", same ? "same" : "DIFFERENT");
        if (!same) status = 1;
        if (!gdiOk) continue;
        // The renderings: exactly alike without grey levels, else on average
        // within a few levels (the two rasterisers' grey levels differ).
        const std::u16string base =
            folder.empty() ? u"" : folder + u"/" + vxwine::ToLibraryPath(c.name);
        ILSetTextRasterizer(gdi);
        const std::vector<uint8_t> a = Draw(h, c, byGdi, base.empty() ? base : base + u".gdi.png");
        ILSetTextRasterizer(nullptr);
        const std::vector<uint8_t> b =
            Draw(h, c, byGdi, base.empty() ? base : base + u".builtin.png");
        double sum = 0;
        int most = 0;
        for (size_t i = 0; i < a.size() && a.size() == b.size(); ++i) {
            const int d = std::abs(a[i] - b[i]);
            sum += d;
            most = std::max(most, d);
        }
        const double mean = a.empty() ? 0 : sum / static_cast<double>(a.size());
        const bool alike =
            !a.empty() && a.size() == b.size() && (c.exact ? most == 0 : mean <= 3.0);
        std::printf("draw %s mean %.2f max %d %s\n", c.name, mean, most,
                    alike ? "alike" : "DIFFERENT");
        if (!alike) status = 1;
    }
    ILSetTextRasterizer(gdi);
    std::fflush(stdout);
    ILDestroyHandle(h);
    LocalFree(argv);
    return status;
}
