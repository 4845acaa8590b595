// The full-screen frame's arithmetic: where an image lies on the screen,
// and the five transitions between the picture on screen and the new frame
// (1 blend, 2 mosaic, 3 stripes, 4 push left/right, 5 push up/down). Each
// transition works on whole 24-bit pictures in memory and hands out one
// picture per step for the caller to draw; the last picture it hands out is
// always the complete new frame, also where the steps do not divide the
// screen evenly.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

struct ScreenPlacement {
    int32_t left, top, width, height;
    double scaleX, scaleY; // image pixels per frame pixel
};

// Kept in its size and centred when it fits (and upsampling is off, or it
// touches an edge already); otherwise scaled to fit, keeping its aspect.
ScreenPlacement PlaceOnScreen(int32_t screenWidth, int32_t screenHeight, uint32_t width,
                              uint32_t height, bool upsampleSmallImages);

// A top-down 24-bit picture of the screen's size.
struct FramePicture {
    uint8_t* pixels;
    int32_t width, height;
    int64_t stride;
};

enum TransitionEffect : int {
    kNoTransition,
    kBlend,
    kMosaic,
    kStripes,
    kPushLeftRight,
    kPushUpDown
};

// The push steps for a screen width: pixels per step sideways, rows per
// step up or down.
int32_t PushColumnsPerStep(int32_t screenWidth);
int32_t PushRowsPerStep(int32_t screenWidth);

// (int)(r / 32767.0 x (left - 1)) for a random r in 0..32767, kept below left.
int32_t RandomBelow(int32_t r, int32_t left);

class ScreenTransition {
public:
    // old: the picture on screen, changed step by step; fresh: the new frame.
    // random gives numbers 0..32767 for the mosaic. backwards reverses the
    // pushes (the new image enters from the left or the top).
    ScreenTransition(int effect, const FramePicture& old, const FramePicture& fresh, bool backwards,
                     std::function<int32_t()> random);
    // Advances one step; false when the transition is over. After true,
    // Shown() is the picture to draw now.
    bool Step();
    const FramePicture& Shown() const { return shown_; }
    // Steps drawn so far.
    int32_t Steps() const { return steps_; }

private:
    bool BlendStep();
    bool MosaicStep();
    bool StripesStep();
    bool PushSidewaysStep();
    bool PushVerticalStep();
    bool Finish();

    int effect_;
    FramePicture old_, fresh_, shown_;
    bool backwards_;
    std::function<int32_t()> random_;
    int32_t steps_ = 0;
    int32_t position_ = 0; // blend weight, tile count, pass or pixels pushed
    bool finished_ = false;
    std::vector<uint8_t> blend_; // the blend's own picture
    std::vector<int16_t> tiles_; // the mosaic's tiles still to copy
};

// Every byte = (a x (256 - weight) + b x weight) >> 8.
void BlendRows(const uint8_t* a, const uint8_t* b, uint8_t* out, int64_t bytes, int32_t weight);
