// The built-in text rasteriser: fonts found through fontconfig and drawn by
// FreeType, with the platform's logical-font rules. A font's cell is the
// face's Windows ascent plus descent (OS/2 usWinAscent and usWinDescent),
// so that a positive height names the cell and a negative one the em, and
// lines are one cell apart. Glyphs are hinted, placed on whole pixels with
// their hinted advances and kept rendered in the font object.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GASP_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "imglib/surface.h"
#include "imglib/text_layout.h"

namespace {

// Larger fonts are refused: their glyphs alone would take hundreds of
// megabytes, and a stored action may ask for any height.
constexpr double kMaxEmPixels = 2048;
constexpr int32_t kDefaultCellHeight = 16;
// Synthesised italic: the platform slants by about 1 in 5.
constexpr FT_Fixed kObliqueShear = 0x3333;

struct FaceFile {
    std::string path;
    int index = 0;
    int weight = FC_WEIGHT_REGULAR; // of the face found
    bool italic = false;
};

// Font lookups through fontconfig are slow and the same few faces are asked
// for again and again: they are remembered, under one lock for fontconfig.
// Names come from stored records too, so the memory is bounded.
constexpr size_t kMaxRememberedFaces = 256;
std::mutex g_fontconfigLock;
std::map<std::tuple<std::string, int, bool>, FaceFile> g_faceFiles;

bool FindFace(const std::string& family, int weight, bool italic, FaceFile* out) {
    std::lock_guard<std::mutex> lock(g_fontconfigLock);
    const auto key = std::make_tuple(family, weight, italic);
    if (const auto found = g_faceFiles.find(key); found != g_faceFiles.end()) {
        *out = found->second;
        return true;
    }
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    // An empty face name asks for the platform's default face.
    const std::string name = family.empty() ? std::string("Arial") : family;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    int index = 0, faceWeight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &faceWeight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    FaceFile face;
    if (found)
        face = {reinterpret_cast<const char*>(file), index, faceWeight, slant != FC_SLANT_ROMAN};
    FcPatternDestroy(match);
    if (!found) return false;
    try {
        if (g_faceFiles.size() >= kMaxRememberedFaces) g_faceFiles.clear();
        g_faceFiles.emplace(key, face);
    } catch (const std::bad_alloc&) {}
    *out = face;
    return true;
}

struct Glyph {
    int32_t left = 0, top = 0; // of the bitmap from the pen on the baseline
    int32_t width = 0, rows = 0;
    int32_t advance = 0;
    std::vector<uint8_t> coverage; // 0..255, width x rows
};

class FreeTypeFont final : public ILGdiObject {
public:
    ~FreeTypeFont() override {
        if (face_) FT_Done_Face(face_);
        if (library_) FT_Done_FreeType(library_);
    }

    bool Open(const ILLogFont& font);
    const Glyph& GlyphOf(char32_t c);
    int32_t Advance(char32_t c) { return GlyphOf(c).advance; }

    int32_t ascent = 0, descent = 0;
    int32_t underlineOffset = 0, underlineThickness = 1; // offset below the baseline
    int32_t strikeOffset = 0, strikeThickness = 1;       // offset above the baseline
    bool underline = false, strikeOut = false;

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    bool mono_ = false;
    bool oblique_ = false;
    FT_Pos embolden_ = 0; // 26.6 pixels
    Glyph missing_;       // when a glyph cannot be loaded
    std::unordered_map<char32_t, Glyph> glyphs_;
};

bool FreeTypeFont::Open(const ILLogFont& font) {
    const std::string family(font.faceName, strnlen(font.faceName, sizeof font.faceName));
    const int weight = std::clamp(font.weight == 0 ? 400 : font.weight, 1, 1000);
    FaceFile file;
    if (!FindFace(family, weight, font.italic != 0, &file)) return false;
    if (FT_Init_FreeType(&library_) != 0) return false;
    if (FT_New_Face(library_, file.path.c_str(), file.index, &face_) != 0) return false;
    if (!FT_IS_SCALABLE(face_) || face_->units_per_EM == 0) return false;

    const double upem = face_->units_per_EM;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    double cellAscent = face_->ascender, cellDescent = -face_->descender;
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        cellAscent = os2->usWinAscent;
        cellDescent = os2->usWinDescent;
    }
    if (cellAscent + cellDescent <= 0) return false;
    double em = 0;
    if (font.height < 0)
        em = -static_cast<double>(font.height);
    else
        em = (font.height == 0 ? kDefaultCellHeight : font.height) * upem /
             (cellAscent + cellDescent);
    if (em > kMaxEmPixels) return false;
    double emWidth = em;
    if (font.width != 0) {
        const double average = os2 && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2;
        emWidth = std::abs(static_cast<double>(font.width)) * upem / average;
        if (emWidth > kMaxEmPixels) return false;
    }
    FT_Size_RequestRec request = {};
    request.type = FT_SIZE_REQUEST_TYPE_NOMINAL;
    request.width = std::max<FT_Long>(1, std::lround(emWidth * 64));
    request.height = std::max<FT_Long>(1, std::lround(em * 64));
    if (FT_Request_Size(face_, &request) != 0) return false;

    const double scale = em / upem;
    ascent = static_cast<int32_t>(std::lround(cellAscent * scale));
    descent = static_cast<int32_t>(std::lround(cellDescent * scale));
    // The face's own table of sizes may ask for no grey levels at this size
    // (small text in many faces), which the platform follows.
    const FT_Int gasp = FT_Get_Gasp(face_, face_->size->metrics.y_ppem);
    mono_ = font.quality == kFontNonAntialiased ||
            (gasp != FT_GASP_NO_TABLE && !(gasp & FT_GASP_DO_GRAY));
    underline = font.underline != 0;
    strikeOut = font.strikeOut != 0;
    underlineThickness =
        std::max(1, static_cast<int32_t>(std::lround(face_->underline_thickness * scale)));
    underlineOffset =
        std::max(1, static_cast<int32_t>(std::lround(-face_->underline_position * scale)) -
                        underlineThickness / 2);
    if (os2 && os2->version != 0xFFFF && os2->yStrikeoutSize > 0) {
        strikeThickness =
            std::max(1, static_cast<int32_t>(std::lround(os2->yStrikeoutSize * scale)));
        strikeOffset = static_cast<int32_t>(std::lround(os2->yStrikeoutPosition * scale));
    } else {
        strikeThickness = underlineThickness;
        strikeOffset = ascent / 3;
    }
    // Faces without the asked-for weight or slant are made bold or slanted.
    if (weight >= 600 && file.weight < FC_WEIGHT_DEMIBOLD) embolden_ = std::lround(em * 64 / 24);
    oblique_ = font.italic != 0 && !file.italic;
    return true;
}

const Glyph& FreeTypeFont::GlyphOf(char32_t c) {
    if (const auto found = glyphs_.find(c); found != glyphs_.end()) return found->second;
    Glyph glyph;
    const FT_UInt index = FT_Get_Char_Index(face_, c);
    const FT_Int32 load = mono_ ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL;
    if (FT_Load_Glyph(face_, index, load) != 0) return missing_;
    FT_GlyphSlot slot = face_->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        if (embolden_) FT_Outline_EmboldenXY(&slot->outline, embolden_, 0);
        if (oblique_) {
            FT_Matrix shear = {0x10000, kObliqueShear, 0, 0x10000};
            FT_Outline_Transform(&slot->outline, &shear);
        }
    }
    glyph.advance = static_cast<int32_t>((slot->advance.x + embolden_ + 32) >> 6);
    if (FT_Render_Glyph(slot, mono_ ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0) {
        const FT_Bitmap& bitmap = slot->bitmap;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int32_t>(bitmap.width);
        glyph.rows = static_cast<int32_t>(bitmap.rows);
        glyph.coverage.resize(size_t(glyph.width) * size_t(glyph.rows));
        for (int32_t y = 0; y < glyph.rows; ++y) {
            const uint8_t* row = bitmap.buffer + ptrdiff_t{y} * bitmap.pitch;
            uint8_t* out = glyph.coverage.data() + size_t(y) * size_t(glyph.width);
            for (int32_t x = 0; x < glyph.width; ++x)
                out[x] = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                             ? ((row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0)
                             : row[x];
        }
    }
    return glyphs_.emplace(c, std::move(glyph)).first->second;
}

struct Clip {
    int64_t left, top, right, bottom;
};

// Partly covered pixels are blended as light adds up, through a gamma of
// 2.3 on the 8-bit levels, as the platform's text drawing does: white text
// on black gives levels of coverage^(1/2.3), which Write Text turns back
// into opacity with its own exponent.
struct GammaTables {
    static constexpr uint32_t kSteps = 65535;
    float decode[256];
    uint8_t encode[kSteps + 1];
    GammaTables() {
        for (int v = 0; v < 256; ++v)
            decode[v] = static_cast<float>(std::pow(v / 255.0, 2.3));
        for (uint32_t i = 0; i <= kSteps; ++i)
            encode[i] =
                static_cast<uint8_t>(std::lround(255 * std::pow(double(i) / kSteps, 1 / 2.3)));
    }
};

const GammaTables& Gamma() {
    static const GammaTables tables;
    return tables;
}

void BlendSpan(uint8_t* p, const uint8_t* coverage, int64_t count, const uint8_t color[3]) {
    const GammaTables& g = Gamma();
    for (int64_t i = 0; i < count; ++i, p += 3) {
        const uint32_t k = coverage ? coverage[i] : 255;
        if (k == 0) continue;
        if (k == 255) {
            p[0] = color[0], p[1] = color[1], p[2] = color[2];
            continue;
        }
        const float a = k * (1.0f / 255);
        for (int ch = 0; ch < 3; ++ch) {
            const float light = a * g.decode[color[ch]] + (1 - a) * g.decode[p[ch]];
            p[ch] = g.encode[static_cast<uint32_t>(light * GammaTables::kSteps + 0.5f)];
        }
    }
}

void DrawGlyph(ILGdiSurface& s, const Glyph& g, int64_t penX, int64_t baseline, const Clip& clip,
               const uint8_t color[3]) {
    const int64_t x0 = penX + g.left, y0 = baseline - g.top;
    const int64_t left = std::max(x0, clip.left), right = std::min(x0 + g.width, clip.right);
    const int64_t top = std::max(y0, clip.top), bottom = std::min(y0 + g.rows, clip.bottom);
    if (left >= right) return;
    for (int64_t y = top; y < bottom; ++y)
        BlendSpan(s.bits + y * s.stride + left * 3,
                  g.coverage.data() + (y - y0) * g.width + (left - x0), right - left, color);
}

void FillBar(ILGdiSurface& s, int64_t x0, int64_t x1, int64_t y0, int64_t y1, const Clip& clip,
             const uint8_t color[3]) {
    x0 = std::max(x0, clip.left);
    x1 = std::min(x1, clip.right);
    y0 = std::max(y0, clip.top);
    y1 = std::min(y1, clip.bottom);
    if (x0 >= x1) return;
    for (int64_t y = y0; y < y1; ++y)
        BlendSpan(s.bits + y * s.stride + x0 * 3, nullptr, x1 - x0, color);
}

ILGdiObject* CreateFreeTypeFont(const ILLogFont& description) {
    auto* font = new (std::nothrow) FreeTypeFont;
    if (font && !font->Open(description)) {
        delete font;
        return nullptr;
    }
    return font;
}

bool DrawFreeTypeText(ILGdiSurface& s, ILRect* rect, std::u16string_view text,
                      uint32_t format) try {
    auto* font = dynamic_cast<FreeTypeFont*>(s.font);
    if (!font) return false;
    ILTextLayout layout;
    const int32_t lineHeight = font->ascent + font->descent;
    if (!ILLayoutText(
            *rect, text, format, lineHeight, [font](char32_t c) { return font->Advance(c); },
            &layout))
        return false;
    if (format & IL_DT_CALCRECT) {
        *rect = layout.extent;
        return true;
    }
    Clip clip = {0, 0, s.width, s.height};
    if (!(format & IL_DT_NOCLIP)) {
        clip.left = std::max<int64_t>(clip.left, rect->left);
        clip.top = std::max<int64_t>(clip.top, rect->top);
        clip.right = std::min<int64_t>(clip.right, rect->right);
        clip.bottom = std::min<int64_t>(clip.bottom, rect->bottom);
    }
    const uint32_t ref = s.dc->textColor; // 0x00BBGGRR
    const uint8_t color[3] = {static_cast<uint8_t>(ref >> 16), static_cast<uint8_t>(ref >> 8),
                              static_cast<uint8_t>(ref)};
    for (const ILTextLine& line : layout.lines) {
        const int64_t baseline = int64_t{line.y} + font->ascent;
        if (baseline - font->ascent >= clip.bottom || baseline + font->descent <= clip.top)
            continue;
        int64_t pen = line.x;
        for (const ILTextCell& cell : line.cells) {
            const Glyph& g = font->GlyphOf(cell.c);
            DrawGlyph(s, g, pen, baseline, clip, color);
            if (cell.underline)
                FillBar(s, pen, pen + g.advance, baseline + font->underlineOffset,
                        baseline + font->underlineOffset + font->underlineThickness, clip, color);
            pen += g.advance;
        }
        if (font->underline)
            FillBar(s, line.x, pen, baseline + font->underlineOffset,
                    baseline + font->underlineOffset + font->underlineThickness, clip, color);
        if (font->strikeOut)
            FillBar(s, line.x, pen, baseline - font->strikeOffset,
                    baseline - font->strikeOffset + font->strikeThickness, clip, color);
    }
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

constexpr ILTextRasterizer kFreeType = {CreateFreeTypeFont, DrawFreeTypeText};

} // namespace

const ILTextRasterizer& ILBuiltinTextRasterizer() {
    return kFreeType;
}
