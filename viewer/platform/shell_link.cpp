#include "viewer/platform/shell_link.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

IShellLinkW* g_shellLink = nullptr;
IPersistFile* g_persistFile = nullptr;
DWORD g_resolverThread = 0; // the objects belong to the thread that made them

bool ReadLink(IPersistFile* file, IShellLinkW* link, const WCHAR* linkPath,
              WCHAR (&target)[MAX_PATH]) {
    if (FAILED(file->Load(linkPath, STGM_READ))) return false;
    if (FAILED(link->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY))) return false;
    // GetPath answers S_FALSE with an empty target for links to no file.
    return target[0] != 0;
}

} // namespace

bool CreateShellLinkResolver() {
    if (FAILED(CoInitialize(nullptr))) return false;
    g_resolverThread = GetCurrentThreadId();
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&g_shellLink))))
        return false;
    return SUCCEEDED(
        g_shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&g_persistFile)));
}

void ReleaseShellLinkResolver() {
    if (g_shellLink) {
        g_shellLink->Release();
        g_shellLink = nullptr;
    }
    if (g_persistFile) {
        g_persistFile->Release();
        g_persistFile = nullptr;
    }
    CoUninitialize();
}

bool ResolveShellLink(const WCHAR* linkPath, WCHAR (&target)[MAX_PATH]) {
    target[0] = 0;
    if (GetCurrentThreadId() == g_resolverThread) {
        if (!g_shellLink || !g_persistFile) return false;
        return ReadLink(g_persistFile, g_shellLink, linkPath, target);
    }
    // Workers (the folder scan, the thumbnail loader) have COM of their own
    // and use objects of their own: the process's pair is not theirs to share.
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    const bool ok =
        SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        ReadLink(file, link, linkPath, target);
    if (file) file->Release();
    if (link) link->Release();
    return ok;
}
