// What the PNG loader and saver expose beside their format-table entries:
// libpng's error and warning functions for the loader, the reading of the
// colour chunks, the gamma-corrected palette and the text writer.
#pragma once

#include <cstdint>

#include <lcms2.h>
#include <png.h>

#include "imglib/color.h"
#include "imglib/handle.h"
#include "imglib/metadata/info.h"

inline constexpr char kPngModule[] = "PNG";

// libpng's error function for the loader: reports the text on the handle
// attached as libpng's error pointer, then jumps back to the recovery point
// itself, so that libpng prints nothing.
[[noreturn]] void ILPngErrorHandler(png_structp png, png_const_charp text);
// libpng's warning function for the loader: reports the text as a warning.
void ILPngWarningHandler(png_structp png, png_const_charp text);

// Translates the colour chunks (iCCP, sRGB, gAMA, cHRM, first that applies)
// into a gamma kind (IL_GAMMA_*), the gamma to store in the info record and,
// for kinds 2 to 6, a profile the caller closes. grey: the file is grey, so
// chromaticities build no profile.
cmsHPROFILE ILPngReadColorInfo(png_structp png, png_infop info, uint8_t* gammaKind, double* gamma,
                               bool grey);

// Fills up to n entries of the palette from PLTE (with tRNS alphas), each
// colour corrected by the exponent gamma / 2.2. False without a PLTE.
bool ILPngBuildPalette(png_structp png, png_infop info, ILPalette* palette, uint32_t n,
                       double gamma);

// Adds the info's text under the key, if any, as one compressed text.
void ILPngAddText(png_structp png, png_infop pngInfo, const ILInfo* info, ILTextKey key);
