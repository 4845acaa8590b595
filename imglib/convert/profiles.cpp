// The four built-in ICC profiles that colour-managed conversions target and
// savers embed, and the tone curves they are made of.
#include "imglib/convert/cms.h"
#include "imglib/lazy_setup.h"

cmsHPROFILE ILProfileSRGB = nullptr;
cmsHPROFILE ILProfileSGray = nullptr;
cmsHPROFILE ILProfileScRGB = nullptr;
cmsHPROFILE ILProfileScGray = nullptr;

namespace {

ILLazySetUp g_colorManagement;
cmsHPROFILE* const kProfileSlots[] = {&ILProfileSRGB, &ILProfileSGray, &ILProfileScRGB,
                                      &ILProfileScGray};

// Profiles close before the plug-in goes: lcms2 leaks memory for each
// profile still open when plug-ins are unregistered. The slots are emptied
// so that nobody reads a closed profile.
void CloseProfilesAndPlugin() {
    for (cmsHPROFILE* slot : kProfileSlots) {
        if (*slot) cmsCloseProfile(*slot);
        *slot = nullptr;
    }
    ILUnregisterLcmsPlugin();
}

constexpr cmsCIExyYTRIPLE kSrgbPrimaries = {
    {0.64, 0.33, 1.0},
    {0.30, 0.60, 1.0},
    {0.15, 0.06, 1.0},
};

// Writes one English text into a tag as multi-localised Unicode.
bool WriteText(cmsHPROFILE profile, cmsTagSignature tag, const char* text) {
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    if (!mlu) return false;
    const bool ok = cmsMLUsetASCII(mlu, "en", "US", text) && cmsWriteTag(profile, tag, mlu);
    cmsMLUfree(mlu);
    return ok;
}

// Names a freshly made profile; null (and the profile closed) on failure.
cmsHPROFILE Describe(cmsHPROFILE profile, const char* name) {
    if (!profile) return nullptr;
    if (!WriteText(profile, cmsSigProfileDescriptionTag, name) ||
        !WriteText(profile, cmsSigCopyrightTag, "No copyright, use freely")) {
        cmsCloseProfile(profile);
        return nullptr;
    }
    return profile;
}

// The profile copies its curves, so ours is freed straight away.
cmsHPROFILE CreateRgb(const cmsCIExyY& white, cmsToneCurve* curve, const char* name) {
    if (!curve) return nullptr;
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &kSrgbPrimaries, curves);
    cmsFreeToneCurve(curve);
    return Describe(profile, name);
}

cmsHPROFILE CreateGray(cmsToneCurve* curve, const char* name) {
    cmsCIExyY white;
    if (!curve) return nullptr;
    cmsHPROFILE profile =
        cmsWhitePointFromTemp(&white, 6504.0) ? cmsCreateGrayProfile(&white, curve) : nullptr;
    cmsFreeToneCurve(curve);
    return Describe(profile, name);
}

} // namespace

cmsToneCurve* ILBuildSrgbToneCurve() {
    // Y = (X / 1.055 + 0.055 / 1.055)^2.4 from X = 0.04045 up, X / 12.92 below.
    const cmsFloat64Number parameters[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    return cmsBuildParametricToneCurve(nullptr, 4, parameters);
}

cmsToneCurve* ILBuildLinearToneCurve() {
    return cmsBuildGamma(nullptr, 1.0);
}

cmsHPROFILE ILCreateSRgbProfile() {
    return CreateRgb({0.3127, 0.3290, 1.0}, ILBuildSrgbToneCurve(), "sRGB");
}

cmsHPROFILE ILCreateSGrayProfile() {
    return CreateGray(ILBuildSrgbToneCurve(), "sGRAY");
}

cmsHPROFILE ILCreateScRgbProfile() {
    cmsCIExyY white;
    if (!cmsWhitePointFromTemp(&white, 6504.0)) return nullptr;
    return CreateRgb(white, ILBuildLinearToneCurve(), "scRGB (gamma 1.0)");
}

cmsHPROFILE ILCreateScGrayProfile() {
    return CreateGray(ILBuildLinearToneCurve(), "scGRAY (gamma 1.0)");
}

bool ILUseColorManagement() {
    return ILEnsureSetUp(&g_colorManagement, [] {
        ILProfileSRGB = ILCreateSRgbProfile();
        ILProfileSGray = ILCreateSGrayProfile();
        ILProfileScRGB = ILCreateScRgbProfile();
        ILProfileScGray = ILCreateScGrayProfile();
        const bool profiles = ILProfileSRGB && ILProfileSGray && ILProfileScRGB && ILProfileScGray;
        if (ILRegisterLcmsPlugin() && profiles) return true;
        CloseProfilesAndPlugin();
        return false;
    });
}

void ILEndColorManagement() {
    ILUndoSetUp(&g_colorManagement, CloseProfilesAndPlugin);
}
