// Codec libraries loaded when first called instead of at process start: a
// program that reads one JPEG does not map and relocate the TIFF, OpenEXR,
// RAW and metadata libraries it never uses. The build writes an entry for
// every function ImgLib calls in each such library (imglib/generate/
// lazy_stubs.cpp); each entry jumps through its slot, which first points at
// a binder that loads the library, looks the function up and stores its
// address there, so later calls cost one indirect jump.
#pragma once

#include <atomic>
#include <cstdint>

struct ILLazyLibrary {
    const char* soname;
    const char* const* names; // the functions, in slot order
    void** slots;
    std::atomic<void*> handle;
};

// The address of function index of the library, loading it on first need
// and storing the address in its slot. A library that cannot be loaded is
// a broken installation: the process ends with the loader's message.
extern "C" __attribute__((visibility("hidden"))) void* ILLazyBind(ILLazyLibrary* library,
                                                                  uint32_t index);
