// The tool dialogs' framework: a modeless dialog over the main window with
// the dialog's own controls, a button bar ("Preview", "Original", "Cancel",
// "Apply") and the action menu "VxA" (Reset, Open action, Save action).
//
// How a tool dialog plugs in:
// - Derive from ToolDialog (or PreviewToolDialog for a small preview right
//   of the controls). The constructor takes the ToolDialogHost, sets
//   statusText, places percentBar inside the button bar, fills its settings
//   (from a stored Action: through the action's bounds checks and
//   ControlValueOf / SaturatingTruncate, never raw), copies the current
//   image record into `unedited` (CopyCurrentImage; a PreviewToolDialog's
//   BuildPreview does it) and sets `ready` when it has all it needs.
// - Implement CreateControls (ids of your own, not 1, 2, 1101 or 1102),
//   OnSettingsChanged (as a rule EnableApplyPreview(true)), PaintLabels,
//   Reset, OpenAction, SaveAction (through host().OpenNamedAction /
//   SaveNamedAction), OnCommand (1 for your ids, 0 otherwise; ignore
//   notifications while settingsLock is set), Execute and RecordAction.
//   Override BeginWork / EndWork (call the base first) to disable and enable
//   your controls during a run.
// - The Show function: return at once without current pixels; otherwise
//   OpenToolDialog(std::make_unique<YourDialog>(host, ...), caption, width,
//   height), and ReportOperationFailure(host.EditedDocument()) when it
//   answers false.
//
// A run. Preview and Apply call BeginWork on the user-interface thread, then
// start the one worker thread, which installs the progress procedure (the
// percent bar; Cancel during a preview makes it answer "stop") and calls
// Execute(run) with run.source the unedited image, read only. Execute makes
// run.result from it (a new image, a copy changed in place, or an image
// that aliases the source's pixels with ownsData 0 and a palette of its
// own) and returns the library result. The worker touches neither the
// document nor any window but the percent bar; it removes the progress
// procedure and, as its last step, posts the completion. On the user-interface thread the completion
// joins the worker, puts the result into the current image (a preview
// replaces the previous preview; an apply frees the unedited image), appends
// RecordAction's entry to the history after a successful apply, refreshes
// the view and reports a failure ("Out of memory", "Invalid argument",
// "Unknown failure"; -1 means cancelled and shows nothing). An apply closes
// the dialog; a preview calls EndWork. "Original" and Cancel put the
// unedited image back (RestoreOriginal) and refresh the view with
// relayoutOnRefresh. alpha_dialog.cpp is the smallest complete example.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

#include "imglib/imglib.h"
#include "viewer/actions/action_list.h"
#include "viewer/style/menus.h"
#include "viewer/tool_dialogs/tool_dialog_host.h"

// Button ids of the framework.
enum ToolDialogButton : int {
    TOOL_APPLY = IDOK,
    TOOL_CANCEL = IDCANCEL,
    TOOL_ORIGINAL = 1101,
    TOOL_PREVIEW = 1102,
};

// The height of the button bar at the bottom of every tool dialog.
inline constexpr int kToolButtonBarHeight = 32;

// One run of a dialog's operation, handed to Execute on the worker thread.
struct ToolRun {
    bool preview = false;
    const ILImage* source = nullptr; // the unedited image; never written
    ILImage result;                  // empty at the start; the operation fills it
    ILHandle* handle = nullptr;      // the main handle, progress procedure installed
};

class ToolDialog {
public:
    explicit ToolDialog(ToolDialogHost& host);
    virtual ~ToolDialog();
    ToolDialog(const ToolDialog&) = delete;
    ToolDialog& operator=(const ToolDialog&) = delete;

    // What each dialog implements (user-interface thread unless said).
    virtual void CreateControls(HWND window) = 0;
    virtual void OnSettingsChanged() = 0;
    virtual void PaintLabels(HDC context) = 0;
    // WM_PAINT calls it with erase false, WM_ERASEBKGND with true.
    virtual void Paint(HDC context, bool erase);
    // Start and end of a run; overrides call the base first.
    virtual void BeginWork();
    virtual void EndWork();
    virtual void Reset() = 0;
    virtual void OpenAction() = 0;
    virtual void SaveAction() = 0;
    // Worker thread: run.result from run.source; the library's result.
    virtual ILResult Execute(ToolRun& run) = 0;
    // After a successful apply: the dialog's action onto the history; false
    // when memory ran out.
    virtual bool RecordAction(ActionList& history) = 0;
    // WM_COMMAND of the dialog's own controls; non-zero when handled.
    virtual INT_PTR OnCommand(WORD id, WORD code, LPARAM lParam) = 0;
    // Every message the framework does not handle itself.
    virtual INT_PTR OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Services for the dialogs.
    ToolDialogHost& host() const { return host_; }
    Document& document() const { return host_.EditedDocument(); }
    HWND window() const { return window_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    // The current image record into `unedited` (both share the pixels).
    void CopyCurrentImage();
    // Enables or disables "Preview" and "Apply"; the focus leaves a disabled
    // "Preview" for "Cancel".
    void EnableApplyPreview(bool enable);
    // Puts the unedited image back as the current image (freeing a preview
    // result), then OnSettingsChanged; "Original" is disabled.
    void RestoreOriginal();
    // The one-pixel Highlight line across the controls area at y.
    void DrawSeparator(HDC context, int y) const;
    // The progress procedure's work: the percent bar; false once a Cancel
    // asked a preview to stop.
    bool ShowProgress(uint32_t row, uint32_t rows);

    // Framework steps (tool_dialog.cpp).
    bool Layout(const WCHAR* caption, int width, int height);
    void Attach(HWND window) { window_ = window; }
    void StartRun(bool preview);
    // Cancel during a run: true when the run consumed it.
    bool RequestCancel();
    // The completion of a run; true when the dialog is to close.
    bool FinishRun(ILResult status);
    void OpenActionMenu(int x, int y, bool byKeyboard);
    void OnInitMenuPopup();
    void PaintStatus(HDC context);

    ILImage unedited;          // shares the current image's pixels until an apply
    PercentBar percentBar;     // placed by each dialog's constructor
    RECT controlsRect = {0, 0, 1, 1}; // set by Layout when left at (0, 0, 1, 1)
    HWND tipWindow = nullptr;
    PopupMenu actionMenu;
    const char* statusText = "Working...";
    bool settingsLock = true; // set while the dialog writes its own controls
    bool tipsEnabled = true;
    bool ready = false;
    bool working = false;
    bool keyMode = false;           // a key of the dialog's own is held: no menu by key
    bool relayoutOnRefresh = false; // results may have another size than the image
    bool previewShown = false;      // the current image holds a preview result
    std::atomic<bool> cancelRequested{false};

private:
    void InvalidateButtonBar();

    ToolDialogHost& host_;
    HWND window_ = nullptr;
    bool runIsPreview_ = false;
};

// The progress procedure (ILProgressProc) with the dialog as user pointer.
bool ToolDialogProgress(uint32_t row, uint32_t rows, void* dialog);

// Opens the dialog as the one tool dialog and lays it out; false when one is
// open already, the window cannot be made or the dialog is not ready (the
// dialog is gone then, and the slot is clear).
bool OpenToolDialog(std::unique_ptr<ToolDialog> dialog, const WCHAR* caption, int width,
                    int height);
// Destroys the open tool dialog (which deletes its object) and clears the
// slot; nothing when none is open.
void CloseToolDialog(ToolDialogHost& host);
// True while a tool dialog's worker runs: the main window neither closes nor
// changes to full screen meanwhile.
bool IsToolDialogWorking();
