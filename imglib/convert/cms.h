// Colour management on lcms2: the library's formatter plug-in (half, 24-bit
// float, float and signed Lab rows) and the four built-in profiles.
#pragma once

#include <cstdint>
#include <lcms2.h>
#include <lcms2_plugin.h>

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
