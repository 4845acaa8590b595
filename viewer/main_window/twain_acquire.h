// Acquiring images from scanners and cameras through the platform's TWAIN
// source manager (protocol 1.8). Everything runs on the user-interface
// thread: the message loop hands every message to an enabled source first,
// and a ready image is taken by memory transfer into an image of its own,
// which the main window takes over when command 1033 reports success.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imglib/imglib.h"
#include "viewer/main_window/main_window_state.h"

// The outcome of a transfer, sent as lParam of command 1033.
enum TwainResult : int {
    TWAIN_IMAGE_DONE = 1,      // the whole image arrived
    TWAIN_IMAGE_CANCELLED = 2, // the source cancelled; the rows so far are kept
    TWAIN_FAILED = 3,
    TWAIN_UNSUPPORTED = 4,
    TWAIN_OUT_OF_MEMORY = 5,
    TWAIN_NO_MEMORY_TRANSFER = 6,
};

// The image of the last successful transfer and the facts for its source
// info; the main window takes the image over (code 1 or 2).
struct AcquiredImage {
    ILImage image;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 0;
    uint32_t channels = 0;
    uint32_t colorType = 0;
    uint32_t ppiX = 0;
    uint32_t ppiY = 0;
};
AcquiredImage& TwainAcquiredImage();

// Loads and opens the source manager with the main window as parent and
// lists the sources; true when it is open (at once when it was).
bool LoadTwainManager(HWND mainWindow);
// Closes the manager and, unless a source is still enabled, frees it.
void UnloadTwainManager();

int TwainSourceCount();
// "Name - major.minor" of source i, empty outside the list (UTF-8).
std::string TwainSourceName(int index);
std::string SelectedTwainSourceName();
bool SelectTwainSource(int index);
// Opens the selected source when needed, asks for one image and enables
// it with its own user interface.
bool AcquireFromTwain();

bool TwainSourceEnabled();
// Gives the message to the enabled source; true when the source consumed
// it (it goes no further). A ready image is transferred from here.
bool ProcessTwainEvent(MainWindowState& state, MSG* message);

void CloseTwainSource();
// After a transfer: a source showing its own interface stays open for
// further scans until it asks to be closed.
void CloseTwainSourceUnlessUI();
