// The viewer's message boxes: a mark (?, i, !, x) in the kind's colour beside
// the text, one "OK" button, or "Yes" and "No" for a question. Each box is a
// simple dialog sized to its text, its buttons the custom push buttons.
#include "viewer/dialogs/message_box.h"

#include "viewer/controls/control_drawing.h"
#include "viewer/controls/owner_button.h"
#include "viewer/dialogs/simple_dialog.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_state.h"

namespace {

constexpr int kButtonYes = 6;
constexpr int kButtonNo = 7;

// The box's state object.
struct MessageDialog {
    SimpleDialog dialog;
    const WCHAR* text = nullptr; // not owned
    MessageBoxKind kind = BOX_INFORMATION;
    bool cancelAllowed = false;
    RECT textRect = {};
    RECT markRect = {};
};

struct Mark {
    const WCHAR* caption;
    WCHAR letter;
    COLORREF fill;
    COLORREF ink;
    int offset;
};

Mark MarkOf(MessageBoxKind kind) {
    switch (kind) {
        case BOX_CONFIRMATION:
            return {L"Vx Confirmation", L'?', 0x00C000, 0xFFFFFF, 2};
        case BOX_WARNING:
            return {L"Vx Warning", L'!', 0x00E0E0, 0x000000, 4};
        case BOX_ERROR:
            return {L"Vx Error", L'x', 0x0000FF, 0xFFFFFF, 2};
        case BOX_INFORMATION:
        default:
            return {L"Vx Information", L'i', 0xFF4040, 0xFFFFFF, 4};
    }
}

// Sizes the box to its text: 44 pixels wider (at least 160), 52 higher.
void MeasureText(MessageDialog& box, HWND window) {
    const HDC dc = GetDC(window);
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.normalFont);
    RECT measured = {0, 0, 0, 0};
    DrawTextW(dc, box.text, -1, &measured, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    ReleaseDC(window, dc);
    const int textWidth = measured.right - measured.left;
    box.dialog.width = textWidth < 116 ? 160 : textWidth + 44;
    box.dialog.height = (measured.bottom - measured.top) + 52;
    box.textRect = measured;
    OffsetRect(&box.textRect, 28, 10);
    box.markRect = {10, 10, 21, box.textRect.bottom + 1};
}

void OnInitDialog(MessageDialog& box, HWND window) {
    MeasureText(box, window);
    BeginSimpleDialog(box.dialog, window);
    const int width = box.dialog.width;
    const int height = box.dialog.height;
    if (box.kind == BOX_CONFIRMATION) {
        CreatePushButton(window, kButtonYes, L"Yes", width / 2 - 42, height - 26, 36);
        CreatePushButton(window, kButtonNo, L"No", width / 2 + 6, height - 26, 36);
    } else {
        SetWindowPos(GetDlgItem(window, IDOK), nullptr, width - 70, height - 26, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    EndSimpleDialogSetup(box.dialog);
}

void Paint(const MessageDialog& box, HDC dc) {
    const HGDIOBJ pen = PaintSimpleDialogBackground(box.dialog, dc, true);
    const Mark mark = MarkOf(box.kind);
    const HBRUSH fill = CreateSolidBrush(mark.fill);
    FillRect(dc, &box.markRect, fill);
    DeleteObject(fill);
    FrameRect(dc, &box.markRect, g_styleBrushes.Text);
    SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.boldFont);
    SetTextColor(dc, mark.ink);
    TextOutW(dc, box.markRect.left + mark.offset, box.markRect.top + 1, &mark.letter, 1);
    SelectTextStyle(dc);
    RECT text = box.textRect;
    DrawTextW(dc, box.text, -1, &text, DT_NOCLIP | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    RestoreSimpleDialogPen(dc, pen);
}

// Y and N answer a question wherever the focus is: the custom buttons pass
// their keys on to the box.
void OnKeyDown(const MessageDialog& box, WPARAM key) {
    if (box.kind == BOX_CONFIRMATION && (key == 'Y' || key == 'N'))
        CloseSimpleDialog(box.dialog, key == 'Y' ? 1 : 0);
}

void OnCommand(const MessageDialog& box, UINT id) {
    const bool question = box.kind == BOX_CONFIRMATION;
    switch (id) {
        case IDOK:
            CloseSimpleDialog(box.dialog, question ? 1 : 0);
            break;
        case kButtonYes:
        case kButtonNo:
            CloseSimpleDialog(box.dialog, id == kButtonYes ? 1 : 0);
            break;
        case IDCANCEL:
            if (!question || box.cancelAllowed) CloseSimpleDialog(box.dialog, 0);
            break;
        default:
            break;
    }
}

INT_PTR MessageDialogMessage(MessageDialog& box, HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(box, dialog);
            return TRUE;
        case WM_ERASEBKGND:
            Paint(box, reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_KEYDOWN:
            OnKeyDown(box, wParam);
            return TRUE;
        case WM_COMMAND:
            OnCommand(box, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
    }
}

// Runs the box modally over the main window with busy bit 1 set; 0 without
// running it when a box is up already.
int RunMessageBox(Document& state, MessageDialog& box) {
    if (!state.busy.Set(BUSY_MESSAGE_BOX)) return 0;
    const bool question = box.kind == BOX_CONFIRMATION;
    SetupSimpleDialog(box.dialog, MarkOf(box.kind).caption, 100, 100, question ? -1 : 1, true,
                      state.host->OwnerWindow());
    const INT_PTR result =
        ShowSimpleDialogModal(box.dialog, state.host->OwnerWindow(),
                              DialogProcOf<MessageDialog, MessageDialogMessage>, &box);
    state.busy.Clear(BUSY_MESSAGE_BOX);
    return result > 0 ? static_cast<int>(result) : 0;
}

} // namespace

void ShowMessageBox(Document& state, MessageBoxKind kind, const WCHAR* text) {
    if (kind == BOX_CONFIRMATION) return;
    MessageDialog box;
    box.text = text ? text : L"";
    box.kind = kind;
    RunMessageBox(state, box);
}

int AskConfirmation(Document& state, const WCHAR* text, bool cancelAllowed) {
    MessageDialog box;
    box.text = text ? text : L"";
    box.kind = BOX_CONFIRMATION;
    box.cancelAllowed = cancelAllowed;
    return RunMessageBox(state, box);
}
