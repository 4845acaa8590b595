// Colour management on lcms2: the library's formatter plug-in (half, 24-bit
// float, float and signed Lab rows) and the four built-in profiles.
#pragma once

#include <cstdint>
#include <lcms2.h>
#include <lcms2_plugin.h>

// Byte codes of the float rows in lcms2 formats (BYTES_SH) that the
// formatter plug-in reads and writes: 24-bit float and half are the
// library's own, float is lcms2's.
enum : uint32_t {
    IL_LCMS_BYTES_FLOAT24 = 3,
    IL_LCMS_BYTES_FLOAT = 4,
    IL_LCMS_BYTES_HALF = 5,
};

// The built-in profiles: empty until ILUseColorManagement succeeds, and
// again once the last handle is destroyed.
extern cmsHPROFILE ILProfileSRGB;
extern cmsHPROFILE ILProfileSGray;
extern cmsHPROFILE ILProfileScRGB;
extern cmsHPROFILE ILProfileScGray;

// Builds the four built-in profiles and registers the formatter plug-in
// unless that is done; true when all are in place. Call it before reading a
// profile slot or making a transform: several threads may call it at once.
bool ILUseColorManagement();
// Closes the profiles and unregisters the plug-in if they were set up; the
// last handle calls it, when nobody can be using them.
void ILEndColorManagement();

bool ILRegisterLcmsPlugin();
void ILUnregisterLcmsPlugin();

cmsHPROFILE ILCreateSRgbProfile();
cmsHPROFILE ILCreateSGrayProfile();
cmsHPROFILE ILCreateScRgbProfile();
cmsHPROFILE ILCreateScGrayProfile();
cmsToneCurve* ILBuildSrgbToneCurve();
cmsToneCurve* ILBuildLinearToneCurve();

cmsFormatter ILLcmsFormatterFactory(cmsUInt32Number format, cmsFormatterDirection direction,
                                    cmsUInt32Number flags);
