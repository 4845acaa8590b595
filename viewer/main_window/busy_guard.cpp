#include "viewer/main_window/busy_guard.h"

#include <string>

#include "resources/commands.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/dialogs/message_box.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/platform/settings_folder.h"
#include "viewer/platform/unix_path.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/window_utils.h"

namespace {

GuardFacts CurrentFacts(const MainWindowState& state) {
    GuardFacts facts;
    facts.toolDialogOpen = state.toolDialogWindow != nullptr;
    facts.saving = state.busy.Has(BUSY_SAVING);
    facts.twainActive = state.busy.Has(BUSY_TWAIN_TRANSFER);
    facts.boxUp = state.busy.Has(BUSY_MESSAGE_BOX);
    facts.folderScan = state.busy.Has(BUSY_FOLDER_SCAN);
    return facts;
}

void TellRefusal(MainWindowState& state, ImageChange kind, const GuardFacts& facts) {
    WCHAR caption[32] = {};
    if (state.toolDialogWindow) GetWindowTextW(state.toolDialogWindow, caption, 32);
    WCHAR text[128];
    CopyToWide(GuardRefusalText(kind, FirstGuardCause(facts), ToU16(caption)), text);
    ShowInformation(state, text);
}

// Keeps the image as it was before its first change, for undo by replay.
// Without it undo cannot work for this image: the user is told once.
void WriteUndoSnapshot(MainWindowState& state) {
    WCHAR path[kPathUnits];
    std::u16string libraryPath;
    if (GetUndoSnapshotPath(state.undoSnapshotName, path)) libraryPath = ToLibraryPath(path);
    const bool written = !libraryPath.empty() && ILSaveRawImage(&state.image, libraryPath.c_str());
    if (written || state.undoUnavailable) return;
    state.undoUnavailable = true;
    ShowError(state, L"The undo file could not be written: undo is not available for this image");
}

void StopSlideshow(MainWindowState& state) {
    state.slideshow = false;
    if (state.mainMenu) CheckMenuItem(state.mainMenu, CMD_SLIDESHOW, MF_BYCOMMAND | MF_UNCHECKED);
    KillTimer(state.window, kSlideshowTimer);
}

} // namespace

bool BeginImageChange(MainWindowState& state, ImageChange kind, ChangeAsker asker) {
    const GuardFacts facts = CurrentFacts(state);
    switch (DecideImageChange(facts, kind, asker)) {
        case GuardVerdict::RefuseSilently:
            return false;
        case GuardVerdict::RefuseWithText:
            TellRefusal(state, kind, facts);
            return false;
        case GuardVerdict::Go:
            break;
    }
    const bool user = asker == ChangeAsker::User;
    // An acquired image replaces the current one as an opened file does; the
    // menu's silent question whether acquiring could go on asks nothing.
    const bool replacing = kind == ImageChange::Open || (kind == ImageChange::Acquire && user);
    if (replacing) {
        RestoreIfMinimised(state.window);
        if (!ConfirmDiscardChanges(state, DiscardFor::Open)) return false;
        if (state.history.Count() > 1) DeleteUndoSnapshot(state.undoSnapshotName);
    } else if (kind == ImageChange::Apply && user && state.image.data &&
               state.history.Count() == 1) {
        WriteUndoSnapshot(state);
    }
    if (user && state.slideshow) StopSlideshow(state);
    return true;
}

bool ConfirmDiscardChanges(MainWindowState& state, DiscardFor reason) {
    const bool changed = state.history.Count() > 1 || state.unrecordedChanges;
    if (!changed || !g_preferences.askIfChanged) return true;
    const bool open = reason == DiscardFor::Open;
    if (!open) RestoreIfMinimised(state.window);
    const WCHAR* question =
        open ? L"Discard changes and open new image?" : L"Discard changes and exit Vx?";
    return AskConfirmation(state, question, true) == 1;
}
