// The import-option dialogs' mapping between stored settings and their
// controls; settings read from a file are brought into range here.
#pragma once

#include <cstdint>
#include <string>

// Radio index 0-3 of an image mode (sample kind 8-bit, 16-bit, half, float);
// an unknown kind shows as 8-bit.
int SampleKindIndex(uint32_t sampleKind);
uint32_t SampleKindOfIndex(int index);
// Photo CD resolutions 3-5 as radio index 0-2 (others show the default, 4).
int PcdResolutionIndex(uint32_t resolution);
// RAW interpolation 0-2 (others show bilinear).
int InterpolationIndex(uint32_t interpolation);
// The wavelet-threshold slider (0..250) for a stored threshold (0..2500,
// steps of 10): saturating and NaN-safe.
int32_t ThresholdSliderValue(float threshold);
// The slider's value text, padded with blanks to five characters.
std::string ThresholdText(int32_t sliderValue);
