// XMP metadata on the XMP toolkit (exempi), which the first live handle
// initialises and the last one terminates.
#include <exempi/xmp.h>

#include "imglib/metadata/info.h"

bool ILParseXMP(XmpPtr* holder, size_t length, const char* packet) {
    if (!holder) return false;
    if (*holder || length < 9 || !packet) return *holder != nullptr;
    // exempi turns the toolkit's exceptions into a null result.
    *holder = xmp_new(packet, length);
    return *holder != nullptr;
}

bool ILHasXMP(XmpPtr xmp) {
    return xmp != nullptr;
}

void ILFreeXMP(XmpPtr* holder) {
    if (!holder || !*holder) return;
    xmp_free(*holder);
    *holder = nullptr;
}
