// What the OpenEXR loader and saver share: the module name and the string
// attributes that carry the info record's texts.
#pragma once

#include "imglib/metadata/info.h"

inline constexpr char kExrModule[] = "OpenEXR";

// Sets up the OpenEXR library's static data once per process, before the
// first load or save touches the library (threads that race here wait for
// the first): programs that never meet an EXR file skip it. Throws what the
// library throws, std::bad_alloc.
void ILUseOpenEXR();

struct ILExrTextAttribute {
    const char* name;
    ILTextKey key;
};

// "software" comes last: the saver writes it from the handle's creator.
inline constexpr ILExrTextAttribute kExrTextAttributes[] = {
    {"title", IL_TEXT_TITLE},           {"author", IL_TEXT_AUTHOR},
    {"capDate", IL_TEXT_CREATION_TIME}, {"comments", IL_TEXT_DESCRIPTION},
    {"owner", IL_TEXT_COPYRIGHT},       {"software", IL_TEXT_SOFTWARE},
};

// Rows read or written per call of the library: a whole block of its largest
// compression (32 lines for PIZ and B44), so that no block is decoded twice.
inline constexpr int kExrBandRows = 32;
