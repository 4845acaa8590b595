#include "imglib/library_versions.h"

#include <cstdio>
#include <cstring>

#include <OpenEXR/openexr_base.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <jconfig.h>
#include <lcms2.h>
#include <png.h>
#include <tiffio.h>
#include <webp/decode.h>
#include <zlib.h>

#include <libpgf/PGFtypes.h>

extern "C" const char* libraw_version();

// Versions known only when built: pkg-config's, passed in by CMake.
#ifndef VX_LIBEXIF_VERSION
#define VX_LIBEXIF_VERSION "?"
#endif
#ifndef VX_LIBIPTCDATA_VERSION
#define VX_LIBIPTCDATA_VERSION "?"
#endif
#ifndef VX_EXEMPI_VERSION
#define VX_EXEMPI_VERSION "?"
#endif
#ifndef VX_IMATH_VERSION
#define VX_IMATH_VERSION "?"
#endif
#ifndef VX_LIBJXR_VERSION
#define VX_LIBJXR_VERSION "?"
#endif

namespace {

#define VX_STRINGIZE_VALUE(x) VX_STRINGIZE(x)
#define VX_STRINGIZE(x) #x

void Put(ILLibraryVersion& row, const char* name, const char* version) {
    std::snprintf(row.name, sizeof row.name, "%s", name);
    std::snprintf(row.version, sizeof row.version, "%s", version ? version : "?");
}

// "LIBTIFF, Version 4.5.0\n..." gives "4.5.0".
void TiffVersion(char* out, size_t size) {
    const char* text = TIFFGetVersion();
    const char* at = text ? std::strstr(text, "Version ") : nullptr;
    std::snprintf(out, size, "%s", at ? at + 8 : "?");
    out[std::strcspn(out, "\n ")] = 0;
}

void FreeTypeVersion(char* out, size_t size) {
    FT_Library library = nullptr;
    FT_Int major = 0, minor = 0, patch = 0;
    if (FT_Init_FreeType(&library) == 0) {
        FT_Library_Version(library, &major, &minor, &patch);
        FT_Done_FreeType(library);
    }
    std::snprintf(out, size, "%d.%d.%d", major, minor, patch);
}

} // namespace

size_t ILGetLibraryVersions(ILLibraryVersion* out, size_t capacity) {
    ILLibraryVersion rows[kILLibraryCount];
    char text[24];
    size_t n = 0;

    const int lcms = cmsGetEncodedCMMversion(); // 2140 for 2.14
    std::snprintf(text, sizeof text, "%d.%d", lcms / 1000, lcms % 1000 / 10);
    Put(rows[n++], "lcms2", text);
    Put(rows[n++], "zlib", zlibVersion());
    Put(rows[n++], "libpng", png_get_libpng_ver(nullptr));
    Put(rows[n++], "libjpeg-turbo", VX_STRINGIZE_VALUE(LIBJPEG_TURBO_VERSION));
    TiffVersion(text, sizeof text);
    Put(rows[n++], "libtiff", text);
    Put(rows[n++], "LibRaw", libraw_version());
    int major = 0, minor = 0, patch = 0;
    const char* extra = nullptr;
    exr_get_library_version(&major, &minor, &patch, &extra);
    std::snprintf(text, sizeof text, "%d.%d.%d", major, minor, patch);
    Put(rows[n++], "OpenEXR", text);
    Put(rows[n++], "Imath", VX_IMATH_VERSION);
    Put(rows[n++], "jxrlib", VX_LIBJXR_VERSION);
    Put(rows[n++], "libpgf", PGFCodecVersion);
    const int webp = WebPGetDecoderVersion(); // 0x010204 for 1.2.4
    std::snprintf(text, sizeof text, "%d.%d.%d", webp >> 16, (webp >> 8) & 0xFF, webp & 0xFF);
    Put(rows[n++], "libwebp", text);
    Put(rows[n++], "libexif", VX_LIBEXIF_VERSION);
    Put(rows[n++], "libiptcdata", VX_LIBIPTCDATA_VERSION);
    Put(rows[n++], "exempi", VX_EXEMPI_VERSION);
    FreeTypeVersion(text, sizeof text);
    Put(rows[n++], "FreeType", text);
    const int fontconfig = FcGetVersion(); // 21401 for 2.14.1
    std::snprintf(text, sizeof text, "%d.%d.%d", fontconfig / 10000, fontconfig / 100 % 100,
                  fontconfig % 100);
    Put(rows[n++], "Fontconfig", text);

    const size_t count = n < capacity ? n : capacity;
    std::memcpy(out, rows, count * sizeof *rows);
    return count;
}
