#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <lcms2.h>

#include "imglib/convert/profile_owner.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/metadata/info.h"

namespace {

using Profile = ILProfilePtr;

void WriteText(cmsHPROFILE profile, cmsTagSignature tag, const char* text) {
    cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(mlu, "en", "US", text);
    cmsWriteTag(profile, tag, mlu);
    cmsMLUfree(mlu);
}

// Serialised and opened again, so that only what reaches the file counts.
Profile RoundTrip(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::string bytes(size, '\0');
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    return Profile(cmsOpenProfileFromMem(bytes.data(), size));
}

// lcms2's sRGB with the red colorant's chromaticity moved by dx.
Profile ShiftedRed(double dx) {
    Profile p(cmsCreate_sRGBProfile());
    cmsCIExyY xyY;
    cmsXYZ2xyY(&xyY, static_cast<cmsCIEXYZ*>(cmsReadTag(p.get(), cmsSigRedColorantTag)));
    xyY.x += dx;
    cmsCIEXYZ xyz;
    cmsxyY2XYZ(&xyz, &xyY);
    cmsWriteTag(p.get(), cmsSigRedColorantTag, &xyz);
    return RoundTrip(p.get());
}

// A version 2 sRGB profile states the D65 white in its white point tag.
Profile Version2Srgb(const cmsCIEXYZ& white) {
    Profile p(cmsCreate_sRGBProfile());
    cmsSetProfileVersion(p.get(), 2.1);
    cmsWriteTag(p.get(), cmsSigMediaWhitePointTag, &white);
    return RoundTrip(p.get());
}

TEST(IccInfo, SummaryAndDumpOfTheTextsPresent) {
    Profile srgb(cmsCreate_sRGBProfile());
    cmsWriteTag(srgb.get(), cmsSigCopyrightTag, nullptr);
    Profile onlyDescription = RoundTrip(srgb.get());

    ILIccInfo icc;
    ILReadIccInfo(&icc, onlyDescription.get());
    EXPECT_TRUE(icc.present);
    EXPECT_EQ(icc.colorSpace, 0x52474220u); // 'RGB '
    EXPECT_STREQ(icc.description, "sRGB built-in");
    EXPECT_EQ(icc.copyright, nullptr);
    EXPECT_EQ(icc.manufacturer, nullptr);
    std::string dump;
    ILFormatIccInfo(&icc, &dump);
    EXPECT_EQ(dump, "Color Space: RGB \r\n\r\nDescription: sRGB built-in\r\n");

    Profile gray(cmsCreateGrayProfile(cmsD50_xyY(), nullptr));
    WriteText(gray.get(), cmsSigProfileDescriptionTag, "Grey");
    WriteText(gray.get(), cmsSigDeviceMfgDescTag, "Maker");
    WriteText(gray.get(), cmsSigDeviceModelDescTag, "M1");
    WriteText(gray.get(), cmsSigCopyrightTag, "(c) us");
    Profile full = RoundTrip(gray.get());
    ILReadIccInfo(&icc, full.get()); // replaces the previous summary
    dump.clear();
    ILFormatIccInfo(&icc, &dump);
    EXPECT_EQ(dump,
              "Color Space: GRAY\r\n"
              "\r\nManufacturer: Maker\r\n"
              "\r\nDescription: Grey\r\n"
              "\r\nModel: M1\r\n"
              "\r\nCopyright: (c) us\r\n");

    ILReadIccInfo(&icc, nullptr);
    EXPECT_FALSE(icc.present);
    EXPECT_EQ(icc.description, nullptr);
}

TEST(IccInfo, RecognisesSrgbWithinTolerance) {
    const cmsCIEXYZ d65 = {0.9505, 1.0, 1.0890};
    Profile missingBlue(cmsCreate_sRGBProfile());
    cmsWriteTag(missingBlue.get(), cmsSigBlueColorantTag, nullptr);
    Profile gray(cmsCreateGrayProfile(cmsD50_xyY(), nullptr));
    struct Case {
        const char* name;
        Profile profile;
        bool want;
    };
    Case cases[] = {
        {"lcms2's sRGB (version 4, D50 white tag)", Profile(cmsCreate_sRGBProfile()), true},
        {"version 2 sRGB with D65 white", Version2Srgb(d65), true},
        {"version 2 with a D50 white", Version2Srgb(*cmsD50_XYZ()), false},
        {"red x 0.00017 away", ShiftedRed(0.00017), true},
        {"red x 0.00027 away", ShiftedRed(0.00027), false},
        {"red x 0.00027 below", ShiftedRed(-0.00027), false},
        {"missing colorant", RoundTrip(missingBlue.get()), false},
        {"grey", std::move(gray), false},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.profile);
        EXPECT_EQ(ILIsSRGBProfile(c.profile.get()), c.want);
        EXPECT_EQ(ILProfileIsSRGB(c.profile.get()), c.want);
    }
    EXPECT_FALSE(ILProfileIsSRGB(nullptr));
}

TEST(IccInfo, SavesTheBuiltinProfileForThePixelType) {
    uint8_t* bytes = nullptr;
    ILHandle* handle = ILCreateHandle("test");
    ASSERT_NE(handle, nullptr);
    struct Case {
        ILPixelType type;
        cmsColorSpaceSignature space;
        bool linear;
    };
    const Case cases[] = {
        {IL_MODEL_RGB | IL_KIND_8, cmsSigRgbData, false},
        {IL_MODEL_INDEXED | IL_KIND_4, cmsSigRgbData, false},
        {IL_MODEL_RGB | IL_KIND_16 | IL_EXTRA_ALPHA, cmsSigRgbData, false},
        {IL_MODEL_RGB | IL_KIND_FLOAT, cmsSigRgbData, true},
        {IL_MODEL_GRAY | IL_KIND_16, cmsSigGrayData, false},
        {IL_MODEL_GRAY | IL_KIND_HALF, cmsSigGrayData, true},
        {IL_KIND_1, cmsSigGrayData, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        uint32_t size = ILSaveBuiltinProfile(c.type, &bytes);
        ASSERT_GT(size, 0u);
        Profile profile(cmsOpenProfileFromMem(bytes, size));
        std::free(bytes);
        ASSERT_TRUE(profile);
        EXPECT_EQ(cmsGetColorSpace(profile.get()), c.space);
        cmsTagSignature trc = c.space == cmsSigGrayData ? cmsSigGrayTRCTag : cmsSigRedTRCTag;
        auto* curve = static_cast<cmsToneCurve*>(cmsReadTag(profile.get(), trc));
        ASSERT_NE(curve, nullptr);
        EXPECT_EQ(cmsIsToneCurveLinear(curve), c.linear);
        if (c.space == cmsSigRgbData) {
            EXPECT_TRUE(ILIsSRGBProfile(profile.get()));
        }
    }
    ILDestroyHandle(handle);
}

} // namespace
