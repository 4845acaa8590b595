// Owners of what the library allocates: buffers from ILAlloc and images
// with their pixels and palette, freed on every early return.
#pragma once

#include <memory>

#include "imglib/image.h"

struct ILBufferFree {
    void operator()(void* p) const { ILFree(p); }
};
template <typename T>
using ILBuffer = std::unique_ptr<T, ILBufferFree>;

struct ILImageOwner {
    ILImage image;

    ILImageOwner() = default;
    ~ILImageOwner() { ILFreeImage(&image); }
    ILImageOwner(const ILImageOwner&) = delete;
    ILImageOwner& operator=(const ILImageOwner&) = delete;
};
