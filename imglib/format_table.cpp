// The format table and its queries, including the file dialogs' filter lists.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "imglib/format.h"
#include "imglib/format_id.h"
#include "imglib/formats/codecs.h"

namespace {

// Extension lookup takes the first row that matches and the dialogs list the
// rows in this order: keep it.
constexpr ILFormat kFormats[] = {
    {IL_FORMAT_BMP, ILLoadBMP, ILSaveBMP, "Windows/OS2 Bitmap", "bmp;"},
    {IL_FORMAT_PCX, ILLoadPCX, ILSavePCX, "Paintbrush Image", "pcx;"},
    {IL_FORMAT_PNG, ILLoadPNG, ILSavePNG, "Portable Network Graphics", "png;"},
    {IL_FORMAT_GIF, ILLoadGIF, ILSaveGIF, "Graphics Interchange Format", "gif;"},
    {IL_FORMAT_JPEG, ILLoadJPEG, ILSaveJPEG, "JPEG", "jpg;jpe;jpeg;jfif;"},
    {IL_FORMAT_JPEG2000, ILLoadJPEG2000, ILSaveJPEG2000, "JPEG 2000", "jp2;j2k;j2c;jpc;jpf;jpx;"},
    {IL_FORMAT_JXR, ILLoadJXR, ILSaveJXR, "JPEG XR / HD Photo", "jxr;hdp;wdp;"},
    {IL_FORMAT_TIFF, ILLoadTIFF, ILSaveTIFF, "Tagged Image File Format", "tif;tiff;"},
    {IL_FORMAT_PNM, ILLoadPNM, ILSavePNM, "Portable Map", "pnm;pam;pgm;pbm;ppm;pfm;"},
    {IL_FORMAT_TGA, ILLoadTGA, ILSaveTGA, "Targa True Vision", "tga;vst;vda;icb;"},
    {IL_FORMAT_RAS, ILLoadRAS, nullptr, "Sun Raster Graphic", "ras;im1;im8;im24;im32;"},
    {IL_FORMAT_SGI, ILLoadSGI, ILSaveSGI, "Silicon Graphics Image", "sgi;rgb;rgba;"},
    {IL_FORMAT_PGF, ILLoadPGF, ILSavePGF, "Progressive Graphics File", "pgf;"},
    {IL_FORMAT_WEBP, ILLoadWebP, ILSaveWebP, "WebP", "webp;"},
    {IL_FORMAT_RADIANCE, ILLoadRadiance, ILSaveRadiance, "Radiance Image", "hdr;rad;rgbe;xyze;"},
    {IL_FORMAT_EXR, ILLoadEXR, ILSaveEXR, "OpenEXR Image", "exr;"},
    {IL_FORMAT_CINEON, ILLoadCineon, ILSaveCineon, "Cineon Image", "cin;"},
    {IL_FORMAT_PCD, ILLoadPCD, nullptr, "Kodap Photo CD", "pcd;"},
    {IL_FORMAT_RAW, ILLoadRAW, nullptr, "Digital Camera RAW Formats",
     "arw;cr2;crw;dcr;dng;eff;erf;kdc;mef;mos;mrw;nef;orf;pef;raf;raw;rw2;srf;sr2;x3f;3fr;"},
    {IL_FORMAT_DDS, ILLoadDDS, nullptr, "Direct Draw Surface", "dds;"},
    {IL_FORMAT_WMF, ILLoadWMF, nullptr, "Windows Metafile", "wmf;emf;"},
    {0, nullptr, nullptr, "unknown", ""},
};
constexpr uint32_t kTerminator = std::size(kFormats) - 1;
// Only the last row has id 0, so the format count is the terminator's index.
static_assert([] {
    for (uint32_t i = 0; i < kTerminator; ++i)
        if (kFormats[i].id == 0) return false;
    return kFormats[kTerminator].id == 0;
}());

bool HasCodec(const ILFormat& row, bool save) {
    return save ? row.save != nullptr : row.load != nullptr;
}

// The n-th extension of a list, or an empty view past its end.
std::string_view NthExtension(std::string_view list, uint32_t n) {
    size_t start = 0;
    for (;;) {
        const size_t end = list.find(';', start);
        if (end == std::string_view::npos) return {};
        if (n-- == 0) return list.substr(start, end - start);
        start = end + 1;
    }
}

uint32_t ExtensionCount(const ILFormat& row) {
    const std::string_view list = row.extensions;
    return static_cast<uint32_t>(std::count(list.begin(), list.end(), ';'));
}

void Append(std::u16string& out, std::string_view ascii) {
    out.append(ascii.begin(), ascii.end());
}

// One dialog entry: the description with the extensions shown, then the
// pattern. Each ends with a zero.
void AppendEntry(std::u16string& out, const ILFormat& row, bool save) {
    const uint32_t shown = save ? 1 : ExtensionCount(row);
    Append(out, row.description);
    if (row.id != IL_FORMAT_RAW) {
        Append(out, " - ");
        for (uint32_t i = 0; i < shown; ++i) {
            if (i) Append(out, ", ");
            Append(out, NthExtension(row.extensions, i));
        }
    }
    out += u'\0';
    for (uint32_t i = 0; i < shown; ++i) {
        Append(out, i ? ";*." : "*.");
        Append(out, NthExtension(row.extensions, i));
    }
    out += u'\0';
}

} // namespace

const ILFormat& ILGetFormatRow(uint32_t row) {
    return kFormats[std::min(row, kTerminator)];
}

uint32_t ILGetFormatCount() {
    return kTerminator;
}

uint32_t ILFindFormatRow(const char16_t* path) {
    if (!path) return kTerminator;
    const std::u16string_view p(path);
    const size_t dot = p.rfind(u'.');
    if (dot == std::u16string_view::npos) return kTerminator;
    const std::u16string_view ext = p.substr(dot + 1);
    if (ext.size() != 3 && ext.size() != 4) return kTerminator;
    char key[6] = {};
    for (size_t i = 0; i < ext.size(); ++i) {
        const char16_t c = ext[i];
        // ";" would match across two entries of a list.
        if (c == 0 || c > 0x7F || c == u';') return kTerminator;
        key[i] = static_cast<char>(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
    }
    // A 3-character extension carries its ";", so that "tif" does not stop at
    // "tiff" and "peg" finds "jpeg;"; a 4-character one stands alone.
    if (ext.size() == 3) key[3] = ';';
    for (uint32_t row = 0; kFormats[row].id != 0; ++row) {
        if (std::strstr(kFormats[row].extensions, key)) return row;
    }
    return kTerminator;
}

uint32_t ILGetFormatIdOfPath(const char16_t* path) {
    return kFormats[ILFindFormatRow(path)].id;
}

const char* ILGetFormatDescription(uint32_t id) {
    const uint32_t wanted = id & IL_FORMAT_ROW_MASK;
    uint32_t row = 0;
    while (kFormats[row].id != 0 && kFormats[row].id != wanted)
        ++row;
    return kFormats[row].description;
}

bool ILFormatHasCodec(bool save, uint32_t row) {
    return HasCodec(ILGetFormatRow(row), save);
}

uint32_t ILGetNthFormatRow(uint32_t n, bool save) {
    for (uint32_t row = 0; kFormats[row].id != 0; ++row) {
        if (HasCodec(kFormats[row], save) && n-- == 0) return row;
    }
    return kTerminator;
}

const char* ILGetLoadFormatName(uint32_t n) {
    return kFormats[ILGetNthFormatRow(n, false)].description;
}

uint32_t ILGetFormatId(uint32_t n, bool save) {
    return kFormats[ILGetNthFormatRow(n, save)].id;
}

bool ILGetFormatExtension(uint32_t row, uint32_t n, char* buffer) {
    const std::string_view ext = NthExtension(ILGetFormatRow(row).extensions, n);
    ext.copy(buffer, IL_EXTENSION_BUFFER - 1);
    buffer[std::min<size_t>(ext.size(), IL_EXTENSION_BUFFER - 1)] = '\0';
    return !ext.empty();
}

bool ILGetSaveFormatExtension(uint32_t n, char* buffer) {
    return ILGetFormatExtension(ILGetNthFormatRow(n, true), 0, buffer);
}

uint32_t ILBuildFilterString(bool save, char16_t* buffer) {
    // The size callers allocate, kept as the dialogs have always sized it; it
    // leaves room to spare over what is written.
    uint32_t needed = 0;
    uint32_t shownTotal = 0;
    for (uint32_t row = 0; kFormats[row].id != 0; ++row) {
        if (!HasCodec(kFormats[row], save)) continue;
        const uint32_t listLength = static_cast<uint32_t>(std::strlen(kFormats[row].extensions));
        const uint32_t shown = save ? 1 : listLength / 4;
        needed += static_cast<uint32_t>(std::strlen(kFormats[row].description)) + 12 * shown + 5;
        shownTotal += shown;
    }
    needed += save ? 18 : 7 * shownTotal + 48;
    if (!buffer) return needed;

    std::fill_n(buffer, needed, u'\0');
    try {
        std::u16string list;
        for (uint32_t row = 0; kFormats[row].id != 0; ++row) {
            if (HasCodec(kFormats[row], save)) AppendEntry(list, kFormats[row], save);
        }
        if (!save) {
            Append(list, "All supported file formats");
            list += u'\0';
            bool first = true;
            for (uint32_t row = 0; kFormats[row].id != 0; ++row) {
                if (!HasCodec(kFormats[row], false)) continue;
                const uint32_t count = ExtensionCount(kFormats[row]);
                for (uint32_t i = 0; i < count; ++i) {
                    Append(list, first ? "*." : ";*.");
                    Append(list, NthExtension(kFormats[row].extensions, i));
                    first = false;
                }
            }
            list += u'\0';
        }
        // Keeps the final zero of the buffer whatever the list's length.
        std::copy_n(list.begin(), std::min<size_t>(list.size(), needed - 1), buffer);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}
