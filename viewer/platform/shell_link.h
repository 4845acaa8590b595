// The shell-link (.lnk) resolver: one ShellLink COM object for the run.
#pragma once

#include <windows.h>

// CoInitialize and the ShellLink object; false at the first failure.
bool CreateShellLinkResolver();
// Releases the object and ends COM for the thread.
void ReleaseShellLinkResolver();
// The link's target path (at most MAX_PATH units); false when the link
// cannot be read. Other threads than the resolver's need COM of their own.
bool ResolveShellLink(const WCHAR* linkPath, WCHAR (&target)[MAX_PATH]);
