// The Info window: what is known about the shown image (the file, the image
// as stored, the image as held now) and, on demand, one metadata page
// (texts, IPTC, EXIF, XMP, ICC profile) in a read-only text field.
#pragma once

#include <windows.h>

#include "viewer/logic/info_texts.h"
#include "viewer/windows/tool_window.h"

struct Document;

struct InfoWindowState {
    ToolWindow tool;
    InfoTexts texts;
    WCHAR created[120] = {};
    WCHAR modified[120] = {};
    int valueX = 64; // where the values start, measured at each paint
    // Above 0 while the page field has the focus: the main window's
    // accelerators then stay off, so that Ctrl+C copies the selected text.
    int editFocusCount = 0;
};

// Opens the window (nothing when it is open) with the stored page.
void CreateInfoWindow(InfoWindowState& info, Document& document);
// Closes it; the Preferences remember that it is closed.
void CloseInfoWindow(InfoWindowState& info);
// Rebuilds the texts after the image or its info changed; nothing while the
// window is closed.
void UpdateInfoTexts(InfoWindowState& info);
// After a change of interface style.
void RefreshInfoStyle(InfoWindowState& info);
