// A converter that frees its tables and palette when the owner goes, on
// every early return of a codec.
#pragma once

#include "imglib/convert/converter.h"

struct ILConverterOwner {
    ILConverter c;

    ILConverterOwner() { ILConverterInit(&c); }
    ~ILConverterOwner() { ILConverterFree(&c); }
    ILConverterOwner(const ILConverterOwner&) = delete;
    ILConverterOwner& operator=(const ILConverterOwner&) = delete;
};
