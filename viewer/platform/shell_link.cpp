#include "viewer/platform/shell_link.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

// The process's resolver: made once at start-up on the user-interface
// thread, whose COM apartment the objects belong to; other threads make
// objects of their own.
struct Resolver {
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    DWORD thread = 0; // the thread that made them
};
Resolver g_resolver;

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
    g_resolver.thread = GetCurrentThreadId();
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&g_resolver.link))))
        return false;
    return SUCCEEDED(g_resolver.link->QueryInterface(IID_IPersistFile,
                                                     reinterpret_cast<void**>(&g_resolver.file)));
}

void ReleaseShellLinkResolver() {
    if (g_resolver.link) {
        g_resolver.link->Release();
        g_resolver.link = nullptr;
    }
    if (g_resolver.file) {
        g_resolver.file->Release();
        g_resolver.file = nullptr;
    }
    CoUninitialize();
}

bool ResolveShellLink(const WCHAR* linkPath, WCHAR (&target)[MAX_PATH]) {
    target[0] = 0;
    if (GetCurrentThreadId() == g_resolver.thread) {
        if (!g_resolver.link || !g_resolver.file) return false;
        return ReadLink(g_resolver.file, g_resolver.link, linkPath, target);
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
