// The viewer's entry to the font dialog: over the open tool dialog, with
// the preferences of the process.
#include "viewer/dialogs/font_dialog.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/settings/preferences_file.h"

bool ShowFontDialog(MainWindowState& state, LOGFONTA& font) {
    const HWND owner = state.toolDialogWindow ? state.toolDialogWindow : state.window;
    switch (RunFontDialog(owner, state.window, font, g_preferences)) {
        case kFontDialogAccepted:
            return true;
        case kFontDialogFailed:
            // A second dialog while one is open is only refused.
            if (!FontDialogIsOpen()) ShowOutOfMemory(state);
            return false;
        default:
            return false;
    }
}
