#include "viewer/shell_link.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

IShellLinkW* g_shellLink = nullptr;
IPersistFile* g_persistFile = nullptr;

} // namespace

bool CreateShellLinkResolver() {
    if (FAILED(CoInitialize(nullptr))) return false;
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
    if (!g_shellLink || !g_persistFile) return false;
    if (FAILED(g_persistFile->Load(linkPath, STGM_READ))) return false;
    if (FAILED(g_shellLink->GetPath(target, MAX_PATH, nullptr, SLGP_UNCPRIORITY))) return false;
    // GetPath answers S_FALSE with an empty target for links to no file.
    return target[0] != 0;
}
