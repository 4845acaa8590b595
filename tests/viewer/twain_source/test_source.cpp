// A TWAIN data source for the viewer's tests, loaded by Wine's source
// manager as "sane.ds" (built as sane.ds.so and found on WINEDLLPATH). It
// has no user interface: enabling it announces one image, and once that
// image has been taken or refused it asks to be closed, as a scanner dialog
// that closes after one scan does.
//
// The file named by VX_TWAIN_SOURCE_MODE holds one word, read each time the
// source is opened or enabled:
//   rgb8     8-bit RGB                    rgb16   16-bit RGB
//   bw       1-bit, pixel flavour vanilla (0 is white: the viewer inverts)
//   bwchocolate  1-bit, pixel flavour chocolate (0 is black: taken as sent)
//   grey4    4-bit grey (the viewer cannot take it)
//   cancel   8-bit RGB, cancelled after the first half of the rows
//   fail     8-bit RGB, failing after the first strip
//   nomemory 8-bit RGB without memory transfers
//   oddcode  8-bit RGB whose memory transfers answer TWRC_CHECKSTATUS and
//            write nothing, for ever
//   keepcount  8-bit RGB from a source that answers TWRC_CHECKSTATUS to a
//            signed transfer count and takes only its own count (-1) back
// Every kind but grey4 shows the pattern of PatternSample, 40 x 30 pixels,
// sent in strips of four rows. The source writes its state ("open",
// "enabled", "closed") into the file of that name with ".state" added, so
// that a test can wait until the viewer has closed it.
#include <windows.h>
#include <twain.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr TW_UINT32 kWidth = 40;
constexpr TW_UINT32 kHeight = 30;
constexpr TW_UINT32 kStripRows = 4;

enum class Mode {
    Rgb8,
    Rgb16,
    BlackWhite,
    Chocolate,
    Grey4,
    Cancel,
    Fail,
    NoMemory,
    OddCode,
    KeepCount
};

struct Source {
    Mode mode = Mode::Rgb8;
    TW_UINT16 pendingEvent = MSG_NULL; // handed out by the next MSG_PROCESSEVENT
    bool transferReady = false;
    TW_UINT32 nextRow = 0;
    TW_UINT16 condition = TWCC_SUCCESS;
};

Source g_source;

Mode ReadMode() {
    const char* path = std::getenv("VX_TWAIN_SOURCE_MODE");
    char word[16] = {};
    if (FILE* file = path ? std::fopen(path, "r") : nullptr) {
        if (std::fscanf(file, "%15s", word) != 1) word[0] = 0;
        std::fclose(file);
    }
    const struct {
        const char* name;
        Mode mode;
    } modes[] = {
        {"rgb16", Mode::Rgb16},       {"bw", Mode::BlackWhite},   {"bwchocolate", Mode::Chocolate},
        {"grey4", Mode::Grey4},       {"cancel", Mode::Cancel},   {"fail", Mode::Fail},
        {"nomemory", Mode::NoMemory}, {"oddcode", Mode::OddCode}, {"keepcount", Mode::KeepCount}};
    for (const auto& m : modes)
        if (std::strcmp(word, m.name) == 0) return m.mode;
    return Mode::Rgb8;
}

// Red runs across, green down, blue along the diagonal; the black-and-white
// kind shows 5 x 5 checks, white at the top left.
unsigned PatternSample(TW_UINT32 x, TW_UINT32 y, int channel) {
    switch (channel) {
        case 0:
            return x * 6;
        case 1:
            return y * 8;
        default:
            return (x + y) * 3;
    }
}

bool PatternWhite(TW_UINT32 x, TW_UINT32 y) {
    return ((x / 5) + (y / 5)) % 2 == 0;
}

void WriteState(const char* state) {
    const char* mode = std::getenv("VX_TWAIN_SOURCE_MODE");
    if (!mode) return;
    char path[1024];
    std::snprintf(path, sizeof path, "%s.state", mode);
    if (FILE* file = std::fopen(path, "w")) {
        std::fprintf(file, "%s\n", state);
        std::fclose(file);
    }
}

// A hidden window of the source's own, on the application's thread, ticks
// while the source is enabled: its messages pass the application's loop,
// which hands them to the manager and so to us, and we hand out the pending
// event with them. Ticks that a modal loop (a message box) dispatches
// instead reach the window procedure and are simply lost.
HWND g_window = nullptr;
constexpr UINT_PTR kTick = 1;

void StartTicking() {
    if (!g_window)
        g_window = CreateWindowExA(0, "Static", "Vx test source", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, nullptr, nullptr);
    if (g_window) SetTimer(g_window, kTick, 20, nullptr);
}

void StopTicking() {
    if (g_window) KillTimer(g_window, kTick);
}

void Announce(TW_UINT16 event) {
    g_source.pendingEvent = event;
}

TW_UINT16 Fail(TW_UINT16 condition) {
    g_source.condition = condition;
    return TWRC_FAILURE;
}

void FillIdentity(TW_IDENTITY* id) {
    id->Id = 0;
    id->Version.MajorNum = 2;
    id->Version.MinorNum = 5;
    id->Version.Language = TWLG_USA;
    id->Version.Country = TWCY_USA;
    lstrcpynA(id->Version.Info, "test", sizeof id->Version.Info);
    id->ProtocolMajor = 1;
    id->ProtocolMinor = 8;
    id->SupportedGroups = DG_CONTROL | DG_IMAGE;
    lstrcpynA(id->Manufacturer, "Vx tests", sizeof id->Manufacturer);
    lstrcpynA(id->ProductFamily, "Test", sizeof id->ProductFamily);
    lstrcpynA(id->ProductName, "Vx Test Scanner", sizeof id->ProductName);
}

TW_UINT16 OneValue(TW_CAPABILITY* cap, TW_UINT16 type, TW_UINT32 value) {
    cap->ConType = TWON_ONEVALUE;
    cap->hContainer = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
    if (!cap->hContainer) return Fail(TWCC_LOWMEMORY);
    auto* one = static_cast<TW_ONEVALUE*>(GlobalLock(cap->hContainer));
    one->ItemType = type;
    one->Item = value;
    GlobalUnlock(cap->hContainer);
    return TWRC_SUCCESS;
}

// The source that keeps its count takes only an unsigned 0xFFFF (-1).
TW_UINT16 SetTransferCount(const TW_CAPABILITY* cap) {
    if (g_source.mode != Mode::KeepCount) return TWRC_SUCCESS;
    const auto* one = static_cast<const TW_ONEVALUE*>(GlobalLock(cap->hContainer));
    if (!one) return Fail(TWCC_BADVALUE);
    const bool own = one->ItemType == TWTY_UINT16 && (one->Item & 0xFFFF) == 0xFFFF;
    GlobalUnlock(cap->hContainer);
    return own ? TWRC_SUCCESS : TWRC_CHECKSTATUS;
}

TW_UINT16 Capability(TW_UINT16 msg, TW_CAPABILITY* cap) {
    if (msg == MSG_SET && cap->Cap == CAP_XFERCOUNT) return SetTransferCount(cap);
    if (msg == MSG_GET && cap->Cap == CAP_XFERCOUNT) return OneValue(cap, TWTY_INT16, 0xFFFF);
    if (msg == MSG_GET && cap->Cap == ICAP_PIXELFLAVOR)
        return OneValue(cap, TWTY_UINT16,
                        g_source.mode == Mode::BlackWhite ? TWPF_VANILLA : TWPF_CHOCOLATE);
    return Fail(TWCC_CAPUNSUPPORTED);
}

int BitsPerSample() {
    switch (g_source.mode) {
        case Mode::Rgb16:
            return 16;
        case Mode::BlackWhite:
        case Mode::Chocolate:
            return 1;
        case Mode::Grey4:
            return 4;
        default:
            return 8;
    }
}

TW_UINT16 ImageInfo(TW_IMAGEINFO* info) {
    if (!g_source.transferReady) return Fail(TWCC_SEQERROR);
    std::memset(info, 0, sizeof *info);
    info->XResolution.Whole = 150;
    info->YResolution.Whole = 150;
    info->ImageWidth = kWidth;
    info->ImageLength = kHeight;
    const int bits = BitsPerSample();
    const bool colour = bits >= 8 && g_source.mode != Mode::Grey4;
    info->SamplesPerPixel = colour ? 3 : 1;
    for (int i = 0; i < info->SamplesPerPixel; ++i)
        info->BitsPerSample[i] = static_cast<TW_INT16>(bits);
    info->BitsPerPixel = static_cast<TW_INT16>(bits * info->SamplesPerPixel);
    info->PixelType = colour ? TWPT_RGB : bits == 1 ? TWPT_BW : TWPT_GRAY;
    info->Compression = TWCP_NONE;
    return TWRC_SUCCESS;
}

void WriteRow(BYTE* row, TW_UINT32 y) {
    const int bits = BitsPerSample();
    for (TW_UINT32 x = 0; x < kWidth; ++x) {
        if (bits == 1) {
            // Vanilla: 0 is white; chocolate: 0 is black.
            const bool one =
                g_source.mode == Mode::Chocolate ? PatternWhite(x, y) : !PatternWhite(x, y);
            if (one) row[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            continue;
        }
        if (bits == 4) {
            if (x % 2 == 0) row[x / 2] = static_cast<BYTE>((x % 16) << 4 | ((x + 1) % 16));
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            const unsigned v = PatternSample(x, y, c);
            if (bits == 8) {
                row[3 * x + c] = static_cast<BYTE>(v);
            } else {
                // Whole 8-bit steps, so that the display's 16 to 8-bit
                // reduction (which may dither) gives back the 8-bit pattern.
                const unsigned v16 = v * 257;
                row[6 * x + 2 * c] = static_cast<BYTE>(v16 & 0xFF);
                row[6 * x + 2 * c + 1] = static_cast<BYTE>(v16 >> 8);
            }
        }
    }
}

TW_UINT16 MemoryTransfer(TW_IMAGEMEMXFER* transfer) {
    if (!g_source.transferReady) return Fail(TWCC_SEQERROR);
    const TW_UINT32 rowBytes = (kWidth * BitsPerSample() * (BitsPerSample() >= 8 ? 3 : 1) + 7) / 8;
    const TW_UINT32 stride = transfer->BytesPerRow;
    if (stride < rowBytes || !transfer->Memory.TheMem) return Fail(TWCC_BADVALUE);
    if (g_source.mode == Mode::Fail && g_source.nextRow > 0) return Fail(TWCC_OPERATIONERROR);
    if (g_source.mode == Mode::OddCode) {
        transfer->BytesWritten = 0;
        return TWRC_CHECKSTATUS;
    }
    if (g_source.mode == Mode::Cancel && g_source.nextRow >= kHeight / 2) return TWRC_CANCEL;
    TW_UINT32 rows = transfer->Memory.Length / stride;
    if (rows > kStripRows) rows = kStripRows;
    if (rows > kHeight - g_source.nextRow) rows = kHeight - g_source.nextRow;
    if (rows == 0) return Fail(TWCC_BADVALUE);
    auto* memory = static_cast<BYTE*>(transfer->Memory.TheMem);
    std::memset(memory, 0, rows * stride);
    for (TW_UINT32 i = 0; i < rows; ++i)
        WriteRow(memory + i * stride, g_source.nextRow + i);
    transfer->Compression = TWCP_NONE;
    transfer->Columns = kWidth;
    transfer->Rows = rows;
    transfer->XOffset = 0;
    transfer->YOffset = g_source.nextRow;
    transfer->BytesWritten = rows * stride;
    g_source.nextRow += rows;
    return g_source.nextRow == kHeight ? TWRC_XFERDONE : TWRC_SUCCESS;
}

TW_UINT16 SetupMemory(TW_SETUPMEMXFER* setup) {
    if (g_source.mode == Mode::NoMemory) return Fail(TWCC_BADPROTOCOL);
    const TW_UINT32 stripBytes = kStripRows * kWidth * 6;
    setup->MinBufSize = kWidth * 6;
    setup->MaxBufSize = stripBytes;
    setup->Preferred = stripBytes;
    return TWRC_SUCCESS;
}

// One image per enabling: when it has been taken or refused the source asks
// to be closed.
TW_UINT16 PendingTransfers(TW_PENDINGXFERS* pending) {
    pending->Count = 0;
    g_source.transferReady = false;
    Announce(MSG_CLOSEDSREQ);
    return TWRC_SUCCESS;
}

TW_UINT16 UserInterface(TW_UINT16 msg, TW_USERINTERFACE* ui) {
    if (msg == MSG_DISABLEDS) {
        g_source.transferReady = false;
        g_source.pendingEvent = MSG_NULL;
        StopTicking();
        WriteState("open");
        return TWRC_SUCCESS;
    }
    if (msg != MSG_ENABLEDS) return Fail(TWCC_BADPROTOCOL);
    g_source.mode = ReadMode();
    g_source.transferReady = true;
    g_source.nextRow = 0;
    ui->ModalUI = FALSE;
    WriteState("enabled");
    Announce(MSG_XFERREADY);
    StartTicking();
    return TWRC_SUCCESS;
}

TW_UINT16 Event(TW_EVENT* event) {
    const MSG* message = static_cast<const MSG*>(event->pEvent);
    event->TWMessage = MSG_NULL;
    if (!message || !g_window || message->hwnd != g_window) return TWRC_NOTDSEVENT;
    event->TWMessage = g_source.pendingEvent;
    g_source.pendingEvent = MSG_NULL;
    return TWRC_DSEVENT;
}

TW_UINT16 Control(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    switch (dat) {
        case DAT_IDENTITY:
            if (msg == MSG_GET) FillIdentity(static_cast<TW_IDENTITY*>(data));
            if (msg == MSG_OPENDS) {
                g_source.mode = ReadMode(); // the transfer count comes before enabling
                WriteState("open");
            }
            if (msg == MSG_CLOSEDS) WriteState("closed");
            return TWRC_SUCCESS;
        case DAT_CAPABILITY:
            return Capability(msg, static_cast<TW_CAPABILITY*>(data));
        case DAT_USERINTERFACE:
            return UserInterface(msg, static_cast<TW_USERINTERFACE*>(data));
        case DAT_EVENT:
            return Event(static_cast<TW_EVENT*>(data));
        case DAT_SETUPMEMXFER:
            return SetupMemory(static_cast<TW_SETUPMEMXFER*>(data));
        case DAT_PENDINGXFERS:
            return PendingTransfers(static_cast<TW_PENDINGXFERS*>(data));
        case DAT_STATUS: {
            auto* status = static_cast<TW_STATUS*>(data);
            status->ConditionCode = g_source.condition;
            g_source.condition = TWCC_SUCCESS;
            return TWRC_SUCCESS;
        }
        default:
            return Fail(TWCC_BADPROTOCOL);
    }
}

} // namespace

extern "C" TW_UINT16 WINAPI DS_Entry(pTW_IDENTITY, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                                     TW_MEMREF data) {
    if (!data) return Fail(TWCC_BADVALUE);
    if (group == DG_CONTROL) return Control(dat, msg, data);
    if (group == DG_IMAGE && dat == DAT_IMAGEINFO && msg == MSG_GET)
        return ImageInfo(static_cast<TW_IMAGEINFO*>(data));
    if (group == DG_IMAGE && dat == DAT_IMAGEMEMXFER && msg == MSG_GET)
        return MemoryTransfer(static_cast<TW_IMAGEMEMXFER*>(data));
    return Fail(TWCC_BADPROTOCOL);
}
