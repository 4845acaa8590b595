// Where the printed picture goes on the page: the display bitmap, corrected
// for the printer's resolution against the screen's, fills the printable
// area with its proportions kept and is centred along the other axis.
#pragma once

#include <cstdint>

struct PrintResolution {
    int32_t x = 0; // pixels per inch
    int32_t y = 0;
};

struct PrintRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The bitmap is stretched by printer / screen resolution on each axis (an
// axis without a resolution keeps its size), then fitted into the printable
// area of pageWidth x pageHeight printer pixels. Empty when the page or the
// bitmap is.
PrintRect FitPrintPicture(int32_t bitmapWidth, int32_t bitmapHeight, PrintResolution screen,
                          PrintResolution printer, int32_t pageWidth, int32_t pageHeight);
