// What the option dialogs share: one at a time (busy bit 2 while it runs),
// one window procedure that hands the dialog's three steps (controls,
// painting, commands) to the derived dialog, section headers, and groups of
// radio buttons 20 pixels apart.
#pragma once

#include <windows.h>

#include "viewer/dialogs/simple_dialog.h"
#include "viewer/document/document.h"

class OptionDialog {
public:
    virtual ~OptionDialog() = default;

    // Runs the dialog modally over the owner (the main window when null) and
    // answers its result; `notRun` without running it when an option dialog
    // is up already.
    INT_PTR Run(Document& state, const WCHAR* caption, int width, int height, int8_t buttons,
                HWND owner = nullptr, INT_PTR notRun = 0);

    SimpleDialog dialog;
    Document* state = nullptr;

protected:
    virtual void CreateControls(HWND window) = 0;
    // Over the face and the button bar, which are painted already.
    virtual void Paint(HDC) {}
    // A command other than OK and Cancel (radio clicks, slider changes).
    virtual void OnCommand(int, int, LPARAM) {}
    // OK: stores the controls' state and answers the dialog's result.
    virtual INT_PTR Accept() = 0;
    // Cancel, Escape and the close box.
    virtual INT_PTR CancelResult() { return 0; }

private:
    // The messages of the dialog, through DialogProcOf.
    static INT_PTR Message(OptionDialog& box, HWND window, UINT message, WPARAM wParam,
                           LPARAM lParam);
};

// A band across the dialog with its title in the header style.
void DrawSectionHeader(HDC context, int width, int y, const WCHAR* title);
// Radio buttons firstId.. at (x, y + 20 i); `checked` is the index checked.
void CreateRadioGroup(HWND window, int firstId, const WCHAR* const* texts, int count, int x, int y,
                      int width, int checked);
// A click on a radio of the group firstId..lastId selects it; false for ids
// outside the group.
bool SelectInGroup(HWND window, int id, int firstId, int lastId);
bool IsChecked(HWND window, int id);

// The "Image Mode" radios of the Photo CD and RAW import dialogs: 8 bit,
// 16 bit, half and float.
extern const WCHAR* const kSampleKindTexts[4];
