// The frame of a codec's public load and save: the module names the
// handle's messages, and a std::bad_alloc that escapes the codec becomes
// "Out of memory" instead of crossing the library boundary.
#pragma once

#include <new>

#include "imglib/handle.h"
#include "imglib/image.h"

// A failed load leaves no half-made image behind.
template <typename Load>
ILResult ILGuardLoad(ILHandle* h, const char* module, ILImage* image, Load&& load) {
    ILSetModuleName(h, module);
    try {
        return load();
    } catch (const std::bad_alloc&) {
        if (image) ILClearImage(image);
        return ILReportOutOfMemory(h, 0);
    }
}

template <typename Save>
ILResult ILGuardSave(ILHandle* h, const char* module, Save&& save) {
    ILSetModuleName(h, module);
    try {
        return save();
    } catch (const std::bad_alloc&) {
        return ILReportOutOfMemory(h, 0);
    }
}
