// Palette-table builders for indexed sources: each turns every entry of the
// converter's palette into one pixel of the target form, stored in the
// converter's paletteTable (allocated through ILConverterAllocPaletteTable),
// so that a row costs one table copy per pixel. False when there is no
// palette or no memory for the table.
#pragma once

#include "imglib/convert/converter.h"

bool ILBuildPaletteGrey8(ILConverter* c);      // 1 byte: grey
bool ILBuildPaletteGreyA8(ILConverter* c);     // 2 bytes: grey, alpha
bool ILBuildPaletteGrey16(ILConverter* c);     // 2 bytes
bool ILBuildPaletteGreyA16(ILConverter* c);    // 4 bytes
bool ILBuildPaletteGreyFloat(ILConverter* c);  // 4 bytes: linear luminance
bool ILBuildPaletteGreyAFloat(ILConverter* c); // 8 bytes
// 8-bit colour: 3 or 4 bytes by the target type, in its order; with alpha
// handling 2 each entry is laid over the background.
bool ILBuildPaletteColor8(ILConverter* c);
bool ILBuildPaletteBGR16(ILConverter* c);    // 6 bytes
bool ILBuildPaletteBGRA16(ILConverter* c);   // 8 bytes
bool ILBuildPaletteBGRFloat(ILConverter* c); // 12 bytes: linear B, G, R
