#include "viewer/busy_guard.h"

#include <string>

#include "viewer/commands.h"
#include "viewer/library_messages.h"
#include "viewer/logic/image_change_guard.h"
#include "viewer/main_window.h"
#include "viewer/message_box.h"
#include "viewer/preferences_file.h"
#include "viewer/settings_folder.h"
#include "viewer/unix_path.h"
#include "viewer/viewer_state.h"
#include "viewer/wide_text.h"

namespace {

// Timer of the slideshow's steps.
constexpr UINT_PTR kSlideshowTimer = 1001;

GuardFacts CurrentFacts() {
    GuardFacts facts;
    facts.toolDialogOpen = g_viewer.toolDialogWindow != nullptr;
    facts.saving = IsBusy(BUSY_SAVING);
    facts.twainActive = false; // no TWAIN transfers yet
    facts.boxUp = IsBusy(BUSY_MESSAGE_BOX);
    facts.folderScan = IsBusy(BUSY_FOLDER_SCAN);
    return facts;
}

// Keeps the image as it was before its first change, for undo by replay.
void WriteUndoSnapshot() {
    WCHAR path[kPathUnits];
    if (!GetUndoSnapshotPath(path)) return;
    const std::u16string libraryPath = ToLibraryPath(path);
    if (!libraryPath.empty()) ILSaveRawImage(&g_viewer.image, libraryPath.c_str());
}

void StopSlideshow() {
    g_viewer.slideshow = false;
    CheckMainMenuItem(CMD_SLIDESHOW, false);
    KillTimer(g_viewer.mainWindow, kSlideshowTimer);
}

} // namespace

bool IsBusy(uint32_t bits) {
    return (g_viewer.busyFlags & bits) == bits;
}

bool SetBusyFlag(uint32_t bit) {
    if (g_viewer.busyFlags & bit) return false;
    g_viewer.busyFlags |= bit;
    return true;
}

bool ClearBusyFlag(uint32_t bit) {
    if (!(g_viewer.busyFlags & bit)) return false;
    g_viewer.busyFlags &= ~bit;
    return true;
}

bool BeginImageChange(bool waitCursor, bool userInitiated, ImageChangeKind kind) {
    const GuardFacts facts = CurrentFacts();
    switch (DecideImageChange(facts, kind, userInitiated)) {
        case GuardVerdict::RefuseSilently:
            return false;
        case GuardVerdict::RefuseWithText: {
            WCHAR caption[32] = {};
            if (g_viewer.toolDialogWindow) GetWindowTextW(g_viewer.toolDialogWindow, caption, 32);
            const std::u16string text =
                GuardRefusalText(kind, FirstGuardCause(facts), ToU16(caption));
            WCHAR wide[128];
            CopyToWide(text, wide);
            ShowInformation(wide);
            return false;
        }
        case GuardVerdict::Go:
            break;
    }
    const bool hasImage = g_viewer.image.data != nullptr;
    if (kind == CHANGE_OPEN) {
        RestoreMainWindow();
        if (!ConfirmDiscardChanges(true)) return false;
        if (g_viewer.history.Count() > 1) DeleteUndoSnapshot();
    } else if (userInitiated && hasImage && g_viewer.history.Count() == 1) {
        WriteUndoSnapshot();
    }
    if (userInitiated && g_viewer.slideshow) StopSlideshow();
    if (waitCursor) SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    return true;
}

bool ConfirmDiscardChanges(bool open) {
    if (g_viewer.history.Count() <= 1 || !g_preferences.askIfChanged) return true;
    if (!open) RestoreMainWindow();
    const WCHAR* question =
        open ? L"Discard changes and open new image?" : L"Discard changes and exit Vx?";
    return AskConfirmation(question, true) == 1;
}
