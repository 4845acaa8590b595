// The viewer's entry to the font dialog: over the open tool dialog, with
// the preferences of the process.
#include "viewer/dialogs/font_dialog.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/settings/preferences_file.h"

bool ShowFontDialog(Document& state, LOGFONTA& font) {
    switch (RunFontDialog(state.host->ToolOwnerWindow(), state.host->OwnerWindow(), font,
                          g_preferences)) {
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
