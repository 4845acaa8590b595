// Operations that split large images into bands of rows across the work
// pool give the same bytes on one thread as on all.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "imglib/convert/suite_handle.h"
#include "imglib/ops/color_ops.h"
#include "imglib/ops/gauss.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/pixel_rows.h"
#include "imglib/ops/ops_support.h"
#include "imglib/ops/projection.h"
#include "imglib/ops/resample.h"
#include "imglib/ops/row_split.h"
#include "workpool/work_pool.h"

namespace {

using vxtest::Image;

class RowSplit : public SuiteHandleTest {
protected:
    void TearDown() override { workpool::SetThreadLimit(0); }
};

ILResult Rotate(ILHandle* h, ILImage* image, uint8_t oversampling) {
    ILAffineParams p{};
    p.angle = 30;
    p.scaleX = p.scaleY = 1;
    p.background = ILColor{.r = 0.2f, .g = 0.4f, .b = 0.6f, .a = 1, .index = -1};
    p.oversampling = oversampling;
    p.fitCanvas = 1;
    return ILAffineTransform(h, image, nullptr, &p);
}

ILResult Project(ILHandle* h, ILImage* image, double angleX, double angleY, double angleZ,
                 uint32_t size) {
    ILProjectionParams p{};
    p.angleX = angleX, p.angleY = angleY, p.angleZ = angleZ;
    p.oversampling = 1;
    p.targetProjection = 2;
    Image target(size, size, image->type);
    const ILResult r = ILProjectImage(h, image, &target, &p);
    ILClearImage(image);
    *static_cast<ILImage*>(image) = target;
    ILInitImage(&target);
    return r;
}

ILResult Gauss(ILHandle* h, ILImage* image, int32_t operation, int32_t radius, float gain,
               bool inPlace) {
    ILGaussParams p;
    ILGaussParamsInit(&p, operation, 0.8f, radius, gain);
    if (inPlace) return ILGaussFilterInPlace(&p, h, image);
    Image target(image->width, image->height, image->type);
    const ILResult r = ILGaussFilter(&p, h, image, &target);
    std::swap(static_cast<ILImage&>(*image), static_cast<ILImage&>(target));
    return r;
}

ILResult Resize(ILHandle* h, ILImage* image, int32_t width, int32_t height, uint8_t filter) {
    return ILResampleImage(h, image, width, height, filter);
}

TEST_F(RowSplit, OperationsGiveTheSameBytesOnOneThreadAsOnAll) {
    ILColorFilterParams filter;
    ILColorFilterInit(&filter, 90, 40, 270, 30);
    ILToneMap map;
    ILToneMapInit(&map);
    ILToneMapSetExposure(&map, 1.2f, false);
    ILToneMapSetExponent(&map, 1.5f, false);
    ILToneMapSetHue(&map, 20, false);
    ILToneMapUpdate(&map);
    struct Case {
        const char* name;
        ILPixelType type;
        std::function<ILResult(ILHandle*, ILImage*)> op;
    };
    const Case cases[] = {
        {"rotate, interpolated", IL_BGR8, [](ILHandle* h, ILImage* i) { return Rotate(h, i, 1); }},
        {"rotate, supersampled", IL_BGRA8, [](ILHandle* h, ILImage* i) { return Rotate(h, i, 3); }},
        {"rotate, nearest", IL_BGR8, [](ILHandle* h, ILImage* i) { return Rotate(h, i, 0); }},
        {"rotate, 16 bits", IL_RGB16, [](ILHandle* h, ILImage* i) { return Rotate(h, i, 1); }},
        {"projection", IL_BGR8,
         [](ILHandle* h, ILImage* i) { return Project(h, i, 10, 20, 30, 640); }},
        // Pairs of rows of the mirrored map (large enough to be split).
        {"projection, no turn", IL_BGRA8,
         [](ILHandle* h, ILImage* i) { return Project(h, i, 0, 0, 0, 900); }},
        {"colour filter", IL_BGR8,
         [&](ILHandle* h, ILImage* i) { return ILColorFilterInPlace(&filter, h, i); }},
        {"colour filter, float", IL_RGB_FLOAT,
         [&](ILHandle* h, ILImage* i) { return ILColorFilterInPlace(&filter, h, i); }},
        {"tone map", IL_BGR8,
         [&](ILHandle* h, ILImage* i) { return ILToneMapApplyInPlace(&map, h, i); }},
        {"tone map, float", IL_RGB_FLOAT,
         [&](ILHandle* h, ILImage* i) { return ILToneMapApplyInPlace(&map, h, i); }},
        // Radii below, about and beyond a band's height; in place the bands
        // read their neighbours' rows from a copy.
        {"blur, in place", IL_BGR8,
         [](ILHandle* h, ILImage* i) { return Gauss(h, i, 2, 3, 0, true); }},
        {"blur, radius 40, in place", IL_BGR8,
         [](ILHandle* h, ILImage* i) { return Gauss(h, i, 2, 40, 0, true); }},
        {"blur, radius 300, in place", IL_GREY8,
         [](ILHandle* h, ILImage* i) { return Gauss(h, i, 2, 300, 0, true); }},
        {"sharpen with a gain, alpha", IL_BGRA8,
         [](ILHandle* h, ILImage* i) { return Gauss(h, i, 1, 7, 0.5f, true); }},
        {"bloom, float, to a target", IL_RGB_FLOAT,
         [](ILHandle* h, ILImage* i) { return Gauss(h, i, 3, 12, 0.3f, false); }},
        // Bands of target rows whose rings start at their first row's taps.
        {"resize, lanczos, down", IL_BGR8,
         [](ILHandle* h, ILImage* i) { return Resize(h, i, 333, 201, 5); }},
        {"resize, cubic, up, alpha", IL_BGRA8,
         [](ILHandle* h, ILImage* i) { return Resize(h, i, 1100, 900, 4); }},
        {"resize, 16 bits, grey", IL_GREY16,
         [](ILHandle* h, ILImage* i) { return Resize(h, i, 650, 1300, 3); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> results[2];
        for (unsigned limit : {1u, 0u}) {
            workpool::SetThreadLimit(limit);
            Image image(700, 500, c.type);
            if (image.bits == 8)
                vxtest::FillPhoto(&image, 7);
            else
                vxtest::FillSeeded(&image, 7);
            ASSERT_EQ(c.op(handle_, &image), IL_OK);
            results[limit == 0] = vxtest::Packed(image);
        }
        EXPECT_TRUE(results[0] == results[1]);
    }
}

// Bands on pool threads wait until the progress procedure has cancelled:
// no band starts after that, and the procedure only ever runs on the
// caller's thread.
TEST_F(RowSplit, ProgressRunsOnTheCallersThreadAndCancelsTheBandsNotStarted) {
    struct State {
        std::thread::id caller = std::this_thread::get_id();
        std::atomic<bool> cancelled{false};
        bool onCaller = true;
    } state;
    ILSetProgressProc(
        handle_,
        [](uint32_t, uint32_t, void* user) {
            auto* s = static_cast<State*>(user);
            s->onCaller = s->onCaller && std::this_thread::get_id() == s->caller;
            s->cancelled = true;
            return false;
        },
        &state);
    std::atomic<uint32_t> rows{0};
    const ILRowPlan plan = ILPlanRows(10000, 10000);
    EXPECT_EQ(ILSplitRows(handle_, 10000, plan, ILProgressAt::kRowEnd,
                          [&](unsigned slot, uint32_t first, uint32_t end) {
                              while (slot != 0 && !state.cancelled)
                                  std::this_thread::yield();
                              rows += end - first;
                          }),
              IL_CANCELLED);
    ILSetProgressProc(handle_, nullptr, nullptr);
    EXPECT_TRUE(state.onCaller);
    EXPECT_GE(rows, 1u);
    EXPECT_LT(rows, 10000u / 2);
}

// A cancel from the progress procedure stops the long bands of the filters
// between rows, on every thread: a Gauss band is a quarter of the image on
// two threads, and a target row of an oversampled projection or a large
// resize is slow. The procedure says stop at its third call (the caller
// then has two rows behind it); the rows written, of a constant source into
// a zeroed target, are few.
TEST_F(RowSplit, ACancelStopsTheBandsBetweenRows) {
    workpool::SetThreadLimit(2);
    if (workpool::ThreadCount() < 2) GTEST_SKIP() << "one processor";
    int calls = 0;
    ILSetProgressProc(
        handle_, [](uint32_t, uint32_t, void* user) { return ++*static_cast<int*>(user) < 3; },
        &calls);
    struct Case {
        const char* name;
        uint32_t sourceWidth, sourceHeight;
        std::function<ILResult(ILHandle*, ILImage*, ILImage*)> op;
    };
    const Case cases[] = {
        {"blur, radius 60", 2000, 2000,
         [](ILHandle* h, ILImage* source, ILImage* target) {
             ILGaussParams p;
             ILGaussParamsInit(&p, 2, 1.0f, 60, 0);
             return ILGaussFilter(&p, h, source, target);
         }},
        {"resize, blackman, up", 500, 500,
         [](ILHandle* h, ILImage* source, ILImage* target) {
             return ILResampleInto(h, source, target, 6);
         }},
        {"projection, 8 x 8", 2000, 1000,
         [](ILHandle* h, ILImage* source, ILImage* target) {
             ILProjectionParams p{};
             p.oversampling = 8;
             p.targetProjection = 1;
             p.width = 2000, p.height = 2000;
             return ILProjectImage(h, source, target, &p);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        calls = 0;
        Image source(c.sourceWidth, c.sourceHeight, IL_BGR8);
        std::memset(source.data, 200, static_cast<size_t>(source.stride) * source.height);
        Image target(2000, 2000, IL_BGR8);
        std::memset(target.data, 0, static_cast<size_t>(target.stride) * target.height);
        EXPECT_EQ(c.op(handle_, &source, &target), IL_CANCELLED);
        uint32_t written = 0;
        for (uint32_t y = 0; y < target.height; ++y) {
            const uint8_t* row = ILRowOf(&target, y);
            written += std::any_of(row, row + target.width * 3, [](uint8_t v) { return v != 0; });
        }
        EXPECT_LT(written, target.height / 8);
    }
    ILSetProgressProc(handle_, nullptr, nullptr);
}

} // namespace
