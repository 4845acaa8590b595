// One handle for a whole test suite: while a handle lives, what the library
// sets up on first need (profiles, the lcms2 plug-in) stays in place.
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
