// The errors and warnings that the main handle reports during one library
// call, shown and emptied by the command that made the call; and the
// message-box calls every window of the viewer uses.
#pragma once

#include <windows.h>

#include "viewer/document/document.h"

// The main handle's message procedures (ILMessageProc).
bool OnLibraryError(const char* module, const char* text);
bool OnLibraryWarning(const char* module, const char* text);
void ReportTwainError(const char* text);

// Shows the kept errors (or, without errors, the warnings), headed by the
// path when one is given; false when both lists are empty. Does not clear.
bool ShowLibraryMessages(Document& state, const WCHAR* path);
void ClearLibraryMessages();
// After a failed image operation: the kept messages, or "Out of memory" when
// the library left none.
void ReportOperationFailure(Document& state);

enum MessageSeverity : int { SHOW_INFORMATION = 1, SHOW_WARNING = 2, SHOW_ERROR = 3 };

// Dropped (not queued) during the slideshow or while another box is up.
void ShowMessage(Document& state, MessageSeverity severity, const WCHAR* text);
void ShowInformation(Document& state, const WCHAR* text);
void ShowWarning(Document& state, const WCHAR* text);
void ShowError(Document& state, const WCHAR* text);
void ShowOutOfMemory(Document& state);
void ShowNoImagesInFolder(Document& state, const WCHAR* path);
