// One handle for a whole test suite: while a handle lives, the library's
// shared tables (sRGB, YCbCr, profiles, the lcms2 plug-in) stay in place.
#pragma once

#include <gtest/gtest.h>

#include "imglib/handle.h"

class SuiteHandleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { handle_ = ILCreateHandle("convert test"); }
    static void TearDownTestSuite() { ILDestroyHandle(handle_); }
    void SetUp() override { ASSERT_NE(handle_, nullptr); }

    static inline ILHandle* handle_ = nullptr;
};
