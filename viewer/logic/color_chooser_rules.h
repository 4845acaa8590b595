// The colour chooser's rules: which form a pixel type gets, the hue/value
// field, the palette grid's cells and the value texts.
#pragma once

#include <cstdint>
#include <string>

#include "imglib/color.h"
#include "imglib/pixel_type.h"

enum ChooserMode : int32_t { CHOOSER_GRAY = 1, CHOOSER_GRID = 2, CHOOSER_COLOR = 3 };

struct ChooserForm {
    ChooserMode mode = CHOOSER_COLOR;
    uint32_t extraChannel = 0; // the type's extra-channel bits; 0 for an indexed grid
    int32_t cellCount = 65536; // grid cells, or 65536 for the grey ramp
    bool eightBit = false;
    bool grayRamp = false; // deeper grey: the 65536-step ramp
};

ChooserForm ChooserFormOf(ILPixelType type);
bool ChooserHasAlpha(const ChooserForm& form);
// Grid cells: the palette entries drawn and picked in the 256 x 256 field.
bool ChooserShowsGrid(const ChooserForm& form);

inline constexpr int kSliderScale = 10000;
// A colour component as a slider value: component x 10000, NaN-safe and
// clamped to 0..10000.
int32_t ComponentToSlider(float component);

// The linear colour of pixel (x, y) of the hue/value field, x and y 0..255.
void HueValueColor(int x, int y, ILColor* color);

struct GridShape {
    int columns;
    int rows;
    int cellWidth;
    int cellHeight;
};
GridShape GridShapeOf(int32_t cellCount);
// The cell under (x, y) inside the field (0..255 each), clamped to the grid.
int32_t GridCellAt(int32_t cellCount, int x, int y);

// "r, g, b" of the 8-bit sRGB encoding and "r, g, b" of the linear values
// (grey: " v" and " v"), each padded with blanks to 27 characters.
std::string ChooserSrgbText(const ILColor& color, bool gray);
std::string ChooserLinearText(const ILColor& color, bool gray);
