// The commands of the main menu, the accelerators and the other windows, in
// one table with the guard each passes, so that the guard sits in one place.
#include "viewer/main_window/main_commands.h"

#include "viewer/windows/about_box.h"
#include "viewer/main_window/acquired_image.h"
#include "viewer/main_window/alpha_commands.h"
#include "viewer/main_window/busy_guard.h"
#include "viewer/main_window/clipboard_paste.h"
#include "resources/commands.h"
#include "viewer/dialogs/font_dialog.h"
#include "viewer/dialogs/color_chooser.h"
#include "viewer/dialogs/exr_import_dialog.h"
#include "viewer/dialogs/page_navigator.h"
#include "viewer/dialogs/pcd_import_dialog.h"
#include "viewer/dialogs/raw_import_dialog.h"
#include "viewer/dialogs/resolution_dialog.h"
#include "viewer/tool_dialogs/affine_dialog.h"
#include "viewer/tool_dialogs/color_filter_dialog.h"
#include "viewer/tool_dialogs/crop_dialog.h"
#include "viewer/tool_dialogs/palette_dialog.h"
#include "viewer/tool_dialogs/perspective_dialog.h"
#include "viewer/tool_dialogs/tone_mapping_dialog.h"
#include "viewer/platform/display_bitmap.h"
#include "viewer/main_window/folder_list_view.h"
#include "viewer/main_window/full_screen_frame.h"
#include "viewer/main_window/full_screen_switch.h"
#include "viewer/windows/histogram_window.h"
#include "viewer/main_window/image_commands.h"
#include "viewer/main_window/history_commands.h"
#include "viewer/windows/info_window.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/windows/list_window.h"
#include "viewer/main_window/main_menu.h"
#include "viewer/main_window/option_setters.h"
#include "viewer/dialogs/open_dialog.h"
#include "viewer/main_window/open_image.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/main_window/print_image.h"
#include "viewer/main_window/save_thread.h"
#include "viewer/platform/shell_services.h"
#include "viewer/style/style.h"
#include "viewer/main_window/view.h"
#include "viewer/windows/tool_window.h"
#include "viewer/main_window/tooltips.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/window_utils.h"
#include "viewer/tool_dialogs/alpha_dialog.h"
#include "viewer/tool_dialogs/expand_dialog.h"
#include "viewer/tool_dialogs/gauss_dialog.h"
#include "viewer/tool_dialogs/projection_3d_dialog.h"
#include "viewer/tool_dialogs/resample_dialog.h"
#include "viewer/tool_dialogs/shift_dialog.h"
#include "viewer/tool_dialogs/write_text_dialog.h"
#include "viewer/tool_dialogs/tool_dialog.h"

namespace {

// What a command does to the current image, and so which guard it passes.
enum class Guard {
    None,
    OpenUser,     // replaces the image; the user is told why when refused
    OpenProgram,  // replaces the image; refused silently (paging, slideshow)
    ApplyUser,    // changes the image; the user is told why when refused
    ApplyProgram, // changes the image or its file; refused silently
};

struct Command {
    UINT first;
    UINT last;
    void (*handler)(MainWindowState& state, UINT id, LPARAM lParam);
    bool needsImage; // does nothing without a current image
    Guard guard;
};

bool PassGuard(MainWindowState& state, Guard guard) {
    switch (guard) {
        case Guard::None:
            return true;
        case Guard::OpenUser:
            return BeginImageChange(state, ImageChange::Open, ChangeAsker::User);
        case Guard::OpenProgram:
            return BeginImageChange(state, ImageChange::Open, ChangeAsker::Program);
        case Guard::ApplyUser:
            return BeginImageChange(state, ImageChange::Apply, ChangeAsker::User);
        case Guard::ApplyProgram:
            return BeginImageChange(state, ImageChange::Apply, ChangeAsker::Program);
    }
    return false;
}

// File

void OpenImage(MainWindowState& state, UINT, LPARAM) {
    WCHAR path[kPathUnits];
    if (state.currentPath[0])
        lstrcpynW(path, state.currentPath, kPathUnits);
    else
        CopyToWide(g_preferences.lastImagePath, path);
    if (!ChooseImageToOpen(state.window, path, g_preferences.openFilterIndex)) return;
    UpdateWindow(state.window);
    if (OpenImageFile(state, path, 0)) ScanFolder(state, state.currentPath, false);
}

void SaveImage(MainWindowState& state, UINT, LPARAM) {
    SaveImageInBackground(state, &state.image);
}

void SaveAlpha(MainWindowState& state, UINT, LPARAM) {
    SaveAlphaChannel(state);
}

void SaveFinished(MainWindowState& state, UINT, LPARAM) {
    OnSaveFinished(state);
}

void Exit(MainWindowState& state, UINT, LPARAM) {
    PostMessageW(state.window, WM_CLOSE, 0, 0);
}

void Print(MainWindowState& state, UINT, LPARAM) {
    PrintImage(state);
}

void CopyToClipboard(MainWindowState& state, UINT, LPARAM) {
    // With the Histogram window in front, its probe's values are copied.
    if (CopyPixelValueText(state.histogramWindow)) return;
    if (state.display.IsEmpty() || !OpenClipboard(state.window)) return;
    EmptyClipboard();
    const HGLOBAL dib = static_cast<HGLOBAL>(state.display.ToClipboard());
    if (!dib || !SetClipboardData(CF_DIB, dib)) {
        if (dib) GlobalFree(dib);
        CloseClipboard();
        ShowError(state, L"Copy to clipboard failed");
        return;
    }
    CloseClipboard();
}

void Paste(MainWindowState& state, UINT, LPARAM) {
    if (!IsClipboardFormatAvailable(CF_DIB) || !OpenClipboard(state.window)) return;
    const bool pasted = PasteImage(state, GetClipboardData(CF_DIB));
    CloseClipboard();
    if (!pasted) ShowError(state, L"Paste from clipboard failed");
}

void ChooseTwainSource(MainWindowState& state, UINT id, LPARAM) {
    AcquireFromSource(state, static_cast<int>(id - CMD_TWAIN_SOURCE_FIRST));
}

void TwainTransferEnded(MainWindowState& state, UINT, LPARAM code) {
    OnTwainResult(state, static_cast<int>(code));
}

void EmptyTheClipboard(MainWindowState& state, UINT, LPARAM) {
    if (OpenClipboard(state.window)) {
        EmptyClipboard();
        CloseClipboard();
    }
}

// The page comes from another window's message: only pages the file has.
void GoToPage(MainWindowState& state, UINT, LPARAM page) {
    if (page >= 0 && page < state.info.pages && page != state.info.page)
        OpenImageFile(state, state.currentPath, static_cast<int>(page));
}

// Folder list

// A command whose handler needs neither its id nor its parameter.
template <void (*Handler)(MainWindowState&)>
void StateOnly(MainWindowState& state, UINT, LPARAM) {
    Handler(state);
}

// 40026-40028 from the List window; the shown file may go with the
// selection, so they ask about edits themselves.
void ChangeSelectedFiles(MainWindowState& state, UINT id, LPARAM) {
    if (id == CMD_DELETE_SELECTED)
        DeleteSelectedFiles(state);
    else
        CopyOrMoveSelectedFiles(state, id == CMD_MOVE_SELECTED);
}

void GoToImage(MainWindowState& state, UINT, LPARAM index) {
    GoToListIndex(state, static_cast<int32_t>(index));
}

void PageThroughFolder(MainWindowState& state, UINT id, LPARAM) {
    const PageStep steps[] = {PageStep::Next, PageStep::Previous, PageStep::First, PageStep::Last};
    if (id == CMD_PREVIOUS_IMAGE || id == CMD_FIRST_IMAGE)
        MarkBackwardTransition(state.fullScreenFrame);
    GoToListEntry(state, steps[id - CMD_NEXT_IMAGE]);
}

// Each tick of the slideshow's timer shows the next image of the folder.
void ToggleSlideshow(MainWindowState& state, UINT, LPARAM) {
    state.slideshow = !state.slideshow;
    if (state.slideshow)
        SetTimer(state.window, kSlideshowTimer, 5000, nullptr);
    else
        KillTimer(state.window, kSlideshowTimer);
    CheckMainMenuItem(state, CMD_SLIDESHOW, state.slideshow);
}

// Edit

// Undo and redo pass the guard themselves, once they know there is
// something to replay.
void Undo(MainWindowState& state, UINT, LPARAM) {
    UndoAction(state);
}

void Redo(MainWindowState& state, UINT, LPARAM) {
    RedoAction(state);
}

// Image

// After an option that changes how the image is drawn.
void RenderAgainIfAlpha(MainWindowState& state) {
    if (state.image.data && ILHasAlpha(state.image.type))
        RefreshImageView(state, false);
    else
        ShowFullScreenImage(state, false); // the frame's background
}

void ToggleUseAlpha(MainWindowState& state, UINT, LPARAM) {
    SetUseAlpha(state, !g_preferences.useAlpha);
    ShowOptionToggled(state, "Use alpha", g_preferences.useAlpha);
    RenderAgainIfAlpha(state);
}

void ToggleUseBackground(MainWindowState& state, UINT, LPARAM) {
    SetUseBackground(state, !g_preferences.useBackground);
    UpdateBackgroundBrush(state);
    RenderAgainIfAlpha(state);
    InvalidateRect(state.window, nullptr, FALSE);
    ShowOptionToggled(state, "Use background", g_preferences.useBackground);
}

void ToggleMultipageDialog(MainWindowState& state, UINT, LPARAM) {
    SetMultipageDialog(state, !g_preferences.multipageDialog);
    if (g_preferences.multipageDialog)
        ShowMultipageDialog(state.pageNavigator, state.window, state.info.pages, state.info.page);
    else
        CloseMultipageDialog(state.pageNavigator);
    ShowOptionToggled(state, "Multipage dialog", g_preferences.multipageDialog);
}

void ChooseImportOptions(MainWindowState& state, UINT id, LPARAM) {
    switch (id) {
        case CMD_IMPORT_EXR:
            ShowOpenExrImportDialog(state);
            break;
        case CMD_IMPORT_RAW:
            ShowRawImportDialog(state);
            break;
        default:
            ShowPhotoCdImportDialog(state);
            break;
    }
}

void ChooseBackgroundColor(MainWindowState& state, UINT, LPARAM) {
    if (!ShowColorChooser(state, state.window, L"Vx Background Color", IL_RGB8,
                          g_preferences.backgroundColor, nullptr))
        return;
    UpdateBackgroundBrush(state);
    RenderAgainIfAlpha(state);
    InvalidateRect(state.window, nullptr, FALSE);
}

// Options

struct Toggle {
    UINT id;
    uint8_t Preferences::*field;
    const char* name;
};
constexpr Toggle kToggles[] = {
    {CMD_WARNING_MESSAGES, &Preferences::warningMessages, "Warning messages"},
    {CMD_ASK_IF_CHANGED, &Preferences::askIfChanged, "Ask if image has changed"},
    {CMD_DIALOG_TIPS, &Preferences::dialogTips, "Show dialog tips"},
    {CMD_AUTO_FOCUS, &Preferences::autoFocus, "Auto focus"},
    {CMD_UPSAMPLE_SMALLER, &Preferences::upsampleSmallImages, nullptr},
    {CMD_HIGH_QUALITY_RESIZING, &Preferences::highQualityResizing, nullptr},
};

void ToggleOption(MainWindowState& state, UINT id, LPARAM) {
    for (const Toggle& toggle : kToggles) {
        if (toggle.id != id) continue;
        uint8_t& value = g_preferences.*toggle.field;
        value = value ? 0 : 1;
        CheckMainMenuItem(state, id, value);
        if (toggle.name) ShowOptionToggled(state, toggle.name, value);
    }
    if (id == CMD_UPSAMPLE_SMALLER) {
        ShowFullScreenImage(state, false);
        if (state.fullScreen) {
            LayoutView(state, state.view.zoomLevel, false);
            InvalidateRect(state.window, nullptr, FALSE);
        }
    }
    if (id == CMD_HIGH_QUALITY_RESIZING && state.fullScreen) {
        if (g_preferences.highQualityResizing)
            EnterFullScreenFrame(state);
        else
            LeaveFullScreenFrame(state);
        InvalidateRect(state.window, nullptr, FALSE);
    }
}

void ChooseMonochromeDither(MainWindowState& state, UINT id, LPARAM) {
    if (id == CMD_MONO_DITHER_ASK)
        SetMonochromeDither(state, (g_preferences.monochromeDither & 0xF) | kMonochromeDitherAsk);
    else
        SetMonochromeDither(state, static_cast<int>(id - CMD_MONO_DITHER_OFF));
}

void ChooseDither(MainWindowState& state, UINT id, LPARAM) {
    if (id == CMD_DITHER_TOGGLE)
        SetDither(state, g_preferences.dither == 1 ? 0 : 1);
    else
        SetDither(state, static_cast<int>(id - CMD_DITHER_OFF));
}

void ChooseResolutionUnit(MainWindowState& state, UINT id, LPARAM) {
    SetResolutionUnit(state, id == CMD_UNIT_INCH ? 1 : 0);
}

void ChooseWheelMode(MainWindowState& state, UINT id, LPARAM) {
    SetWheelMode(state, id == CMD_WHEEL_ZOOM ? 1 : 0);
}

void ChooseInterfaceStyle(MainWindowState& state, UINT id, LPARAM) {
    const int style = id == CMD_STYLE_DARK ? 1 : 0;
    g_preferences.interfaceStyle = static_cast<uint8_t>(style);
    CheckMainMenuItem(state, CMD_STYLE_LIGHT, style == 0);
    CheckMainMenuItem(state, CMD_STYLE_DARK, style == 1);
    SetInterfaceStyle(style);
    RefreshAboutBox(state.aboutBox);
    RefreshInfoStyle(state.infoWindow);
    RedrawFontDialog();
    RedrawToolWindow(state.histogramWindow.tool);
    RedrawToolWindow(state.actionsWindow.tool);
    ApplyStyleToListWindow(state.listWindow);
    if (state.toolDialogWindow) InvalidateWindowTree(state.toolDialogWindow);
}

void ToggleSmoothResizing(MainWindowState& state, UINT, LPARAM) {
    g_preferences.stretchMode = g_preferences.stretchMode == HALFTONE ? COLORONCOLOR : HALFTONE;
    ApplyStretchMode(state);
    InvalidateRect(state.window, nullptr, FALSE);
}

void ChooseWindowMode(MainWindowState& state, UINT id, LPARAM) {
    const int mode = static_cast<int>(id - CMD_FIT_NOTHING);
    SetWindowMode(state, mode);
    if (state.fullScreen) return;
    if (mode == 1) {
        ShowScrollBar(state.window, SB_BOTH, FALSE);
        state.view.hBarShown = false;
        state.view.vBarShown = false;
        LayoutView(state, state.view.zoomLevel, false);
        InvalidateRect(state.window, nullptr, TRUE);
    } else {
        LayoutView(state, state.view.zoomLevel, mode == 2);
    }
}

void ChooseTransitionEffect(MainWindowState& state, UINT id, LPARAM) {
    SetTransitionEffect(state, static_cast<int>(id - CMD_FX_OFF));
}

// Not while a tool dialog's operation works on the image.
void ToggleFullScreen(MainWindowState& state, UINT, LPARAM) {
    if (IsToolDialogWorking()) return;
    SetFullScreen(state, !state.fullScreen);
}

void FullScreenStep(MainWindowState& state, UINT, LPARAM step) {
    RunFullScreenStep(state, static_cast<int>(step));
}

// Image

void ChooseResolution(MainWindowState& state, UINT, LPARAM) {
    ShowResolutionDialog(state);
}

// The preview tool dialogs: palette, tone mapping, colour filter, crop,
// affine and perspective projection.
void OpenPreviewDialog(MainWindowState& state, UINT id, LPARAM) {
    switch (id) {
        case CMD_PALETTE:
            ShowPaletteDialog(state);
            break;
        case CMD_TONEMAPPING:
            ShowToneMappingDialog(state, nullptr);
            break;
        case CMD_COLOR_FILTER:
            ShowColorFilterDialog(state, nullptr);
            break;
        case CMD_CROP:
            ShowCropDialog(state, nullptr);
            break;
        case CMD_AFFINE:
            ShowAffineDialog(state, nullptr);
            break;
        default:
            ShowPerspectiveDialog(state, nullptr);
            break;
    }
}

// Help

void OpenHelp(MainWindowState& state, UINT, LPARAM) {
    WCHAR path[kPathUnits];
    const INT_PTR answer = ShowHelp(state.window, path);
    if (answer > 32) return;
    WCHAR text[kPathUnits + 80];
    const bool missing = GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES;
    lstrcpyW(text, missing ? L"Cannot find the help file\n" : L"Cannot open the help file\n");
    lstrcatW(text, path);
    if (answer == SE_ERR_NOASSOC) lstrcatW(text, L"\nNo program is set to open HTML files.");
    ShowError(state, text);
}

void ToggleInfoWindow(MainWindowState& state, UINT, LPARAM) {
    if (state.infoWindow.tool.window)
        CloseInfoWindow(state.infoWindow);
    else
        CreateInfoWindow(state.infoWindow, state);
}

void ToggleListWindow(MainWindowState& state, UINT, LPARAM) {
    ShowListWindow(state.listWindow, state, state.listWindow.window == nullptr);
}

void ToggleHistogramWindow(MainWindowState& state, UINT, LPARAM) {
    if (state.histogramWindow.tool.window)
        CloseHistogramWindow(state.histogramWindow);
    else
        CreateHistogramWindow(state.histogramWindow, state);
}

void ToggleActionsWindow(MainWindowState& state, UINT, LPARAM) {
    if (state.actionsWindow.tool.window)
        CloseActionsWindow(state.actionsWindow);
    else
        CreateActionsWindow(state.actionsWindow, state, state);
}

void ToggleAboutBox(MainWindowState& state, UINT, LPARAM) {
    ShowAboutBox(state.aboutBox, state.window, state.instance);
}

// Image

void ChangeMode(MainWindowState& state, UINT id, LPARAM) {
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    ChangeImageMode(state, id, 0, 0, true);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void Mirror(MainWindowState& state, UINT id, LPARAM) {
    MirrorImage(state, id == CMD_MIRROR_LEFT_RIGHT);
}

void Rotate(MainWindowState& state, UINT id, LPARAM) {
    RotateImage(state, 90 * static_cast<int32_t>(id - CMD_ROTATE_90 + 1));
}

void Invert(MainWindowState& state, UINT, LPARAM) {
    InvertImage(state);
}

void SwapRedBlue(MainWindowState& state, UINT, LPARAM) {
    SwapRedAndBlue(state);
}

// Alpha channel

void AddAlpha(MainWindowState& state, UINT, LPARAM) {
    ShowAlphaChannelDialog(state);
}

void ChangeAlpha(MainWindowState& state, UINT id, LPARAM) {
    switch (id) {
        case CMD_ALPHA_REMOVE:
            RemoveAlphaChannel(state);
            break;
        case CMD_ALPHA_INVERT:
            InvertAlphaChannel(state);
            break;
        default:
            LoadAlphaChannel(state);
            break;
    }
}

// Tool dialogs: geometry, filter and text

void OpenEditDialog(MainWindowState& state, UINT id, LPARAM) {
    switch (id) {
        case CMD_SHIFT:
            ShowShiftDialog(state, nullptr);
            break;
        case CMD_EXPAND:
            ShowExpandDialog(state, nullptr);
            break;
        case CMD_RESAMPLE:
            ShowResampleDialog(state, nullptr);
            break;
        case CMD_GAUSS_FILTER:
            ShowGaussFilterDialog(state, nullptr);
            break;
        case CMD_PROJECTION_3D:
            Show3DProjectionDialog(state, nullptr);
            break;
        default:
            ShowWriteTextDialog(state, nullptr);
            break;
    }
}

// View

void ContextMenuFromKeyboard(MainWindowState& state, UINT id, LPARAM) {
    const WPARAM keys[] = {0, MK_SHIFT, MK_CONTROL};
    ShowContextMenu(state, nullptr, keys[id - CMD_CONTEXT_MENU], true);
}

void Zoom(MainWindowState& state, UINT id, LPARAM) {
    const bool ratio = id >= CMD_ZOOM_1_1_RATIO;
    const int step[] = {0, 1, -1};
    ZoomView(state, step[(id - (ratio ? CMD_ZOOM_1_1_RATIO : CMD_ZOOM_1_1))], ratio);
}

void ScrollByKey(MainWindowState& state, UINT id, LPARAM) {
    ViewGeometry& view = state.view;
    switch (id) {
        case CMD_SCROLL_UP:
        case CMD_SCROLL_DOWN:
            if (view.vBarShown)
                ScrollViewVertically(state, view.scrollY + (id == CMD_SCROLL_UP ? -1 : 1));
            break;
        default:
            if (view.hBarShown)
                ScrollViewHorizontally(state, view.scrollX + (id == CMD_SCROLL_LEFT ? -1 : 1));
            break;
    }
}

void FitWindowToDisplay(MainWindowState& state, UINT, LPARAM) {
    FitWindowToClientSize(state, state.view.displayWidth, state.view.displayHeight);
}

constexpr Command kCommands[] = {
    {CMD_OPEN_IMAGE, CMD_OPEN_IMAGE, OpenImage, false, Guard::OpenUser},
    {CMD_SAVE_IMAGE, CMD_SAVE_IMAGE, SaveImage, true, Guard::ApplyProgram},
    {CMD_SAVE_FINISHED, CMD_SAVE_FINISHED, SaveFinished, false, Guard::None},
    {CMD_ALPHA_SAVE, CMD_ALPHA_SAVE, SaveAlpha, true, Guard::ApplyUser},
    {CMD_EXIT, CMD_EXIT, Exit, false, Guard::None},
    {CMD_PRINT, CMD_PRINT, Print, true, Guard::ApplyProgram},
    {CMD_COPY, CMD_COPY, CopyToClipboard, true, Guard::None},
    {CMD_PASTE, CMD_PASTE, Paste, false, Guard::OpenUser},
    {CMD_EMPTY_CLIPBOARD, CMD_EMPTY_CLIPBOARD, EmptyTheClipboard, false, Guard::None},
    // The transfer itself passes the acquire guard, once the image is ready.
    {CMD_TWAIN_SOURCE_FIRST, CMD_TWAIN_SOURCE_LAST, ChooseTwainSource, false, Guard::None},
    {CMD_TWAIN_EVENT, CMD_TWAIN_EVENT, TwainTransferEnded, false, Guard::None},
    {CMD_GO_TO_PAGE, CMD_GO_TO_PAGE, GoToPage, true, Guard::OpenUser},
    {CMD_GO_TO_IMAGE, CMD_GO_TO_IMAGE, GoToImage, false, Guard::OpenProgram},
    {CMD_NEXT_IMAGE, CMD_LAST_IMAGE, PageThroughFolder, false, Guard::OpenProgram},
    {CMD_REOPEN_IMAGE, CMD_REOPEN_IMAGE, StateOnly<ReopenCurrentEntry>, false, Guard::OpenProgram},
    {CMD_SHELL_FOLDER, CMD_SHELL_FOLDER, StateOnly<OpenFolderInShell>, false, Guard::None},
    {CMD_REREAD_FOLDER, CMD_REREAD_FOLDER, StateOnly<RescanFolder>, false, Guard::ApplyProgram},
    {CMD_DELETE_FILE, CMD_DELETE_FILE, StateOnly<RecycleCurrentFile>, false, Guard::ApplyProgram},
    {CMD_DELETE_SELECTED, CMD_MOVE_SELECTED, ChangeSelectedFiles, false, Guard::None},
    {CMD_SLIDESHOW, CMD_SLIDESHOW, ToggleSlideshow, false, Guard::None},
    {CMD_FOLDER_SCAN_FINISHED, CMD_FOLDER_SCAN_FINISHED, StateOnly<OnFolderScanFinished>, false,
     Guard::None},

    {CMD_UNDO, CMD_UNDO, Undo, true, Guard::None},
    {CMD_REDO, CMD_REDO, Redo, true, Guard::None},

    {CMD_MODE_MONOCHROME, CMD_MODE_RGB_FLOAT, ChangeMode, true, Guard::ApplyUser},
    {CMD_MIRROR_LEFT_RIGHT, CMD_MIRROR_UP_DOWN, Mirror, true, Guard::ApplyUser},
    {CMD_ROTATE_90, CMD_ROTATE_270, Rotate, true, Guard::ApplyUser},
    {CMD_INVERT, CMD_INVERT, Invert, true, Guard::ApplyUser},
    {CMD_SWAP_RED_BLUE, CMD_SWAP_RED_BLUE, SwapRedBlue, true, Guard::ApplyUser},
    {CMD_ALPHA_ADD, CMD_ALPHA_ADD, AddAlpha, true, Guard::ApplyUser},
    {CMD_ALPHA_REMOVE, CMD_ALPHA_INVERT, ChangeAlpha, true, Guard::ApplyUser},
    {CMD_ALPHA_LOAD, CMD_ALPHA_LOAD, ChangeAlpha, true, Guard::ApplyUser},
    {CMD_GAUSS_FILTER, CMD_RESAMPLE, OpenEditDialog, true, Guard::ApplyUser},
    {CMD_EXPAND, CMD_SHIFT, OpenEditDialog, true, Guard::ApplyUser},
    {CMD_PROJECTION_3D, CMD_WRITE_TEXT, OpenEditDialog, true, Guard::ApplyUser},

    {CMD_USE_ALPHA, CMD_USE_ALPHA, ToggleUseAlpha, false, Guard::None},
    {CMD_USE_BACKGROUND, CMD_USE_BACKGROUND, ToggleUseBackground, false, Guard::None},
    {CMD_RESOLUTION, CMD_RESOLUTION, ChooseResolution, true, Guard::None},
    {CMD_PALETTE, CMD_COLOR_FILTER, OpenPreviewDialog, true, Guard::ApplyUser},
    {CMD_CROP, CMD_CROP, OpenPreviewDialog, true, Guard::ApplyUser},
    {CMD_AFFINE, CMD_PERSPECTIVE, OpenPreviewDialog, true, Guard::ApplyUser},

    {CMD_WARNING_MESSAGES, CMD_ASK_IF_CHANGED, ToggleOption, false, Guard::None},
    {CMD_DIALOG_TIPS, CMD_AUTO_FOCUS, ToggleOption, false, Guard::None},
    {CMD_MONO_DITHER_OFF, CMD_MONO_DITHER_ASK, ChooseMonochromeDither, false, Guard::None},
    {CMD_DITHER_OFF, CMD_DITHER_TOGGLE, ChooseDither, false, Guard::None},
    {CMD_UNIT_CM, CMD_UNIT_INCH, ChooseResolutionUnit, false, Guard::None},
    {CMD_WHEEL_ZOOM, CMD_WHEEL_BROWSE, ChooseWheelMode, false, Guard::None},
    {CMD_STYLE_LIGHT, CMD_STYLE_DARK, ChooseInterfaceStyle, false, Guard::None},
    {CMD_BACKGROUND_COLOR, CMD_BACKGROUND_COLOR, ChooseBackgroundColor, false, Guard::None},
    {CMD_IMPORT_EXR, CMD_IMPORT_PCD, ChooseImportOptions, false, Guard::None},
    {CMD_MULTIPAGE_DIALOG, CMD_MULTIPAGE_DIALOG, ToggleMultipageDialog, false, Guard::None},
    {CMD_SMOOTH_RESIZING, CMD_SMOOTH_RESIZING, ToggleSmoothResizing, false, Guard::None},
    {CMD_FIT_NOTHING, CMD_FIT_WINDOW_TO_IMAGE, ChooseWindowMode, false, Guard::None},
    {CMD_HIGH_QUALITY_RESIZING, CMD_UPSAMPLE_SMALLER, ToggleOption, false, Guard::None},
    {CMD_FX_OFF, CMD_FX_PUSH_UP_DOWN, ChooseTransitionEffect, false, Guard::None},
    {CMD_FULL_SCREEN, CMD_FULL_SCREEN, ToggleFullScreen, false, Guard::None},
    {CMD_FULL_SCREEN_STEP, CMD_FULL_SCREEN_STEP, FullScreenStep, false, Guard::None},

    {CMD_HELP, CMD_HELP, OpenHelp, false, Guard::None},
    {CMD_ABOUT, CMD_ABOUT, ToggleAboutBox, false, Guard::None},
    {CMD_INFO_WINDOW, CMD_INFO_WINDOW, ToggleInfoWindow, false, Guard::None},
    {CMD_HISTOGRAM_WINDOW, CMD_HISTOGRAM_WINDOW, ToggleHistogramWindow, false, Guard::None},
    {CMD_LIST_WINDOW, CMD_LIST_WINDOW, ToggleListWindow, false, Guard::None},
    {CMD_ACTIONS_WINDOW, CMD_ACTIONS_WINDOW, ToggleActionsWindow, false, Guard::None},

    {CMD_CONTEXT_MENU, CMD_CONTEXT_MENU_CONTROL, ContextMenuFromKeyboard, false, Guard::None},
    {CMD_ZOOM_1_1, CMD_ZOOM_OUT, Zoom, false, Guard::None},
    {CMD_ZOOM_1_1_RATIO, CMD_ZOOM_OUT_RATIO, Zoom, false, Guard::None},
    {CMD_SCROLL_UP, CMD_SCROLL_RIGHT, ScrollByKey, false, Guard::None},
    {CMD_FIT_WINDOW_TO_CLIENT, CMD_FIT_WINDOW_TO_CLIENT, FitWindowToDisplay, true, Guard::None},
};

const Command* FindCommand(UINT id) {
    for (const Command& command : kCommands)
        if (id >= command.first && id <= command.last) return &command;
    return nullptr;
}

} // namespace

bool IsCommandBuilt(UINT id) {
    return FindCommand(id) != nullptr;
}

bool DispatchCommand(MainWindowState& state, UINT id, LPARAM lParam) {
    const Command* command = FindCommand(id);
    if (!command) return false;
    if (command->needsImage && !state.image.data) return true;
    if (PassGuard(state, command->guard)) command->handler(state, id, lParam);
    return true;
}
