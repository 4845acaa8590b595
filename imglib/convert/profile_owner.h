// An lcms2 profile closed when its owner goes.
#pragma once

#include <memory>

#include <lcms2.h>

struct ILProfileCloser {
    void operator()(void* p) const { cmsCloseProfile(p); }
};
using ILProfilePtr = std::unique_ptr<void, ILProfileCloser>;
