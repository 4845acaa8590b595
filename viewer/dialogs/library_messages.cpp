#include "viewer/dialogs/library_messages.h"

#include <cstdio>
#include <string>
#include <vector>

#include "viewer/logic/library_message_list.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/dialogs/message_box.h"
#include "viewer/platform/wide_text.h"

namespace {

// The messages of the process's main handle, whose message procedures get
// no context of their own (only the main handle reports). Filled by
// whichever thread holds the main handle (the guard lets one at a time),
// shown and emptied on the user-interface thread: no lock.
LibraryMessageList g_messages;

// The boxes take a WCHAR text; the formatted text is char16_t. (No
// basic_string of WCHAR: libstdc++'s wide traits expect a 4-byte wchar_t.)
void ShowText(Document& state, MessageSeverity severity, const std::u16string& text) {
    std::vector<WCHAR> wide(text.begin(), text.end());
    wide.push_back(0);
    ShowMessage(state, severity, wide.data());
}

} // namespace

bool OnLibraryError(const char* module, const char* text) {
    AddLibraryError(g_messages, module, text);
    return true;
}

bool OnLibraryWarning(const char* module, const char* text) {
    AddLibraryWarning(g_messages, module, text, g_preferences.warningMessages != 0);
    return true;
}

void ReportTwainError(const char* text) {
    OnLibraryError("TWAIN", text);
}

bool ShowLibraryMessages(Document& state, const WCHAR* path) {
    const std::u16string widePath = ToU16(path);
    const char16_t* shownPath = path ? widePath.c_str() : nullptr;
    if (g_messages.errors.count > 0)
        ShowText(state, SHOW_ERROR, FormatLibraryMessages(shownPath, g_messages.errors));
    else if (g_messages.warnings.count > 0)
        ShowText(state, SHOW_WARNING, FormatLibraryMessages(shownPath, g_messages.warnings));
    else
        return false;
    return true;
}

void ClearLibraryMessages() {
    ClearLibraryMessages(g_messages);
}

void ReportOperationFailure(Document& state) {
    if (ShowLibraryMessages(state, nullptr))
        ClearLibraryMessages();
    else
        ShowOutOfMemory(state);
}

// The box itself holds busy bit 1 while it runs, and shows nothing when a
// box is up already.
void ShowMessage(Document& state, MessageSeverity severity, const WCHAR* text) {
    if (state.host->ShowsMessages())
        ShowMessageBox(state, static_cast<MessageBoxKind>(severity), text);
}

void ShowInformation(Document& state, const WCHAR* text) {
    ShowMessage(state, SHOW_INFORMATION, text);
}

void ShowWarning(Document& state, const WCHAR* text) {
    ShowMessage(state, SHOW_WARNING, text);
}

void ShowError(Document& state, const WCHAR* text) {
    ShowMessage(state, SHOW_ERROR, text);
}

void ShowOutOfMemory(Document& state) {
    ShowError(state, L"Out of memory");
}

void ShowNoImagesInFolder(Document& state, const WCHAR* path) {
    WCHAR text[311];
    // wsprintfW stops at 1024 units; the path is cut to keep the text in 310.
    WCHAR shortPath[260];
    lstrcpynW(shortPath, path ? path : L"", 260);
    wsprintfW(text, L"Folder: %s\n\nNo supported image files in folder\n", shortPath);
    text[310] = 0;
    ShowInformation(state, text);
}
