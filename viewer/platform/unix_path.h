// The one conversion of the viewer's DOS paths (Z:\tmp\a.png) to the Unix
// paths that ImgLib opens with the C library. Every path handed to ImgLib
// goes through it; the viewer keeps the DOS path for what it shows.
#pragma once

#include <windows.h>

#include <string>

// UTF-16 of the Unix path (ImgLib turns it into UTF-8 for fopen); empty when
// Wine cannot map the path.
std::u16string ToLibraryPath(const WCHAR* dosPath);
