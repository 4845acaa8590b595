// What the camera RAW loader's files share.
#pragma once

#include <libraw/libraw.h>

#include "imglib/handle.h"
#include "imglib/metadata/info.h"

inline constexpr char kRawModule[] = "DC-RAW";

// EXIF entries from the camera data LibRaw identified, each only where the
// EXIF data lacks its tag.
void ILRawAddExif(ExifData* exif, const LibRaw& raw);
// The XMP sidecar of a raw file: the same path with the extension replaced by
// "XMP" (or "xmp"), read whole when longer than 16 bytes. Nothing for a path
// whose file name has no extension.
void ILRawReadSidecar(ILHandle* h, const char16_t* path, ILInfo* info);
