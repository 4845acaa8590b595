// Opening and showing images: reading a file into the current image, making
// a newly arrived image the shown one, forgetting it, and re-rendering it
// after an edit.
#pragma once

#include <windows.h>

#include "viewer/main_window/main_window_state.h"

enum ImageSource : int {
    IMAGE_FROM_FILE = 1,
    IMAGE_FROM_CLIPBOARD = 2,
    IMAGE_ACQUIRED = 3,
};

// Loads a page of the file (a shell link: its target) into the current
// image and shows it; on failure reports why and shows no image. True when
// the image is shown.
bool OpenImageFile(MainWindowState& state, const WCHAR* path, int page);
// The path shown for the current image (kept, not copied) and its name.
void SetDisplayPath(MainWindowState& state, const WCHAR* path);
// Called once the current image and its source info are filled: records the
// "Open" action, renders and lays out the image. An acquired image names
// the TWAIN source it came from.
void ShowNewImage(MainWindowState& state, ImageSource source, const char* acquiredFrom = nullptr);
// Forgets the current image; the caller frees its pixels first when it owns
// them.
void ClearImage(MainWindowState& state);
// Renders the current image again after an operation changed it; with
// relayout the view is laid out anew at the starting zoom level.
void RefreshImageView(MainWindowState& state, bool relayout);
// Repaint, title and caption tooltip of the current image.
void RefreshImageTexts(MainWindowState& state);
// For a folder: -1 when the path is no folder, 0 when it holds no file the
// library can load, 1 when it does, and then the path is extended by a
// backslash and the name of the first such file (by name, ignoring case).
int FindFirstImageInFolder(WCHAR (&path)[kPathUnits]);
