#include "viewer/main_window/acquired_image.h"

#include <algorithm>

#include "resources/commands.h"
#include "viewer/main_window/folder_list_view.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/main_window/numbered_names.h"
#include "viewer/main_window/open_image.h"
#include "viewer/main_window/twain_acquire.h"

namespace {

// The transfer filled an image of its own: it replaces the current one only
// now, so the display never read rows that the source was still writing.
void OnTwainImageAcquired(MainWindowState& state) {
    AcquiredImage& acquired = TwainAcquiredImage();
    state.display.Free(); // may share the old image's rows
    ILMoveImage(&state.image, &acquired.image, true, false);
    ILClearInfo(&state.info); // also the page count and number
    state.info.width = acquired.width;
    state.info.height = acquired.height;
    state.info.bitsPerPixel = acquired.bitsPerPixel;
    state.info.channels = acquired.channels;
    state.info.colorType = acquired.colorType;
    state.info.ppiX = acquired.ppiX;
    state.info.ppiY = acquired.ppiY;

    MakeNumberedName(u"Acquired", state.acquiredImageCounter, state.currentPath);
    SetDisplayPath(state, state.currentPath);
    state.loadTimeText[0] = 0;
    ShowNewImage(state, IMAGE_ACQUIRED, SelectedTwainSourceName().c_str());
    EmptyFolderList(state);
    CloseTwainSourceUnlessUI();
}

void ShowKeptMessages(MainWindowState& state) {
    ShowLibraryMessages(state, nullptr);
    ClearLibraryMessages();
}

void ShowTwainError(MainWindowState& state, const char* text) {
    ReportTwainError(text);
    ShowKeptMessages(state);
}

} // namespace

void BuildAcquireMenu(MainWindowState& state) {
    // The commands of the submenu's items cover the first 16 sources.
    constexpr int kMaxListed = CMD_TWAIN_SOURCE_LAST - CMD_TWAIN_SOURCE_FIRST + 1;
    state.twainSourceCount = std::min(TwainSourceCount(), kMaxListed);
    if (!state.mainMenu || state.twainSourceCount == 0) return;
    HMENU sources = CreatePopupMenu();
    if (!sources) return;
    for (int i = 0; i < state.twainSourceCount; ++i) {
        WCHAR name[64];
        MultiByteToWideChar(CP_ACP, 0, TwainSourceName(i).c_str(), -1, name, 64);
        name[63] = 0;
        AppendMenuW(sources, MF_STRING, CMD_TWAIN_SOURCE_FIRST + static_cast<UINT>(i), name);
    }
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_SUBMENU | MIIM_STATE;
    item.hSubMenu = sources;
    item.fState = MFS_ENABLED;
    if (!SetMenuItemInfoW(state.mainMenu, CMD_ACQUIRE, FALSE, &item)) DestroyMenu(sources);
}

void AcquireFromSource(MainWindowState& state, int index) {
    if (!SelectTwainSource(index))
        ReportTwainError("Failed to select source");
    else if (!AcquireFromTwain())
        ReportTwainError("Failed to open source manager");
    ShowKeptMessages(state);
}

// A failed transfer leaves the current image as it was: the scan went into
// an image of its own.
void OnTwainResult(MainWindowState& state, int code) {
    if (code == TWAIN_IMAGE_DONE || code == TWAIN_IMAGE_CANCELLED) {
        OnTwainImageAcquired(state);
        return;
    }
    // The texts of codes 3 to 6.
    constexpr const char* kFailures[] = {
        "Failed to acquire image",
        "Unsupported image format",
        "Out of memory",
        "Data source does not support memory transfer",
    };
    if (code < TWAIN_FAILED || code > TWAIN_NO_MEMORY_TRANSFER) return;
    ShowTwainError(state, kFailures[code - TWAIN_FAILED]);
    CloseTwainSourceUnlessUI();
}
