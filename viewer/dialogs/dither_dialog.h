// "Dither to monochrome": asked before a conversion to monochrome while the
// monochrome dithering preference says to ask.
#pragma once

#include "viewer/document/document.h"

// The dither kind 0-3 (off, ordered, Floyd-Steinberg, halftone). OK keeps the
// choice with the ask bit, so the question comes again; Escape answers the
// last choice unchanged; 0 (off) when an option dialog is up already.
int ShowDitherDialog(Document& state);
