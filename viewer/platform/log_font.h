// LOGFONTA from and to the records that keep its fields under their own
// names (the library's, the Write Text block's, the preferences'): field by
// field, the face name always terminated.
#pragma once

#include <windows.h>

#include <cstring>

template <typename From>
LOGFONTA ToLogFont(const From& f) {
    LOGFONTA font = {};
    font.lfHeight = f.height;
    font.lfWidth = f.width;
    font.lfEscapement = f.escapement;
    font.lfOrientation = f.orientation;
    font.lfWeight = f.weight;
    font.lfItalic = f.italic;
    font.lfUnderline = f.underline;
    font.lfStrikeOut = f.strikeOut;
    font.lfCharSet = f.charSet;
    font.lfOutPrecision = f.outPrecision;
    font.lfClipPrecision = f.clipPrecision;
    font.lfQuality = f.quality;
    font.lfPitchAndFamily = f.pitchAndFamily;
    static_assert(sizeof font.lfFaceName == sizeof f.faceName);
    std::memcpy(font.lfFaceName, f.faceName, sizeof font.lfFaceName);
    font.lfFaceName[LF_FACESIZE - 1] = 0;
    return font;
}

template <typename To>
To FromLogFont(const LOGFONTA& f) {
    To t = {f.lfHeight,       f.lfWidth,        f.lfEscapement,    f.lfOrientation,
            f.lfWeight,       f.lfItalic,       f.lfUnderline,     f.lfStrikeOut,
            f.lfCharSet,      f.lfOutPrecision, f.lfClipPrecision, f.lfQuality,
            f.lfPitchAndFamily, {}};
    static_assert(sizeof t.faceName == sizeof f.lfFaceName);
    std::memcpy(t.faceName, f.lfFaceName, sizeof t.faceName);
    t.faceName[sizeof t.faceName - 1] = 0;
    return t;
}
