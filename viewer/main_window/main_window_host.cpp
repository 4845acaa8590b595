// The main window as the host of its document, of the tool dialog and of the
// Actions window: what the dialogs and windows below it ask of the main
// window (document_host.h, tool_dialog_host.h, actions_window.h).
#include "viewer/actions/action_types.h"
#include "viewer/dialogs/named_action_dialog.h"
#include "viewer/main_window/busy_guard.h"
#include "viewer/main_window/folder_list_view.h"
#include "viewer/main_window/history_commands.h"
#include "viewer/main_window/main_menu.h"
#include "viewer/main_window/main_window.h"
#include "viewer/main_window/main_window_state.h"
#include "viewer/main_window/open_image.h"
#include "viewer/main_window/tooltips.h"
#include "viewer/main_window/view.h"
#include "viewer/tool_dialogs/affine_dialog.h"
#include "viewer/tool_dialogs/color_filter_dialog.h"
#include "viewer/tool_dialogs/crop_dialog.h"
#include "viewer/tool_dialogs/expand_dialog.h"
#include "viewer/tool_dialogs/gauss_dialog.h"
#include "viewer/tool_dialogs/perspective_dialog.h"
#include "viewer/tool_dialogs/projection_3d_dialog.h"
#include "viewer/tool_dialogs/resample_dialog.h"
#include "viewer/tool_dialogs/shift_dialog.h"
#include "viewer/tool_dialogs/tone_mapping_dialog.h"
#include "viewer/tool_dialogs/write_text_dialog.h"
#include "viewer/windows/info_window.h"

HWND MainWindowState::OwnerWindow() const {
    return window;
}

HWND MainWindowState::ToolOwnerWindow() const {
    return toolDialogWindow ? toolDialogWindow : window;
}

HINSTANCE MainWindowState::Instance() const {
    return instance;
}

bool MainWindowState::ShowsMessages() const {
    return !slideshow;
}

void MainWindowState::InfoTextsChanged() {
    UpdateInfoTexts(infoWindow);
}

void MainWindowState::ResolutionChanged() {
    RefreshImageTexts(*this);
}

void MainWindowState::CheckMenuItem(UINT id, bool on) {
    CheckMainMenuItem(*this, id, on);
}

bool MainWindowState::InFullScreen() const {
    return fullScreen;
}

void MainWindowState::MouseImagePoint(int* x, int* y) const {
    ViewToImagePoint(*this, x, y);
}

void MainWindowState::BrowseByWheel(WPARAM wParam) {
    OnMouseWheel(*this, wParam, true);
}

void MainWindowState::AcceptFileDrops(bool on) {
    DragAcceptFiles(window, on ? TRUE : FALSE);
    if (on) SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void MainWindowState::FolderListReleased() {
    AddFilesSavedMeanwhile(*this);
}

Document& MainWindowState::EditedDocument() {
    return *this;
}

HWND MainWindowState::MainWindow() const {
    return window;
}

HWND MainWindowState::ToolDialogWindow() const {
    return toolDialogWindow;
}

void MainWindowState::SetToolDialogWindow(HWND dialog) {
    toolDialogWindow = dialog;
}

// A tool dialog's result may have another pixel mode (alpha added to an
// indexed image).
void MainWindowState::RefreshImageView(bool relayout) {
    ::RefreshImageView(*this, relayout);
    UpdateModeMenu(*this);
}

void MainWindowState::ShowStatus(const char* text) {
    ShowStatusTooltip(*this, text, true);
}

bool MainWindowState::OpenNamedAction(HWND owner, int32_t type, Action* chosen) {
    return ::OpenNamedAction(*this, owner, type, chosen);
}

bool MainWindowState::SaveNamedAction(HWND owner, const Action& action) {
    return ::SaveNamedAction(*this, owner, action);
}

void MainWindowState::ApplyActionList(const ActionList& list) {
    ::ApplyActionList(*this, list, true);
}

void MainWindowState::ApplyFavorite(const Action& action) {
    ApplyFavoriteAction(*this, action);
}

void MainWindowState::GoToHistoryEntry(uint32_t target) {
    JumpInHistory(*this, target);
}

// The tool dialogs that take a stored action open here by the action's
// type, after the busy guard; the other types open nothing.
void MainWindowState::OpenDialogForAction(const Action& action) {
    if (!image.data || !BeginImageChange(*this, ImageChange::Apply, ChangeAsker::User)) return;
    switch (action.type) {
        case ACTION_TONEMAPPING:
            ShowToneMappingDialog(*this, &action);
            break;
        case ACTION_COLOR_FILTER:
            ShowColorFilterDialog(*this, &action);
            break;
        case ACTION_CROP:
            ShowCropDialog(*this, &action);
            break;
        case ACTION_AFFINE:
            ShowAffineDialog(*this, &action);
            break;
        case ACTION_PERSPECTIVE:
            ShowPerspectiveDialog(*this, &action);
            break;
        case ACTION_SHIFT:
            ShowShiftDialog(*this, &action);
            break;
        case ACTION_EXPAND:
            ShowExpandDialog(*this, &action);
            break;
        case ACTION_RESAMPLE:
            ShowResampleDialog(*this, &action);
            break;
        case ACTION_GAUSS_FILTER:
            ShowGaussFilterDialog(*this, &action);
            break;
        case ACTION_PROJECTION_3D:
            Show3DProjectionDialog(*this, &action);
            break;
        case ACTION_WRITE_TEXT:
            ShowWriteTextDialog(*this, &action);
            break;
        default:
            break;
    }
}
