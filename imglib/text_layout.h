// Laying out a block of text for the surface's built-in rasteriser: lines
// broken at CR, LF and CR LF, the "&" prefix, end ellipses, right-to-left
// runs put in display order, and each line placed by the alignment.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "imglib/surface.h"

struct ILTextCell {
    char32_t c;
    bool underline; // marked by a "&" prefix
};

struct ILTextLine {
    std::vector<ILTextCell> cells; // in display order, left to right
    int32_t x, y;                  // left end and top of the line
    int32_t width;
};

struct ILTextLayout {
    std::vector<ILTextLine> lines;
    ILRect extent; // what measuring answers
};

// UTF-16 to code points; a lone surrogate becomes U+FFFD.
std::u32string ILDecodeUtf16(std::u16string_view text);

// Puts one line's cells in display order: characters of right-to-left
// scripts run right to left, neutrals take the direction around them, and
// the line reads right to left when rtl is set. Brackets in right-to-left
// runs are mirrored.
void ILOrderForDisplay(std::vector<ILTextCell>& cells, bool rtl);

// Lays out the text in the rectangle with the format's alignment, prefix,
// ellipsis and reading order; advance gives a character's width in pixels.
// False when out of memory.
bool ILLayoutText(const ILRect& rect, std::u16string_view text, uint32_t format, int32_t lineHeight,
                  const std::function<int32_t(char32_t)>& advance, ILTextLayout* layout);
