#include "viewer/main_window/twain_acquire.h"

#include <twain.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "viewer/main_window/busy_guard.h"
#include "resources/commands.h"
#include "viewer/logic/twain_rules.h"

namespace {

struct TwainState {
    HMODULE library = nullptr;
    DSMENTRYPROC entry = nullptr;
    TW_IDENTITY application = {};
    HWND parent = nullptr;
    bool managerOpen = false;
    std::vector<TW_IDENTITY> sources;
    TW_IDENTITY selected = {};
    bool sourceSelected = false;
    bool sourceOpen = false;
    bool sourceEnabled = false; // from the enable request until disabled
    bool uiEnabled = false;     // the enable request succeeded
    bool modalUI = false;
    int transferCount = -1;
    TW_UINT16 lastResult = TWRC_SUCCESS;
    TW_STATUS status = {};
    AcquiredImage acquired;
};

// One session per process: the source manager is loaded into the process
// once and knows it as one application (a second open is refused by it).
TwainState g_twain;

void CopyName(TW_STR32& target, const char* text) {
    lstrcpynA(target, text, sizeof target);
}

void InitTwainIdentity(TW_IDENTITY& id) {
    id = {};
    id.Id = 0;
    id.Version.MajorNum = 1;
    id.Version.MinorNum = 1;
    id.Version.Language = TWLG_USA;
    id.Version.Country = TWCY_USA;
    CopyName(id.Version.Info, "1.1.2");
    id.ProtocolMajor = 1;
    id.ProtocolMinor = 8;
    id.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyName(id.Manufacturer, "Tavrinex");
    CopyName(id.ProductFamily, "Generic");
    CopyName(id.ProductName, "Vx");
}

// One call of the manager; a failure fetches the status that explains it.
bool CallTwainManager(TW_IDENTITY* destination, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                      TW_MEMREF data) {
    if (!g_twain.library || !g_twain.entry) {
        g_twain.lastResult = TWRC_FAILURE;
        return false;
    }
    g_twain.lastResult = g_twain.entry(&g_twain.application, destination, group, dat, msg, data);
    if (g_twain.lastResult == TWRC_SUCCESS) return true;
    g_twain.status = {};
    g_twain.entry(&g_twain.application, destination, DG_CONTROL, DAT_STATUS, MSG_GET,
                  &g_twain.status);
    return false;
}

bool CallSource(TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    return CallTwainManager(&g_twain.selected, group, dat, msg, data);
}

void EnumerateTwainSources() {
    g_twain.sources.clear();
    TW_IDENTITY id = {};
    size_t count = 0;
    for (TW_UINT16 msg = MSG_GETFIRST;
         CallTwainManager(nullptr, DG_CONTROL, DAT_IDENTITY, msg, &id); msg = MSG_GETNEXT)
        ++count;
    g_twain.sources.reserve(count);
    for (TW_UINT16 msg = MSG_GETFIRST; g_twain.sources.size() < count; msg = MSG_GETNEXT) {
        id = {};
        if (!CallTwainManager(nullptr, DG_CONTROL, DAT_IDENTITY, msg, &id)) break;
        g_twain.sources.push_back(id);
    }
}

bool OpenTwainSource() {
    if (!g_twain.managerOpen || !g_twain.sourceSelected) return false;
    g_twain.sourceOpen =
        CallTwainManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &g_twain.selected);
    return g_twain.sourceOpen;
}

bool SetTwainCapability(TW_CAPABILITY& capability) {
    return g_twain.sourceOpen && CallSource(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability);
}

bool SetTwainOneValue(TW_UINT16 cap, int value, bool isSigned) {
    TW_CAPABILITY capability = {};
    capability.Cap = cap;
    capability.ConType = TWON_ONEVALUE;
    capability.hContainer = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
    if (!capability.hContainer) return false;
    auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(capability.hContainer));
    one->ItemType = isSigned ? TWTY_INT16 : TWTY_UINT16;
    one->Item = static_cast<TW_UINT16>(value);
    GlobalUnlock(capability.hContainer);
    const bool set = SetTwainCapability(capability);
    GlobalFree(capability.hContainer);
    return set;
}

// The value of a one-value capability; false when the source has none.
bool GetTwainOneValue(TW_UINT16 cap, TW_UINT32* value) {
    TW_CAPABILITY capability = {};
    capability.Cap = cap;
    capability.ConType = TWON_DONTCARE16;
    if (!g_twain.sourceOpen || !CallSource(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &capability))
        return false;
    if (!capability.hContainer) return false;
    bool read = false;
    const auto* one = static_cast<const TW_ONEVALUE*>(GlobalLock(capability.hContainer));
    if (one && capability.ConType == TWON_ONEVALUE &&
        GlobalSize(capability.hContainer) >= sizeof(TW_ONEVALUE)) {
        *value = one->ItemType == TWTY_UINT16 || one->ItemType == TWTY_INT16 ? one->Item & 0xFFFF
                                                                             : one->Item;
        read = true;
    }
    if (one) GlobalUnlock(capability.hContainer);
    GlobalFree(capability.hContainer);
    return read;
}

bool SetTwainTransferCount(int count) {
    if (SetTwainOneValue(CAP_XFERCOUNT, count, true)) {
        g_twain.transferCount = count;
        return true;
    }
    // The source keeps its own count: it is set back as it stands.
    TW_UINT32 current = 0;
    if (g_twain.lastResult != TWRC_CHECKSTATUS || !GetTwainOneValue(CAP_XFERCOUNT, &current))
        return false;
    if (!SetTwainOneValue(CAP_XFERCOUNT, static_cast<int>(current), false)) return false;
    g_twain.transferCount = static_cast<int16_t>(current);
    return true;
}

bool EnableTwainSource() {
    if (!g_twain.sourceOpen || g_twain.sourceEnabled) return false;
    TW_USERINTERFACE ui = {};
    ui.ShowUI = TRUE;
    ui.hParent = g_twain.parent;
    g_twain.sourceEnabled = true; // events may arrive during the request
    if (CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui)) {
        g_twain.uiEnabled = true;
        g_twain.modalUI = ui.ModalUI != 0;
        return true;
    }
    g_twain.uiEnabled = g_twain.modalUI = false;
    g_twain.sourceEnabled = false;
    return false;
}

void DisableTwainSource() {
    if (!g_twain.sourceEnabled) return;
    if (g_twain.uiEnabled) {
        TW_USERINTERFACE ui = {};
        ui.hParent = g_twain.parent;
        if (!CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui)) return;
    }
    g_twain.sourceEnabled = false;
    g_twain.uiEnabled = false;
}

void CloseTwainManager() {
    if (!g_twain.managerOpen) return;
    CloseTwainSource();
    TW_MEMREF parent = &g_twain.parent;
    CallTwainManager(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, parent);
    g_twain.managerOpen = false;
}

bool GetTwainImageInfo(TW_IMAGEINFO& info) {
    info = {};
    return g_twain.sourceEnabled && CallSource(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
}

// True when more images are pending.
bool EndTwainTransfer() {
    TW_PENDINGXFERS pending = {};
    return CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) && pending.Count != 0;
}

void ResetPendingTransfers() {
    TW_PENDINGXFERS pending = {};
    CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
}

// Every end but success: the source goes back to waiting for the user, the
// half-filled image is dropped, and the main window is told.
void FailTransfer(MainWindowState& state, TwainResult result) {
    ResetPendingTransfers();
    ILClearImage(&g_twain.acquired.image);
    state.busy.Clear(BUSY_TWAIN_TRANSFER);
    SendMessageW(state.window, WM_COMMAND, CMD_TWAIN_EVENT, result);
}

void FillAcquiredFacts(const TW_IMAGEINFO& info, uint32_t colorType) {
    AcquiredImage& a = g_twain.acquired;
    a.width = static_cast<uint32_t>(info.ImageWidth);
    a.height = static_cast<uint32_t>(info.ImageLength);
    a.bitsPerPixel = static_cast<uint32_t>(std::max<TW_INT16>(info.BitsPerPixel, 0));
    a.channels = static_cast<uint32_t>(std::max<TW_INT16>(info.SamplesPerPixel, 0));
    a.colorType = colorType;
    a.ppiX = static_cast<uint32_t>(
        std::max(0, Fix32ToInt(info.XResolution.Whole, info.XResolution.Frac)));
    a.ppiY = static_cast<uint32_t>(
        std::max(0, Fix32ToInt(info.YResolution.Whole, info.YResolution.Frac)));
}

// Memory transfers into the image until the source ends the image. Answers
// the source's last code: TWRC_XFERDONE, TWRC_CANCEL, or TWRC_FAILURE for
// every other end (a failure, an unknown code, a source that writes more
// than it was given or stops making progress). A cancelled image keeps the
// rows received, and the rest is made black.
TW_UINT16 ReceiveRows(ILImage& image, TW_UINT32 preferredSize) {
    const uint64_t total = static_cast<uint64_t>(image.stride) * image.height;
    uint64_t received = 0;
    for (;;) {
        TW_IMAGEMEMXFER transfer = {};
        transfer.Compression = TWCP_NONE;
        transfer.BytesPerRow = static_cast<TW_UINT32>(image.stride);
        transfer.Columns = image.width;
        transfer.Rows = image.height;
        transfer.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        transfer.Memory.Length =
            static_cast<TW_UINT32>(std::min<uint64_t>(preferredSize, total - received));
        transfer.Memory.TheMem = image.data + received;
        CallSource(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &transfer);
        const TW_UINT16 result = g_twain.lastResult;
        if (result != TWRC_SUCCESS && result != TWRC_XFERDONE && result != TWRC_CANCEL)
            return TWRC_FAILURE;
        if (result == TWRC_CANCEL) {
            std::memset(image.data + received, 0, static_cast<size_t>(total - received));
            return result;
        }
        if (transfer.BytesWritten > transfer.Memory.Length) return TWRC_FAILURE;
        received += transfer.BytesWritten;
        if (result == TWRC_XFERDONE) return result;
        if (transfer.BytesWritten == 0) return TWRC_FAILURE;
    }
}

// Takes one announced image; true when the source has more pending.
bool TransferTwainImage(MainWindowState& state, const TW_IMAGEINFO& info) {
    if (!BeginImageChange(state, ImageChange::Acquire, ChangeAsker::User)) {
        // The image stays with the source, which waits for the user again.
        ResetPendingTransfers();
        return false;
    }
    TW_SETUPMEMXFER setup = {};
    if (!CallSource(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup)) {
        FailTransfer(state, TWAIN_NO_MEMORY_TRANSFER);
        return false;
    }
    TW_UINT32 flavor = TWPF_CHOCOLATE;
    if (!GetTwainOneValue(ICAP_PIXELFLAVOR, &flavor)) flavor = TWPF_CHOCOLATE;

    const int16_t bits[3] = {info.BitsPerSample[0], info.BitsPerSample[1], info.BitsPerSample[2]};
    const ScanPixelType pixel = ScanPixelTypeFor(info.PixelType, bits);
    if (pixel.type == 0 || info.ImageWidth <= 0 || info.ImageLength <= 0) {
        FailTransfer(state, TWAIN_UNSUPPORTED);
        return false;
    }
    state.busy.Set(BUSY_TWAIN_TRANSFER);
    ILImage& image = g_twain.acquired.image;
    if (ILReallocImage(&image, static_cast<uint32_t>(info.ImageWidth),
                       static_cast<uint32_t>(info.ImageLength), pixel.type, nullptr) != IL_OK ||
        !image.data) {
        FailTransfer(state, TWAIN_OUT_OF_MEMORY);
        return false;
    }
    const TW_UINT32 preferred = setup.Preferred > 0 ? setup.Preferred : setup.MaxBufSize;
    const TW_UINT16 end = ReceiveRows(image, preferred > 0 ? preferred : 65536);
    if (end == TWRC_FAILURE) {
        FailTransfer(state, TWAIN_FAILED);
        return false;
    }
    const bool more = EndTwainTransfer();
    if (image.type == IL_GREY1 && flavor == TWPF_VANILLA) ILInvertImage(&image);
    if (image.channels >= 3) ILSwapRedBlue(&image); // R,G,B rows into B,G,R
    FillAcquiredFacts(info, pixel.colorType);
    state.busy.Clear(BUSY_TWAIN_TRANSFER);
    SendMessageW(state.window, WM_COMMAND, CMD_TWAIN_EVENT,
                 end == TWRC_XFERDONE ? TWAIN_IMAGE_DONE : TWAIN_IMAGE_CANCELLED);
    return more;
}

void OnTwainTransferReady(MainWindowState& state) {
    TW_IMAGEINFO info;
    while (GetTwainImageInfo(info) && TransferTwainImage(state, info)) {}
}

} // namespace

AcquiredImage& TwainAcquiredImage() {
    return g_twain.acquired;
}

bool LoadTwainManager(HWND mainWindow) {
    if (g_twain.library && g_twain.entry && g_twain.managerOpen) return true;
    InitTwainIdentity(g_twain.application);
    g_twain.parent = mainWindow;
    if (!g_twain.library) {
        for (const char* name : {"TWAIN_32.DLL", "TWAINDSM.DLL"}) {
            g_twain.library = LoadLibraryA(name);
            if (!g_twain.library) continue;
            g_twain.entry = reinterpret_cast<DSMENTRYPROC>(
                reinterpret_cast<void*>(GetProcAddress(g_twain.library, MAKEINTRESOURCEA(1))));
            if (g_twain.entry) break;
            FreeLibrary(g_twain.library);
            g_twain.library = nullptr;
        }
        if (!g_twain.library) return false;
    }
    TW_MEMREF parent = &g_twain.parent;
    g_twain.managerOpen = CallTwainManager(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, parent);
    if (g_twain.managerOpen) EnumerateTwainSources();
    return g_twain.managerOpen;
}

void UnloadTwainManager() {
    if (!g_twain.library) return;
    CloseTwainManager();
    if (g_twain.sourceEnabled) return;
    FreeLibrary(g_twain.library);
    g_twain.library = nullptr;
    g_twain.entry = nullptr;
    g_twain.sources.clear();
    g_twain.sources.shrink_to_fit();
    ILClearImage(&g_twain.acquired.image);
}

int TwainSourceCount() {
    return static_cast<int>(g_twain.sources.size());
}

namespace {

std::string SourceName(const TW_IDENTITY& id) {
    return FormatTwainSourceName({id.ProductName, sizeof id.ProductName}, id.Version.MajorNum,
                                 id.Version.MinorNum);
}

} // namespace

std::string TwainSourceName(int index) {
    if (index < 0 || index >= TwainSourceCount()) return {};
    return SourceName(g_twain.sources[static_cast<size_t>(index)]);
}

std::string SelectedTwainSourceName() {
    return g_twain.sourceSelected ? SourceName(g_twain.selected) : std::string();
}

bool SelectTwainSource(int index) {
    if (index < 0 || index >= TwainSourceCount()) return false;
    g_twain.selected = g_twain.sources[static_cast<size_t>(index)];
    g_twain.sourceSelected = true;
    return true;
}

bool AcquireFromTwain() {
    if (!g_twain.sourceOpen && !OpenTwainSource()) return false;
    return SetTwainTransferCount(1) && EnableTwainSource();
}

bool TwainSourceEnabled() {
    return g_twain.sourceEnabled;
}

bool ProcessTwainEvent(MainWindowState& state, MSG* message) {
    TW_EVENT event = {};
    event.pEvent = message;
    event.TWMessage = MSG_NULL;
    // Only a message the source took is kept from the window: a manager
    // that fails the call must not swallow the whole message loop.
    CallSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
    if (g_twain.lastResult != TWRC_DSEVENT) return false;
    switch (event.TWMessage) {
        case MSG_XFERREADY:
            OnTwainTransferReady(state);
            break;
        case MSG_CLOSEDSREQ:
            CloseTwainSource();
            break;
        default:
            break;
    }
    return true;
}

void CloseTwainSource() {
    if (!g_twain.sourceOpen) return;
    DisableTwainSource();
    CallTwainManager(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &g_twain.selected);
    g_twain.sourceOpen = false;
}

void CloseTwainSourceUnlessUI() {
    if (!g_twain.uiEnabled) CloseTwainSource();
}
