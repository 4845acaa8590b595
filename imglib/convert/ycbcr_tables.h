// The converter's YCbCr tables: the shared defaults and a converter's own.
#pragma once

#include "imglib/convert/converter.h"

// Points the five tables at the shared defaults.
void ILConverterUseDefaultYCbCr(ILConverter* c);
// Releases tables the converter owns and returns to the defaults.
void ILConverterFreeYCbCr(ILConverter* c);
