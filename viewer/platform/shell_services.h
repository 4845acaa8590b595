// Services of the Windows shell that the viewer uses: the recycle bin, the
// folder chooser and the help file.
#pragma once

#include <windows.h>

#include "viewer/platform/paths.h"

// paths: NUL-terminated paths, the list ended by an empty one. Shows the
// shell's own confirmation, no progress.
bool DeleteToRecycleBin(const WCHAR* paths);
bool RecycleFile(const WCHAR* path);
// paths as above, into the folder; the shell shows its own confirmations and
// progress. False when it failed or the user aborted.
bool CopyOrMoveFiles(const WCHAR* paths, const WCHAR* folder, bool move);
// The folder chooser (the List window owns it); false when cancelled.
bool ChooseFolder(HWND owner, const WCHAR* title, WCHAR (&path)[kPathUnits]);
// Opens "Doc\Vx.htm" beside the program file; path receives that path (for
// the message when the shell cannot open it). Answers the shell's answer:
// above 32 when it opened the file, else an SE_ERR_ code.
INT_PTR ShowHelp(HWND owner, WCHAR (&path)[kPathUnits]);
