#include "viewer/main_window/alpha_commands.h"

#include <string>

#include "imglib/ops/alpha.h"
#include "viewer/actions/history_push.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/dialogs/open_dialog.h"
#include "viewer/logic/text_utils.h"
#include "viewer/main_window/image_commands.h"
#include "viewer/main_window/open_image.h"
#include "viewer/platform/shell_link.h"
#include "viewer/platform/unix_path.h"
#include "viewer/platform/wide_text.h"
#include "viewer/settings/preferences_file.h"

namespace {

// A recorded edit whose entry could not be kept still changed the image.
void Record(MainWindowState& state, const AlphaBlock& block) {
    if (!PushHistoryAlphaChannel(state.history, block)) ShowOutOfMemory(state);
}

void Finish(MainWindowState& state, ILResult result, const AlphaBlock& block) {
    if (result == 1)
        Record(state, block);
    else
        ReportOperationFailure(state);
    ClearLibraryMessages();
    RefreshImageView(state, false);
}

} // namespace

void RemoveAlphaChannel(MainWindowState& state) {
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const uint8_t previousMode = ApplyAlphaOption(state);
    const ILResult result = ILRemoveAlpha(state.handle, &state.image);
    AlphaBlock block;
    block.kind = ALPHA_REMOVE;
    block.removeAlphaMode = g_preferences.useAlpha ? 2 : 0;
    ILSetAlphaMode(state.handle, previousMode);
    Finish(state, result, block);
}

void InvertAlphaChannel(MainWindowState& state) {
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    AlphaBlock block;
    block.kind = ALPHA_INVERT;
    Finish(state, ILInvertAlpha(state.handle, &state.image), block);
}

void LoadAlphaChannel(MainWindowState& state) {
    WCHAR path[kPathUnits];
    if (state.currentPath[0])
        lstrcpynW(path, state.currentPath, kPathUnits);
    else
        CopyToWide(g_preferences.lastImagePath, path);
    if (!ChooseImageToOpen(state.window, path, g_preferences.openFilterIndex)) return;
    UpdateWindow(state.window);
    // The target of a link is loaded and recorded: a replay reads no links.
    if (IsShellLinkFile(ToU16(path))) {
        WCHAR target[MAX_PATH];
        if (!ResolveShellLink(path, target)) return;
        lstrcpynW(path, target, kPathUnits);
    }
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ILImage mask;
    ILInitImage(&mask);
    const std::u16string libraryPath = ToLibraryPath(path);
    if (!libraryPath.empty() && ILLoadImage(state.handle, libraryPath.c_str(), &mask, nullptr) >= 1) {
        if (ILLoadAlpha(state.handle, &state.image, &mask) == 1) {
            AlphaBlock block;
            block.kind = ALPHA_LOAD_FILE;
            block.path = ToU16(path);
            Record(state, block);
            RefreshImageView(state, false);
        } else {
            ShowOutOfMemory(state);
        }
    }
    ILClearImage(&mask);
    ShowLibraryMessages(state, path);
    ClearLibraryMessages();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}
