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

// The built-in profiles; present while a handle lives.
extern cmsHPROFILE ILProfileSRGB;
extern cmsHPROFILE ILProfileSGray;
extern cmsHPROFILE ILProfileScRGB;
extern cmsHPROFILE ILProfileScGray;

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
