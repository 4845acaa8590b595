// "OpenEXR Import": whether OpenEXR images keep their alpha pre-multiplied.
#pragma once

#include "viewer/document/document.h"

void ShowOpenExrImportDialog(Document& state);
