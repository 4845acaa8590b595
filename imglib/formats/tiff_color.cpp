// The TIFF loader's colour and palette helpers: the colour profile from the
// ICC tag or the chromaticity tags, the grey table of HalftoneHints, the
// colour map, resolution and extra samples.
#include <algorithm>
#include <cmath>

#include "imglib/formats/tiff.h"

namespace {

// The transfer curves of the file (or libtiff's default, the 2.2 power) as
// tone curves; for samples deeper than 16 bits, which carry linear light,
// identity curves.
bool BuildCurves(TIFF* tif, cmsToneCurve* curves[3]) {
    uint16_t bits = 8;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    const uint16_t* tables[3] = {};
    if (bits <= 16 &&
        TIFFGetFieldDefaulted(tif, TIFFTAG_TRANSFERFUNCTION, &tables[0], &tables[1], &tables[2])) {
        const uint32_t n = 1u << bits;
        for (int i = 0; i < 3; ++i) {
            const uint16_t* t = tables[i] ? tables[i] : tables[0];
            curves[i] = t ? cmsBuildTabulatedToneCurve16(nullptr, n, t) : nullptr;
        }
    } else {
        for (int i = 0; i < 3; ++i)
            curves[i] = cmsBuildGamma(nullptr, 1.0);
    }
    return curves[0] && curves[1] && curves[2];
}

cmsHPROFILE FromChromaticities(ILHandle* h, TIFF* tif, uint8_t* gammaKind) {
    const float* primaries = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_PRIMARYCHROMATICITIES, &primaries) || !primaries) return nullptr;
    // red x, y, green x, y, blue x, y
    if (!(primaries[2] > 0 && primaries[3] > 0 && primaries[0] > primaries[4])) {
        ILWarning(h, "Invalid color primaries, tag ignored");
        return nullptr;
    }
    const float* white = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_WHITEPOINT, &white) || !white) {
        ILWarning(h, "Missing whitepoint tag, color primaries ignored");
        return nullptr;
    }
    if (!(white[0] > 0.01f && white[1] > 0.01f)) {
        ILWarning(h, "Invalid whitepoint, tag ignored");
        return nullptr;
    }
    cmsToneCurve* curves[3] = {};
    cmsHPROFILE profile = nullptr;
    if (BuildCurves(tif, curves)) {
        const cmsCIExyY whitePoint{white[0], white[1], 1.0};
        const cmsCIExyYTRIPLE triple{{primaries[0], primaries[1], 1.0},
                                     {primaries[2], primaries[3], 1.0},
                                     {primaries[4], primaries[5], 1.0}};
        profile = cmsCreateRGBProfile(&whitePoint, &triple, curves);
    }
    for (cmsToneCurve* curve : curves)
        if (curve) cmsFreeToneCurve(curve);
    if (!profile) {
        ILWarning(h, "Invalid chromaticity values, tags ignored");
        return nullptr;
    }
    *gammaKind = ILProfileIsSRGB(profile) ? IL_GAMMA_CHROMATICITIES_SRGB : IL_GAMMA_CHROMATICITIES;
    return profile;
}

} // namespace

bool ILTiffGetArray(TIFF* tif, uint32_t tag, uint32_t* count, const void** data) {
    const TIFFField* field = TIFFFindField(tif, tag, TIFF_ANY);
    if (!field || !TIFFFieldPassCount(field)) return false;
    void* values = nullptr;
    if (TIFFFieldSetGetCountSize(field) == 4) {
        uint32_t n = 0;
        if (!TIFFGetField(tif, tag, &n, &values)) return false;
        *count = n;
    } else {
        uint16_t n = 0;
        if (!TIFFGetField(tif, tag, &n, &values)) return false;
        *count = n;
    }
    *data = values;
    return values && *count > 0;
}

cmsHPROFILE ILTiffReadColorInfo(ILHandle* h, TIFF* tif, bool colour, uint8_t* gammaKind) {
    *gammaKind = 0;
    uint32_t size = 0;
    const void* icc = nullptr;
    if (ILTiffGetArray(tif, TIFFTAG_ICCPROFILE, &size, &icc)) {
        if (cmsHPROFILE profile = cmsOpenProfileFromMem(icc, size)) {
            *gammaKind = ILProfileIsSRGB(profile) ? IL_GAMMA_ICC_SRGB : IL_GAMMA_ICC;
            return profile;
        }
        ILWarning(h, "Invalid ICC profile - tag ignored");
    }
    // Chromaticities describe colour channels; a grey file has none.
    return colour ? FromChromaticities(h, tif, gammaKind) : nullptr;
}

int32_t ILTiffResolutionToPpi(uint16_t unit, float resolution) {
    double ppi;
    if (unit == RESUNIT_INCH)
        ppi = resolution + 0.4999;
    else if (unit == RESUNIT_CENTIMETER)
        ppi = resolution * 2.5399999999998375 + 0.4999;
    else
        return 0;
    // Values no int32 holds (and NaN) say nothing usable.
    if (!(ppi >= 0 && ppi < 2147483647.0)) return 0;
    return static_cast<int32_t>(ppi);
}

void ILTiffCheckExtraSamples(ILHandle* h, uint16_t photometric, uint16_t samplesPerPixel,
                             int32_t* colorChannels, int32_t* extraSamples) {
    const bool grey = photometric == PHOTOMETRIC_MINISWHITE ||
                      photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MASK;
    if (grey && *colorChannels != 1) {
        *extraSamples = samplesPerPixel - 1;
        *colorChannels = 1;
        ILWarningF(h, "%d undefined extra channel(s) found", *extraSamples);
    } else if (photometric == PHOTOMETRIC_RGB && *colorChannels != 3 && samplesPerPixel >= 3) {
        *extraSamples = samplesPerPixel - 3;
        *colorChannels = 3;
        ILWarningF(h, "%d undefined extra channel(s) in RGB image found", *extraSamples);
    }
}

uint8_t* ILTiffBuildGreyTable(ILHandle* h, int32_t low, int32_t high, bool invert) {
    auto* table = static_cast<uint8_t*>(ILAlloc(h, 256));
    if (!table) return nullptr;
    if (high < 0 || high > 255) high = 255;
    if (low < 0 || low > 255) low = 0;
    if (low > high) std::swap(low, high);
    if (low == high) {
        low = 0;
        high = 255;
    }
    for (int32_t v = 0; v < 256; ++v) {
        uint8_t value;
        if (v <= low)
            value = 0;
        else if (v >= high)
            value = 255;
        else
            value = static_cast<uint8_t>(
                static_cast<int32_t>(static_cast<float>(v - low) * 255.0f / (high - low) + 0.5f));
        table[invert ? 255 - v : v] = value;
    }
    return table;
}

bool ILTiffReadColormap(TIFF* tif, ILPalette* palette, uint32_t n) {
    const uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
        return false;
    if (n > 256 || n > palette->count) return true;
    // Some writers store 8-bit values; the file's readers widen them, and so
    // does the library rather than show a nearly black picture.
    bool eightBit = true;
    for (uint32_t i = 0; i < n && eightBit; ++i)
        eightBit = red[i] < 256 && green[i] < 256 && blue[i] < 256;
    const uint16_t scale = eightBit ? 257 : 1;
    for (uint32_t i = 0; i < n; ++i)
        palette->SetEntry16(i, static_cast<uint16_t>(blue[i] * scale),
                            static_cast<uint16_t>(green[i] * scale),
                            static_cast<uint16_t>(red[i] * scale), 65535);
    return true;
}
