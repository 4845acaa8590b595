// The viewer's message boxes: a mark (?, i, !, x) in the kind's colour beside
// the text, one "OK" button, or "Yes" and "No" for a question. Each box is an
// empty dialog template sized to its text in code.
#include "viewer/message_box.h"

#include "viewer/style.h"
#include "viewer/window_state.h"
#include "viewer/window_utils.h"

namespace {

constexpr int kButtonBar = 32;
constexpr int kButtonHeight = 20;
constexpr int kButtonYes = 6;
constexpr int kButtonNo = 7;

// The box's state object.
struct MessageDialog {
    HWND owner = nullptr;
    const WCHAR* text = nullptr; // not owned
    MessageBoxKind kind = BOX_INFORMATION;
    bool cancelAllowed = false;
    RECT textRect = {};
    RECT markRect = {};
    int width = 0;
    int height = 0;
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

HWND MakeButton(HWND dialog, const WCHAR* label, int id, int x, int y, int width) {
    const HWND button = CreateWindowExW(
        0, L"BUTTON", label, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x, y, width,
        kButtonHeight, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        GetModuleHandleW(nullptr), nullptr);
    if (g_interfaceFonts.normalFont)
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(g_interfaceFonts.normalFont), 0);
    return button;
}

// At the main window's client corner, as every simple dialog opens.
void PlaceAtOwner(HWND dialog, HWND ownerWindow, int outerWidth, int outerHeight) {
    RECT owner = {};
    if (ownerWindow) GetWindowRect(ownerWindow, &owner);
    SetWindowPos(dialog, nullptr, owner.left + WindowBorderWidth(),
                 owner.top + WindowCaptionOffset(), outerWidth, outerHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void CreateControls(HWND dialog, MessageDialog& box) {
    const HDC dc = GetDC(dialog);
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.normalFont);
    RECT measured = {0, 0, 0, 0};
    DrawTextW(dc, box.text, -1, &measured, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    ReleaseDC(dialog, dc);

    const int textWidth = measured.right - measured.left;
    box.width = textWidth < 116 ? 160 : textWidth + 44;
    box.height = (measured.bottom - measured.top) + 52;
    RECT outer = {0, 0, box.width, box.height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
    PlaceAtOwner(dialog, box.owner, outer.right - outer.left, outer.bottom - outer.top);

    box.textRect = measured;
    OffsetRect(&box.textRect, 28, 10);
    box.markRect = {10, 10, 21, box.textRect.bottom + 1};

    if (box.kind == BOX_CONFIRMATION) {
        MakeButton(dialog, L"Yes", kButtonYes, box.width / 2 - 42, box.height - 26, 36);
        MakeButton(dialog, L"No", kButtonNo, box.width / 2 + 6, box.height - 26, 36);
    } else {
        MakeButton(dialog, L"OK", IDOK, box.width - 70, box.height - 26, 64);
    }
}

void Paint(HWND dialog, const MessageDialog& box) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(dialog, &ps);
    const RECT content = {0, 0, box.width, box.height - kButtonBar};
    const RECT line = {0, content.bottom - 1, box.width, content.bottom};
    const RECT bar = {0, box.height - kButtonBar, box.width, box.height};
    FillRect(dc, &content, g_styleBrushes.Face);
    FillRect(dc, &line, g_styleBrushes.Highlight);
    FillRect(dc, &bar, g_styleBrushes.Window);

    const Mark mark = MarkOf(box.kind);
    const HBRUSH fill = CreateSolidBrush(mark.fill);
    FillRect(dc, &box.markRect, fill);
    DeleteObject(fill);
    FrameRect(dc, &box.markRect, g_styleBrushes.Text);
    SetBkMode(dc, TRANSPARENT);
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.boldFont);
    SetTextColor(dc, mark.ink);
    TextOutW(dc, box.markRect.left + mark.offset, box.markRect.top + 1, &mark.letter, 1);

    SelectObject(dc, g_interfaceFonts.normalFont);
    SetTextColor(dc, g_styleColors.Text);
    RECT text = box.textRect;
    DrawTextW(dc, box.text, -1, &text, DT_NOCLIP | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    EndPaint(dialog, &ps);
}

// Y and N answer a question wherever the focus is: the buttons pass them on.
LRESULT CALLBACK QuestionButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto original = reinterpret_cast<WNDPROC>(GetPropW(button, L"VxOriginalProc"));
    if (message == WM_KEYDOWN && (wParam == 'Y' || wParam == 'N'))
        return SendMessageW(GetParent(button), message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(button, L"VxOriginalProc");
    }
    return CallWindowProcW(original, button, message, wParam, lParam);
}

void PassAnswerKeys(HWND dialog) {
    for (int id : {kButtonYes, kButtonNo}) {
        const HWND button = GetDlgItem(dialog, id);
        const auto original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(QuestionButtonProc)));
        SetPropW(button, L"VxOriginalProc", reinterpret_cast<HANDLE>(original));
    }
}

void OnInitDialog(MessageDialog& box, HWND dialog) {
    SetWindowTextW(dialog, MarkOf(box.kind).caption);
    CreateControls(dialog, box);
    if (box.kind == BOX_CONFIRMATION) PassAnswerKeys(dialog);
}

void OnKeyDown(const MessageDialog& box, HWND dialog, WPARAM key) {
    if (box.kind == BOX_CONFIRMATION && (key == 'Y' || key == 'N'))
        EndDialog(dialog, key == 'Y' ? 1 : 0);
}

bool OnCommand(const MessageDialog& box, HWND dialog, UINT id) {
    switch (id) {
        case IDOK:
            EndDialog(dialog, box.kind == BOX_CONFIRMATION ? 1 : 0);
            return true;
        case kButtonYes:
        case kButtonNo:
            EndDialog(dialog, id == kButtonYes ? 1 : 0);
            return true;
        case IDCANCEL:
            if (box.kind != BOX_CONFIRMATION || box.cancelAllowed) EndDialog(dialog, 0);
            return true;
        default:
            return false;
    }
}

INT_PTR MessageDialogMessage(MessageDialog& box, HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(box, dialog);
            return TRUE;
        case WM_ERASEBKGND:
            return TRUE;
        case WM_PAINT:
            Paint(dialog, box);
            return TRUE;
        case WM_KEYDOWN:
            OnKeyDown(box, dialog, wParam);
            return TRUE;
        case WM_COMMAND:
            return OnCommand(box, dialog, LOWORD(wParam));
        default:
            return FALSE;
    }
}

// Runs the box modally over the main window with busy bit 1 set; 0 without
// running it when a box is up already.
int RunMessageBox(MainWindowState& state, MessageDialog& box) {
    if (!state.busy.Set(BUSY_MESSAGE_BOX)) return 0;
    box.owner = state.window;
    const WCHAR* templateName = box.kind == BOX_CONFIRMATION ? L"VxASK" : L"VxDLG";
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), templateName, state.window,
                                           DialogProcOf<MessageDialog, MessageDialogMessage>,
                                           reinterpret_cast<LPARAM>(&box));
    state.busy.Clear(BUSY_MESSAGE_BOX);
    return result > 0 ? static_cast<int>(result) : 0;
}

} // namespace

void ShowMessageBox(MainWindowState& state, MessageBoxKind kind, const WCHAR* text) {
    if (kind == BOX_CONFIRMATION) return;
    MessageDialog box;
    box.text = text ? text : L"";
    box.kind = kind;
    RunMessageBox(state, box);
}

int AskConfirmation(MainWindowState& state, const WCHAR* text, bool cancelAllowed) {
    MessageDialog box;
    box.text = text ? text : L"";
    box.kind = BOX_CONFIRMATION;
    box.cancelAllowed = cancelAllowed;
    return RunMessageBox(state, box);
}
