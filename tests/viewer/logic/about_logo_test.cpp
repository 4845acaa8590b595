#include <gtest/gtest.h>

#include "viewer/logic/about_logo.h"

namespace {

void Turn(double degrees, float r, float g, float b, float out[3]) {
    float m[9];
    HueRotationMatrix(degrees, m);
    for (int i = 0; i < 3; ++i)
        out[i] = m[3 * i] * r + m[3 * i + 1] * g + m[3 * i + 2] * b;
}

TEST(AboutLogo, HuesTurnAboutTheGreyAxis) {
    float out[3];
    Turn(120, 1, 0, 0, out); // red becomes green
    EXPECT_NEAR(out[0], 0, 1e-6);
    EXPECT_NEAR(out[1], 1, 1e-6);
    EXPECT_NEAR(out[2], 0, 1e-6);
    Turn(77, 0.3f, 0.3f, 0.3f, out); // greys stay
    for (float v : out)
        EXPECT_NEAR(v, 0.3f, 1e-6);
    Turn(0, 0.2f, 0.5f, 0.9f, out);
    EXPECT_NEAR(out[2], 0.9f, 1e-6);
}

TEST(AboutLogo, SixtyTicksMakeOneTurn) {
    int angle = 0;
    for (int i = 0; i < 59; ++i) {
        angle = NextHueAngle(angle);
        EXPECT_NE(angle, 0) << i;
    }
    EXPECT_EQ(angle, 354);
    EXPECT_EQ(NextHueAngle(angle), 0);
}

TEST(AboutLogo, TransparentPixelsShowTheFace) {
    ILColor source[kLogoPixels];
    for (ILColor& c : source) {
        c.Set(1, 0, 0);
        c.a = 0;
    }
    source[1].a = 1;
    ILColor face;
    face.SetGray(1);
    float m[9];
    HueRotationMatrix(0, m);
    uint8_t bgr[kLogoPixels * 3];
    RenderLogo(source, m, face, bgr, kLogoSize * 3);
    EXPECT_EQ(bgr[0] + bgr[1] + bgr[2], 3 * 255); // white face
    EXPECT_EQ(bgr[3], 0);                         // the opaque red pixel
    EXPECT_EQ(bgr[5], 255);
}

} // namespace
