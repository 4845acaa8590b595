// The background colour that the geometry dialogs (Expand, Affine,
// Perspective, 3D Projection) share through the preferences: a grey and
// alpha pair for grey images, blue, green, red and alpha for the others.
#pragma once

#include "imglib/color.h"
#include "viewer/logic/preferences.h"

// The remembered colour in the form that fits the image (grey or not).
ILColor SharedBackground(const Preferences& preferences, bool grey);
// Writes back only that form.
void StoreSharedBackground(Preferences& preferences, const ILColor& color, bool grey);
