// The file dialog that chooses the name an image is saved under.
#pragma once

#include <windows.h>

#include <cstdint>

#include "viewer/document/document.h"

// The buffer holds the proposed name and receives the chosen one, with the
// chosen format's extension in place of the typed one; when that forced
// name is an existing file the user is asked again whether to replace it.
// The filter index is read and stored back. The panel's format limits and
// option dialogs, and the extension, go by the image to be saved. True when
// a name was chosen.
bool ChooseImageToSave(Document& state, const ILImage& image, WCHAR (&path)[kPathUnits],
                       int32_t& filterIndex);
