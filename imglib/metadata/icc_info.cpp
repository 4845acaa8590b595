// Embedded colour profiles: the summary loaders store, the sRGB test that
// chooses their gamma kind, and serialising the built-in profiles for savers.
#include <cmath>
#include <cstdlib>

#include "imglib/convert/cms.h"
#include "imglib/image.h"
#include "imglib/metadata/info.h"

namespace {

// One ASCII text of the profile in en_US, or null when it has none.
char* ReadProfileText(cmsHPROFILE profile, cmsInfoType which) {
    cmsUInt32Number size = cmsGetProfileInfoASCII(profile, which, "en", "US", nullptr, 0);
    if (size == 0) return nullptr;
    char* text = static_cast<char*>(std::malloc(size + 1));
    if (!text) return nullptr;
    cmsGetProfileInfoASCII(profile, which, "en", "US", text, size);
    text[size] = 0;
    return text;
}

struct Chromaticity {
    cmsTagSignature tag;
    double x, y;
};

// sRGB's D65 white and its primaries adapted to D50, as profiles store them.
constexpr Chromaticity kSrgb[] = {
    {cmsSigMediaWhitePointTag, 0.31271, 0.32902},
    {cmsSigRedColorantTag, 0.648431, 0.330856},
    {cmsSigGreenColorantTag, 0.321152, 0.597871},
    {cmsSigBlueColorantTag, 0.155886, 0.066044},
};
constexpr double kSrgbTolerance = 2.5e-4;
// Version 4 profiles store D50 as the media white point whatever the
// display's white, so the white tells nothing there.
constexpr Chromaticity kD50White = {cmsSigMediaWhitePointTag, 0.345703, 0.358539};

bool ChromaticityIs(const cmsCIExyY& xyY, const Chromaticity& ref) {
    return ILNearlyEqual(xyY.x, ref.x, kSrgbTolerance) &&
           ILNearlyEqual(xyY.y, ref.y, kSrgbTolerance);
}

} // namespace

void ILReadIccInfo(ILIccInfo* icc, cmsHPROFILE profile) {
    if (!icc) return;
    ILFreeIccInfo(icc);
    icc->colorSpace = 0;
    if (!profile) return;
    icc->present = 1;
    icc->colorSpace = cmsGetColorSpace(profile);
    icc->description = ReadProfileText(profile, cmsInfoDescription);
    icc->manufacturer = ReadProfileText(profile, cmsInfoManufacturer);
    icc->model = ReadProfileText(profile, cmsInfoModel);
    icc->copyright = ReadProfileText(profile, cmsInfoCopyright);
}

void ILFreeIccInfo(ILIccInfo* icc) {
    if (!icc || !icc->present) return;
    for (char** text : {&icc->description, &icc->manufacturer, &icc->model, &icc->copyright}) {
        std::free(*text);
        *text = nullptr;
    }
    icc->present = 0;
}

bool ILNearlyEqual(double a, double b, double tolerance) {
    return std::fabs(a - b) < tolerance;
}

bool ILIsSRGBProfile(cmsHPROFILE profile) {
    if (!profile || cmsGetColorSpace(profile) != cmsSigRgbData) return false;
    for (const Chromaticity& ref : kSrgb) {
        auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, ref.tag));
        if (!xyz) return false;
        cmsCIExyY xyY;
        cmsXYZ2xyY(&xyY, xyz);
        bool v4White = ref.tag == cmsSigMediaWhitePointTag &&
                       cmsGetProfileVersion(profile) >= 4.0 && ChromaticityIs(xyY, kD50White);
        if (!v4White && !ChromaticityIs(xyY, ref)) return false;
    }
    return true;
}

bool ILProfileIsSRGB(cmsHPROFILE profile) {
    return profile && ILIsSRGBProfile(profile);
}

// The profile carries the transfer curve itself; the gamma field stays neutral.
double ILIccGamma(cmsHPROFILE) {
    return 1.0;
}

uint32_t ILSaveBuiltinProfile(ILPixelType type, uint8_t** out) {
    if (!out) return 0;
    *out = nullptr;
    uint32_t model = type & IL_MODEL_MASK;
    bool linear = (type & IL_KIND_MASK) >= IL_KIND_HALF;
    if (!ILUseColorManagement()) return 0;
    cmsHPROFILE profile = model <= IL_MODEL_GRAY ? (linear ? ILProfileScGray : ILProfileSGray)
                                                 : (linear ? ILProfileScRGB : ILProfileSRGB);
    cmsUInt32Number size = 0;
    if (!profile || !cmsSaveProfileToMem(profile, nullptr, &size) || size == 0) return 0;
    auto* buffer = static_cast<uint8_t*>(std::malloc(size));
    if (!buffer) return 0;
    if (!cmsSaveProfileToMem(profile, buffer, &size)) {
        std::free(buffer);
        return 0;
    }
    *out = buffer;
    return size;
}
