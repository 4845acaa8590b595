// "Kodak Photo CD Import": the image mode and the resolution Photo CD images
// are decoded in.
#pragma once

#include "viewer/document/document.h"

void ShowPhotoCdImportDialog(Document& state);
