#include "viewer/logic/print_layout.h"

namespace {

double AxisRatio(int32_t screen, int32_t printer) {
    return screen > 0 && printer > 0 ? static_cast<double>(printer) / screen : 1.0;
}

} // namespace

PrintRect FitPrintPicture(int32_t bitmapWidth, int32_t bitmapHeight, PrintResolution screen,
                          PrintResolution printer, int32_t pageWidth, int32_t pageHeight) {
    if (bitmapWidth <= 0 || bitmapHeight <= 0 || pageWidth <= 0 || pageHeight <= 0) return {};
    const double u = bitmapWidth * AxisRatio(screen.x, printer.x);
    const double t = bitmapHeight * AxisRatio(screen.y, printer.y);
    const double f = pageWidth;
    const double g = pageHeight;
    PrintRect rect;
    if (g / t >= f / u) {
        rect.width = pageWidth;
        rect.height = static_cast<int32_t>(t / u * f);
        rect.y = (pageHeight - rect.height) / 2;
    } else {
        rect.height = pageHeight;
        rect.width = static_cast<int32_t>(u / t * g);
        rect.x = (pageWidth - rect.width) / 2;
    }
    return rect;
}
