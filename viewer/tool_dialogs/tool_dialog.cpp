// The tool dialogs' framework: the one open dialog, its window procedure,
// its buttons and action menu, and the worker that runs its operation.
#include "viewer/tool_dialogs/tool_dialog.h"

#include <windowsx.h>

#include "resources/commands.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/dialog_tips.h"
#include "viewer/controls/owner_button.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/platform/worker_thread.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"

namespace {

constexpr char kActionMenuTip[] = "Use right mouse button to open/save/reset actions.";

// The open tool dialog; null when none.
ToolDialog* g_openDialog = nullptr;

// The thread of one run. It reads the dialog's settings and run.source,
// writes run.result and the percent bar, and posts the completion after it
// has left the handle's progress procedure.
class ToolDialogWorker : public WorkerThread {
public:
    ~ToolDialogWorker() override { Join(); }
    ToolDialog* dialog = nullptr;
    ToolRun run;

protected:
    void Run() override {
        ILSetProgressProc(run.handle, ToolDialogProgress, dialog);
        const ILResult status = dialog->Execute(run);
        ILSetProgressProc(run.handle, nullptr, nullptr);
        PostMessageW(dialog->window(), WM_COMMAND, CMD_TOOL_WORKER_DONE, status);
    }
};

ToolDialogWorker& Worker() {
    static ToolDialogWorker worker;
    return worker;
}

// Frees what a record holds beyond the parts it shares with `kept` (pixels
// or palette of the unedited image, or of the current one), then empties it.
void ReleaseRecord(ILImage& record, const ILImage& kept) {
    if (record.data && record.data == kept.data) record.ownsData = 0;
    if (record.palette == kept.palette) record.palette = nullptr;
    ILClearImage(&record);
}

bool SameRecord(const ILImage& a, const ILImage& b) {
    return a.data == b.data && a.palette == b.palette;
}

void ReportRunStatus(Document& document, ILResult status) {
    switch (status) {
        case 1:
        case -1:
            return;
        case IL_OUT_OF_MEMORY:
            ShowOutOfMemory(document);
            return;
        case IL_BAD_ARGUMENT:
            ShowError(document, L"Invalid argument");
            return;
        default:
            ShowError(document, L"Unknown failure");
            return;
    }
}

void ShowButton(HWND dialog, int id, bool show) {
    if (const HWND button = GetDlgItem(dialog, id)) ShowWindow(button, show ? SW_SHOW : SW_HIDE);
}

void EnableButton(HWND dialog, int id, bool enable) {
    if (const HWND button = GetDlgItem(dialog, id)) EnableWindow(button, enable ? TRUE : FALSE);
}

void SetResult(HWND window, LRESULT result) {
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
}

INT_PTR OnToolCommand(ToolDialog& dialog, WORD id, WORD code, LPARAM lParam) {
    switch (id) {
        case TOOL_APPLY:
            dialog.StartRun(false);
            return 1;
        case TOOL_PREVIEW:
            dialog.StartRun(true);
            return 1;
        case TOOL_CANCEL:
            if (dialog.RequestCancel()) return 1;
            dialog.RestoreOriginal();
            dialog.host().RefreshImageView(dialog.relayoutOnRefresh);
            CloseToolDialog(dialog.host()); // the object is gone from here on
            return 1;
        case TOOL_ORIGINAL:
            if (dialog.working) return 1;
            dialog.RestoreOriginal();
            dialog.host().RefreshImageView(dialog.relayoutOnRefresh);
            return 1;
        case CMD_TOOL_WORKER_DONE:
            Worker().Join();
            if (dialog.FinishRun(static_cast<ILResult>(lParam))) CloseToolDialog(dialog.host());
            return 1;
        case CMD_TOOL_RESET:
        case CMD_TOOL_OPEN_ACTION:
        case CMD_TOOL_SAVE_ACTION:
            if (dialog.working) return 1;
            if (id == CMD_TOOL_RESET)
                dialog.Reset();
            else if (id == CMD_TOOL_OPEN_ACTION)
                dialog.OpenAction();
            else
                dialog.SaveAction();
            return 1;
        default:
            return dialog.OnCommand(id, code, lParam);
    }
}

INT_PTR CALLBACK ToolDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        reinterpret_cast<ToolDialog*>(lParam)->Attach(window);
        return FALSE;
    }
    auto* dialog = reinterpret_cast<ToolDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!dialog) return FALSE;
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            const HDC dc = BeginPaint(window, &ps);
            dialog->Paint(dc, false);
            EndPaint(window, &ps);
            return TRUE;
        }
        case WM_ERASEBKGND:
            dialog->Paint(reinterpret_cast<HDC>(wParam), true);
            SetResult(window, 1);
            return TRUE;
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item->CtlType == ODT_MENU) DrawMenuItem(item);
            SetResult(window, 1);
            return TRUE;
        }
        case WM_MEASUREITEM: {
            auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (item->CtlType == ODT_MENU) MeasureMenuItem(window, item);
            SetResult(window, 1);
            return TRUE;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete dialog;
            return FALSE;
        case WM_KEYDOWN:
            if (wParam == VK_APPS || wParam == VK_F10) {
                if (!dialog->keyMode) dialog->OpenActionMenu(6, 6, true);
                return TRUE;
            }
            return dialog->OnMessage(window, message, wParam, lParam);
        case WM_COMMAND:
            return OnToolCommand(*dialog, LOWORD(wParam), HIWORD(wParam), lParam);
        case WM_INITMENUPOPUP:
            dialog->OnInitMenuPopup();
            return TRUE;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<INT_PTR>(
                OnControlColor(reinterpret_cast<HDC>(wParam), message == WM_CTLCOLOREDIT));
        case WM_RBUTTONDOWN:
            dialog->OpenActionMenu(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), false);
            return TRUE;
        default:
            return dialog->OnMessage(window, message, wParam, lParam);
    }
}

} // namespace

bool ToolDialogProgress(uint32_t row, uint32_t rows, void* dialog) {
    return static_cast<ToolDialog*>(dialog)->ShowProgress(row, rows);
}

ToolDialog::ToolDialog(ToolDialogHost& host) : host_(host) {
    actionMenu.Load(L"VxA");
    tipWindow = CreateToolTipWindow();
}

ToolDialog::~ToolDialog() {
    const bool open = g_openDialog == this;
    // A run never outlives its dialog; the window's owner may be destroyed
    // while one runs, so it is waited for here.
    if (open && working) Worker().Join();
    Document& doc = document();
    ReleaseRecord(unedited, doc.image);
    if (tipWindow) DestroyWindow(tipWindow);
    if (!open) return; // refused beside an open dialog: that one stays as it is
    if (doc.host) doc.host->AcceptFileDrops(true);
    if (doc.handle) ILSetModuleName(doc.handle, nullptr);
    g_openDialog = nullptr;
    host_.SetToolDialogWindow(nullptr);
}

void ToolDialog::Paint(HDC context, bool erase) {
    SelectSmallTextStyle(context);
    const HGDIOBJ previousPen = SelectObject(context, CreatePen(PS_SOLID, 1, g_styleColors.Text));
    if (erase) {
        FillRect(context, &controlsRect, g_styleBrushes.Face);
        const RECT line = {controlsRect.left, controlsRect.bottom - 1, controlsRect.right,
                           controlsRect.bottom};
        FillRect(context, &line, g_styleBrushes.Highlight);
        const RECT bar = {controlsRect.left, controlsRect.bottom, controlsRect.right,
                          controlsRect.bottom + kToolButtonBarHeight};
        FillRect(context, &bar, g_styleBrushes.Window);
    }
    PaintLabels(context);
    PaintStatus(context);
    DeleteObject(SelectObject(context, previousPen));
}

void ToolDialog::PaintStatus(HDC context) {
    if (!working) return;
    const HGDIOBJ previousFont = SelectObject(context, g_interfaceFonts.smallFont);
    SetBkColor(context, g_styleColors.Window);
    SetTextColor(context, g_styleColors.Text);
    SetBkMode(context, OPAQUE);
    TextOutA(context, 10, controlsRect.bottom + 9, statusText, lstrlenA(statusText));
    percentBar.Draw(context);
    SelectObject(context, previousFont);
}

INT_PTR ToolDialog::OnMessage(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

void ToolDialog::CopyCurrentImage() {
    unedited = document().image;
}

void ToolDialog::EnableApplyPreview(bool enable) {
    const HWND preview = Control(TOOL_PREVIEW);
    if (!enable && preview && GetFocus() == preview) SetFocus(Control(TOOL_CANCEL));
    EnableButton(window_, TOOL_PREVIEW, enable);
    EnableButton(window_, TOOL_APPLY, enable);
}

void ToolDialog::RestoreOriginal() {
    ILImage& current = document().image;
    if (unedited.data && !SameRecord(current, unedited)) {
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        ReleaseRecord(current, unedited);
        current = unedited;
    }
    OnSettingsChanged();
    const HWND preview = Control(TOOL_PREVIEW);
    SetFocus(preview && IsWindowEnabled(preview) ? preview : Control(TOOL_CANCEL));
    EnableButton(window_, TOOL_ORIGINAL, false);
    previewShown = false;
}

void ToolDialog::DrawSeparator(HDC context, int y) const {
    const RECT line = {0, y, controlsRect.right, y + 1};
    FillRect(context, &line, g_styleBrushes.Highlight);
}

bool ToolDialog::ShowProgress(uint32_t row, uint32_t rows) {
    if (rows > 0)
        percentBar.Update(window_, static_cast<double>(static_cast<float>(row + 1) /
                                                       static_cast<float>(rows)));
    return !cancelRequested.load();
}

bool ToolDialog::Layout(const WCHAR* caption, int width, int height) {
    Document& doc = document();
    char moduleName[64];
    WideCharToMultiByte(CP_UTF8, 0, caption, -1, moduleName, sizeof moduleName, nullptr, nullptr);
    moduleName[sizeof moduleName - 1] = 0;
    if (doc.handle) ILSetModuleName(doc.handle, moduleName);
    PlaceAtMainWindow(window_, host_.MainWindow(), width, height);
    // The frame of the dialog's own caption, so that the client area has
    // exactly the size asked for.
    RECT frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    if (controlsRect.right == 1) controlsRect = {0, 0, width, height - kToolButtonBarHeight};

    const int y = height - 26;
    const bool buttons =
        CreatePushButton(window_, TOOL_APPLY, L"Apply", width - 74, y, 64) != nullptr;
    CreateControls(window_);
    const bool more = CreatePushButton(window_, TOOL_PREVIEW, L"Preview", 10, y, 64) != nullptr &&
                      CreatePushButton(window_, TOOL_ORIGINAL, L"Original", 80, y, 64) != nullptr &&
                      CreatePushButton(window_, TOOL_CANCEL, L"Cancel", width - 144, y, 64) != nullptr;
    ready = ready && buttons && more;
    EnableButton(window_, TOOL_ORIGINAL, false);
    OnSettingsChanged();
    if (tipsEnabled && g_preferences.dialogTips)
        AddToolTip(tipWindow, window_, controlsRect, kActionMenuTip);
    // The caption last: whoever finds the dialog by it finds its controls.
    SetWindowTextW(window_, caption);
    ShowWindow(window_, SW_SHOW);
    settingsLock = false;
    return ready;
}

void ToolDialog::StartRun(bool preview) {
    const HWND button = Control(preview ? TOOL_PREVIEW : TOOL_APPLY);
    if (working || !button || !IsWindowEnabled(button)) return;
    ToolDialogWorker& worker = Worker();
    worker.Join(); // the last run's thread has posted its completion: it ends now
    runIsPreview_ = preview;
    cancelRequested = false;
    BeginWork();
    worker.dialog = this;
    worker.run = ToolRun{};
    worker.run.preview = preview;
    worker.run.source = &unedited;
    worker.run.handle = document().handle;
    if (!worker.Start()) PostMessageW(window_, WM_COMMAND, CMD_TOOL_WORKER_DONE, IL_OUT_OF_MEMORY);
}

void ToolDialog::BeginWork() {
    SetFocus(Control(TOOL_CANCEL));
    for (int id : {TOOL_PREVIEW, TOOL_ORIGINAL, TOOL_APPLY, TOOL_CANCEL})
        ShowButton(window_, id, false);
    SetFocus(window_); // Escape still reaches the dialog as Cancel
    working = true;
    percentBar.SetFilled(0);
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    InvalidateButtonBar();
    UpdateWindow(window_);
}

void ToolDialog::InvalidateButtonBar() {
    RECT client;
    GetClientRect(window_, &client);
    const RECT bar = {0, client.bottom - kToolButtonBarHeight, client.right, client.bottom};
    InvalidateRect(window_, &bar, TRUE);
}

bool ToolDialog::RequestCancel() {
    if (!working) return false;
    // A preview stops at its next progress report; an apply runs to its end.
    if (runIsPreview_) cancelRequested = true;
    return true;
}

bool ToolDialog::FinishRun(ILResult status) {
    Document& doc = document();
    ILImage& current = doc.image;
    ILImage& result = Worker().run.result;
    if (status == 1 && !result.data) status = IL_BAD_ARGUMENT;
    if (runIsPreview_) {
        if (status == 1) {
            ReleaseRecord(current, unedited);
            current = result;
            ILInitImage(&result);
        } else {
            ReleaseRecord(result, unedited);
            if (!SameRecord(current, unedited)) {
                ReleaseRecord(current, unedited);
                current = unedited;
            }
        }
        previewShown = status == 1;
    } else {
        ReleaseRecord(current, unedited);
        if (status == 1) {
            // The result may keep the unedited pixels (a palette change):
            // they pass to it, and the rest of the unedited image goes.
            if (result.data == unedited.data) {
                result.ownsData = unedited.ownsData;
                unedited.ownsData = 0;
            }
            if (result.palette == unedited.palette) unedited.palette = nullptr;
            ILClearImage(&unedited);
            current = result;
            ILInitImage(&result);
        } else {
            ReleaseRecord(result, unedited);
            current = unedited;
        }
    }
    // The entry goes in before the refresh, which lists the history again.
    // The view shares the new image's rows only after the refresh: no message
    // may be handled before it.
    const bool recorded = runIsPreview_ || status != 1 || RecordAction(doc.history);
    host_.RefreshImageView(relayoutOnRefresh);
    if (!recorded) ShowOutOfMemory(doc);
    ReportRunStatus(doc, status);
    if (!runIsPreview_) {
        working = false;
        return true;
    }
    EndWork();
    return false;
}

void ToolDialog::EndWork() {
    settingsLock = false;
    working = false;
    InvalidateButtonBar();
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    for (int id : {TOOL_PREVIEW, TOOL_ORIGINAL, TOOL_APPLY, TOOL_CANCEL})
        ShowButton(window_, id, true);
    EnableButton(window_, TOOL_ORIGINAL, previewShown);
    EnableButton(window_, TOOL_PREVIEW, true);
    SetFocus(Control(previewShown ? TOOL_ORIGINAL : TOOL_CANCEL));
    // A finished preview needs a settings change before it is repeated.
    if (!cancelRequested) EnableButton(window_, TOOL_PREVIEW, false);
    cancelRequested = false;
}

void ToolDialog::OpenActionMenu(int x, int y, bool byKeyboard) {
    POINT point = {x, y};
    if (working || !PtInRect(&controlsRect, point)) return;
    ClientToScreen(window_, &point);
    actionMenu.Track(window_, point.x, point.y, byKeyboard);
}

void ToolDialog::OnInitMenuPopup() {
    const HWND apply = Control(TOOL_APPLY);
    const bool enabled = apply && IsWindowEnabled(apply);
    actionMenu.EnableItem(CMD_TOOL_SAVE_ACTION, enabled);
    actionMenu.EnableItem(CMD_TOOL_RESET, enabled);
    actionMenu.EnableItem(CMD_TOOL_OPEN_ACTION, true);
}

bool OpenToolDialog(std::unique_ptr<ToolDialog> dialog, const WCHAR* caption, int width,
                    int height) {
    if (!dialog || !dialog->ready) return false;
    ToolDialogHost& host = dialog->host();
    if (host.ToolDialogWindow() || g_openDialog) return false;
    g_styleColors.ShowFocusCues = 0;
    // From here the window owns the object: WM_NCDESTROY deletes it.
    ToolDialog* open = dialog.release();
    const HWND window = CreateDialogParamW(GetModuleHandleW(nullptr), L"VxDLG", host.MainWindow(),
                                           ToolDialogProc, reinterpret_cast<LPARAM>(open));
    if (!window) {
        delete open;
        return false;
    }
    g_openDialog = open;
    host.SetToolDialogWindow(window);
    if (DocumentHost* documentHost = open->document().host) documentHost->AcceptFileDrops(false);
    SetClassLongPtrW(window, GCLP_HBRBACKGROUND, 0);
    if (open->Layout(caption, width, height)) return true;
    // Not ready after all: the window goes, and with it the object and the slot.
    DestroyWindow(window);
    host.SetToolDialogWindow(nullptr);
    return false;
}

void CloseToolDialog(ToolDialogHost& host) {
    const HWND window = host.ToolDialogWindow();
    if (!window) return;
    DestroyWindow(window);
    host.SetToolDialogWindow(nullptr);
}

bool IsToolDialogWorking() {
    return g_openDialog && g_openDialog->working;
}
