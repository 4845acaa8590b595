// "Digital Camera RAW Import": image mode, interpolation and the wavelet
// noise-reduction threshold of camera RAW decoding.
#pragma once

#include "viewer/document/document.h"

void ShowRawImportDialog(Document& state);
