#include "viewer/logic/info_texts.h"

#include <cstdio>

#include "viewer/logic/image_summary.h"

namespace {

template <class... Args>
std::string Printf(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace

std::string FormatThousands(uint64_t value) {
    std::string digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(i, ".");
    return digits;
}

const char* CompressionName(uint32_t code) {
    struct Row {
        uint32_t code;
        const char* text;
    };
    static const Row rows[] = {
        {0, "uncompressed"},
        {16, "uncompressed ascii"},
        {32, "RLE"},
        {33, "Thunderscan RLE"},
        {48, "LZW"},
        {49, "LZW (filtered)"},
        {50, "LZW (interlaced)"},
        {51, "LZW (filtered, interlaced)"},
        {64, "LZZ"},
        {65, "LZZ (filtered)"},
        {66, "LZZ (interlaced)"},
        {67, "LZZ (filtered, interlaced)"},
        {80, "DCT (Huffman)"},
        {81, "DCT (Huffman, progressive)"},
        {82, "DCT (arithm.)"},
        {83, "DCT (arithm., progressive)"},
        {96, "DWT"},
        {97, "DWT 5x3"},
        {98, "DWT 9x7"},
        {112, "ISO JBIG"},
        {128, "Kodak DCS"},
        {144, "CCITT RLE"},
        {145, "CCITT Group3"},
        {146, "CCITT Group4"},
        {160, "IT8 CT"},
        {161, "IT8 RLE"},
        {162, "IT8 Mono"},
        {163, "IT8 Binary"},
        {176, "Pixar LZW"},
        {177, "Pixar ZIP"},
        {186, "Pixar lossy 24bit float"},
        {187, "lossy 4x4 blocks (fixed)"},
        {188, "lossy 4x4 blocks"},
        {193, "DXT1 4x4"},
        {194, "DXT2 4x4"},
        {195, "DXT3 4x4"},
        {196, "DXT4 4x4"},
        {197, "DXT5 4x4"},
        {208, "VP8"},
    };
    for (const Row& row : rows)
        if (row.code == code) return row.text;
    return "unknown";
}

const char* ResolutionUnitName(int unit) {
    return unit == 0 ? "cm" : "inch";
}

std::string FormatText(int32_t formatId) {
    const auto id = static_cast<uint32_t>(formatId);
    if (formatId <= 0)
        return id == IL_FORMAT_ACQUIRED ? "Acquired"
               : id == IL_FORMAT_PASTED ? "Clipboard"
                                        : "NONE";
    switch (id) {
        case IL_FORMAT_PGM:
            return "Portable Graymap";
        case IL_FORMAT_PPM:
            return "Portable Pixelmap";
        case IL_FORMAT_PBM:
            return "Portable Bitmap";
        case IL_FORMAT_PFM:
            return "Portable Floatmap";
        default:
            break;
    }
    std::string text = ILGetFormatDescription(id);
    switch (id) {
        case IL_FORMAT_GIF87:
            return text + " 87a";
        case IL_FORMAT_GIF89:
            return text + " 89a";
        case IL_FORMAT_J2K_CODESTREAM:
        case IL_FORMAT_JXR_CODESTREAM:
            return text + " Codestream";
        case IL_FORMAT_TIFF_LE:
            return text + " (intel)";
        case IL_FORMAT_TIFF_BE:
            return text + " (motorola)";
        case IL_FORMAT_TGA_FOOTER:
            return text + " 2.0";
        default:
            return text;
    }
}

std::string ColorText(const ILInfo& info) {
    const int bits = static_cast<int>(info.bitsPerPixel);
    const int bps = info.channels ? bits / static_cast<int>(info.channels) : bits;
    std::string text;
    switch (info.colorType) {
        case 1:
            text = "monochrome (1 bit)";
            break;
        case 2:
            text = Printf("grayscale (%d bit)", bps);
            break;
        case 3:
            text = Printf("index (%d bit)", bps);
            break;
        case 4:
            if (bits > 16) {
                text = Printf("RGB (%d bit, %d bps)", bits, bps);
            } else {
                text = Printf("RGB (%d bit", bits);
                text += bits == 8    ? ", 2-3-2 bps)"
                        : bits == 12 ? ", 4-4-4 bps)"
                        : bits == 15 ? ", 5-5-5 bps)"
                        : bits == 16 ? ", 5-6-5 bps)"
                                     : ")";
            }
            break;
        case 5:
            text = Printf("YUV (%d bit, %d bps)", bits, bps);
            break;
        case 6:
            text = Printf("YUVK (%d bit, %d bps)", bits, bps);
            break;
        case 7:
            text = Printf("YCC (%d bit, %d bps)", bits, bps);
            break;
        case 8:
            text = Printf("YCCK (%d bit, %d bps)", bits, bps);
            break;
        case 10:
            text = Printf("CMYK (%d bit, %d bps)", bits, bps);
            break;
        case 11:
            text = Printf("L*a*b (%d bit, %d bps)", bits, bps);
            break;
        case 12:
            text = Printf(bits > 16 ? "LogLUV (%d bit)" : "LogL (%d bit)", bits);
            break;
        case 13:
            text = Printf("RGB(e) (%d bit, %d bps)", bits, bps);
            break;
        case 14:
            text = Printf("XYZ(e) (%d bit, %d bps)", bits, bps);
            break;
        case 15:
        case 16:
            text = info.colorType == 15 ? "Bayer Grid (" : "Faveon (";
            text += info.channels == 4 ? "rggb)" : "rgb)";
            break;
        default:
            return "unknown";
    }
    if (info.alphaKind != 0)
        text += info.colorType == 3                        ? " with transparence"
                : info.alphaKind == IL_ALPHA_PREMULTIPLIED ? " with pre-mutiplied alpha"
                                                           : " with alpha";
    return text;
}

std::string GammaText(const ILInfo& info) {
    if (info.colorType == 1) return "-";
    std::string text;
    if (info.gamma > 0 && info.gammaKind <= IL_GAMMA_CHROMATICITIES)
        text = Printf("%.2f", info.gamma);
    const uint32_t type = info.colorType;
    switch (info.gammaKind) {
        case IL_GAMMA_ASSUMED:
            if (info.gamma <= 0) return "-";
            if (info.gamma == 2.2) {
                if (type == 2) text += " (sGRAY assumed)";
                if (type == 3 || type == 4 || type == 5 || type == 7) text += " (sRGB assumed)";
            } else if (info.gamma == 1.0) {
                if (type == 2) text += " (scGRAY assumed)";
                if (type == 3 || type == 4) text += " (scRGB assumed)";
            } else {
                text += " (assumed)";
            }
            return text;
        case IL_GAMMA_STORED:
            return text;
        case IL_GAMMA_CHROMATICITIES:
            return text + " (colorimetric)";
        case IL_GAMMA_ICC:
            return " ICC profile";
        case IL_GAMMA_SRGB:
            return " sRGB";
        case IL_GAMMA_ICC_SRGB:
            return " sRGB ICC profile";
        case IL_GAMMA_CHROMATICITIES_SRGB:
            return " sRGB colorimetric";
        default:
            return text;
    }
}

std::string ResolutionText(uint32_t width, uint32_t height, uint32_t ppiX, uint32_t ppiY,
                           int unit) {
    if (ppiX == 0 || ppiY == 0) return "-";
    const double scale = unit == 0 ? 2.54 : 1.0;
    const double w = width * scale / ppiX;
    const double h = height * scale / ppiY;
    if (ppiX == ppiY)
        return Printf("%u ppi (%1.2f x %1.2f %s)", ppiX, w, h, ResolutionUnitName(unit));
    return Printf("%u x %u ppi (%1.2f x %1.2f %s)", ppiX, ppiY, w, h, ResolutionUnitName(unit));
}

const char* AlphaStateText(ILPixelType type, bool useAlpha) {
    if (!ILHasAlpha(type)) return "no alpha channel";
    return useAlpha ? "alpha enabled" : "alpha disabled";
}

InfoTexts BuildInfoTexts(const ILInfo& info, const ILImage& image, const InfoViewFacts& facts) {
    InfoTexts texts;
    const auto id = static_cast<int32_t>(info.formatId);
    texts.format = FormatText(id);
    texts.hasFile = id > 0;
    if (texts.hasFile) {
        texts.fileSize = FormatThousands(static_cast<uint64_t>(info.fileSize)) + " byte";
        texts.compression = CompressionName(info.compression);
    } else {
        texts.fileSize = texts.compression = "-";
    }
    if (info.width != 0) {
        texts.imageSize = Printf("%u x %u pixel", info.width, info.height);
        if (info.tiled) texts.imageSize += Printf(" (%u x %u tiles)", info.tilesX, info.tilesY);
        texts.color = ColorText(info);
    } else {
        texts.imageSize = texts.color = "-";
    }
    texts.gamma = GammaText(info);
    texts.resolution =
        ResolutionText(info.width, info.height, info.ppiX, info.ppiY, facts.resolutionUnit);
    if (image.data) {
        texts.mode = FormatModeName(image.type) + " " + AlphaStateText(image.type, facts.useAlpha);
        texts.currentSize = Printf("%u x %u pixel", image.width, image.height);
        texts.currentResolution = ResolutionText(image.width, image.height, facts.viewPpiX,
                                                 facts.viewPpiY, facts.resolutionUnit);
    } else {
        texts.mode = texts.currentSize = texts.currentResolution = "-";
    }
    return texts;
}

bool InfoPageHasData(const ILInfo& info, int page) {
    switch (page) {
        case 1:
            return info.texts.count > 0;
        case 2:
            return ILHasIPTC(info.iptc);
        case 3:
            return ILHasExif(info.exif);
        case 4:
            return ILHasXMP(info.xmp);
        case 5:
            return info.icc.present != 0;
        default:
            return false;
    }
}

std::string InfoPageText(const ILInfo& info, int page) {
    std::string text;
    if (!InfoPageHasData(info, page)) return text;
    switch (page) {
        case 1:
            ILFormatTexts(&info.texts, &text);
            break;
        case 2:
            ILFormatIPTC(info.iptc, &text);
            break;
        case 3:
            ILFormatExif(info.exif, &text);
            break;
        case 4:
            ILFormatXMP(info.xmp, &text);
            break;
        case 5:
            ILFormatIccInfo(&info.icc, &text);
            break;
        default:
            break;
    }
    return text;
}
