// What the JPEG 2000 loader and saver share.
#pragma once

#include <cstdio>

#include "imglib/format_id.h"

inline constexpr char kJpeg2000Module[] = "JPEG2000";

// The kinds of JPEG 2000 input, also the info record's format ids.
enum : int { IL_J2K_RAW = IL_FORMAT_J2K_CODESTREAM, IL_J2K_JP2 = IL_FORMAT_JP2 };

// IL_J2K_RAW for a raw code-stream (FF 4F at offset 0), IL_J2K_JP2 for a JP2
// file (6A 50 at offset 4), else -1; the file is left at offset 0.
int ILJPEG2000DetectKind(FILE* file);
