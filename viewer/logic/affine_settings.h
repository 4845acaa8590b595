// The settings of the Affine Projection dialog over its action record
// (ILAffineParams): the four sliders, the labels, the neutral state, the
// target size (the library's own), and the small preview's size and record.
#pragma once

#include <cstdint>
#include <string>

#include "imglib/image.h"
#include "imglib/ops/geometry.h"
#include "viewer/logic/preview_fit.h"

// Rotation -1800 ... 1800 (tenths of a degree), scale 250 ... 2500
// (thousandths), translations -800 ... 800 (thousandths of the image).
struct AffineSliders {
    int32_t angle = 0, scale = 1000, shiftX = 0, shiftY = 0;
};

// Defaults: no turn, scale 1, no shift, oversampling 1, canvas adapted.
ILAffineParams DefaultAffine(const ILColor& background);
// Slider values of a record, rounded half up so that a record made from
// sliders opens where it was saved; clamped, NaN as 0.
AffineSliders AffineSlidersOf(const ILAffineParams& p);
// The sliders into the record: angle v / 10, both scales v / 1000 (one
// slider for both), translations v / 1000.
void AffineFromSliders(const AffineSliders& s, ILAffineParams* p);
// A stored record as the controls take it: quantised to the sliders (scale
// y takes scale x), oversampling 1 ... 8, fit canvas 0 or 1.
ILAffineParams AffineFromStored(const ILAffineParams& stored);

// Preview and Apply wait for a turn, a scale, or a shift that counts (the
// shifts do not while the canvas adapts).
bool AffineApplyEnabled(const ILAffineParams& p);

// "45.0°", "250.0%", "0.125, -0.500" (the degree sign as the byte 0xB0).
std::string AffineAngleText(const ILAffineParams& p);
std::string AffineScaleText(const ILAffineParams& p);
std::string AffineShiftText(const ILAffineParams& p);
// "%d x %d pixel" of what applying makes of the image (ILAffineOutputSize);
// empty for a record the library refuses.
std::string AffineSizeText(const ILImage& unedited, const ILAffineParams& p);

// The preview is shrunk until its diagonal is at most 380, so that every
// turn of it fits the preview area.
PreviewPlacement AffinePreviewFit(uint32_t imageWidth, uint32_t imageHeight);
// The record the small preview is drawn with: oversampling 1, and scale 1
// while the canvas adapts (the scale then only changes the canvas).
ILAffineParams AffinePreviewParams(const ILAffineParams& p);
