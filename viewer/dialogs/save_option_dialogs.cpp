#include "viewer/dialogs/save_option_dialogs.h"

#include <algorithm>
#include <cstdio>

#include "viewer/controls/control_base.h"
#include "viewer/controls/label.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/slider.h"
#include "viewer/dialogs/option_dialog.h"
#include "viewer/preferences_file.h"
#include "viewer/window_state.h"

namespace {

constexpr int kWidth = 230;

struct ChoiceFormat;

struct SaveOptionDialog {
    SimpleDialog dialog;
    MainWindowState* state = nullptr;
    uint32_t format = 0;
    const ChoiceFormat* choice = nullptr; // the one-option formats
};

bool Checked(HWND window, int id) {
    return IsButtonChecked(GetDlgItem(window, id));
}

// A rate from 10 to 100 percent shown beside its slider.
void ShowRate(HWND window, int labelId, int32_t value) {
    WCHAR text[16];
    wsprintfW(text, L"%d%%", value);
    SetLabelText(GetDlgItem(window, labelId), text);
}

// JPEG: quality slider 1402 with its text 1401, check boxes 1403-1406.
constexpr uint32_t kJpeg = 0x50;
void InitJpeg(HWND window, const MainWindowState& state) {
    const ILJPEGOptions& o = g_preferences.jpegOptions;
    CreateLabel(window, 1400, L"Rate:", 10, 28, 40, 1);
    CreateSlider(window, 1402, 50, 28, 120, 10, 100, static_cast<int32_t>(o.quality), false);
    CreateLabel(window, 1401, L"", 180, 28, 40, 1);
    ShowRate(window, 1401, GetSliderValue(GetDlgItem(window, 1402)));
    CreateCheckBox(window, 1403, L"Progressive", 10, 60, 200, o.progressive);
    CreateCheckBox(window, 1404, L"Arithmetic", 10, 80, 200, o.arithmetic);
    CreateCheckBox(window, 1405, L"Chroma subsampling", 10, 100, 200, o.subsampling);
    CreateCheckBox(window, 1406, L"ICC Profile", 10, 120, 200, o.embedProfile);
    if (ILPixelModel(state.image.type) == IL_MODEL_GRAY)
        EnableWindow(GetDlgItem(window, 1405), FALSE);
}
void StoreJpeg(HWND window, ILHandle* handle) {
    ILJPEGOptions& o = g_preferences.jpegOptions;
    o.quality = static_cast<uint32_t>(GetSliderValue(GetDlgItem(window, 1402)));
    o.progressive = Checked(window, 1403);
    o.arithmetic = Checked(window, 1404);
    o.subsampling = Checked(window, 1405);
    o.embedProfile = Checked(window, 1406);
    ILSetJPEGOptions(handle, &o);
}

// WebP: quality slider 2113 with its text 2112.
constexpr uint32_t kWebp = 0x140;
void InitWebp(HWND window) {
    CreateLabel(window, 2111, L"Rate:", 10, 28, 40, 1);
    CreateSlider(window, 2113, 50, 28, 120, 10, 100,
                 static_cast<int32_t>(g_preferences.webpOptions), false);
    CreateLabel(window, 2112, L"", 180, 28, 40, 1);
    ShowRate(window, 2112, GetSliderValue(GetDlgItem(window, 2113)));
}
void StoreWebp(HWND window, ILHandle* handle) {
    g_preferences.webpOptions = static_cast<uint32_t>(GetSliderValue(GetDlgItem(window, 2113)));
    ILSetWebPOptions(handle, &g_preferences.webpOptions);
}

// PGF: level slider 2103 (positions 0..9 for levels 10..1) with its text
// 2102, check box 2105 lossless. Indexed images are always saved lossless.
constexpr uint32_t kPgf = 0x130;
void ShowPgfRate(HWND window) {
    const bool lossless = Checked(window, 2105);
    EnableWindow(GetDlgItem(window, 2103), !lossless);
    if (lossless)
        SetLabelText(GetDlgItem(window, 2102), L"auto");
    else
        ShowRate(window, 2102, GetSliderValue(GetDlgItem(window, 2103)) * 10 + 10);
}
void InitPgf(HWND window, const ILImage& image) {
    const ILPGFOptions& o = g_preferences.pgfOptions;
    const bool indexed = ILPixelModel(image.type) == IL_MODEL_INDEXED;
    CreateLabel(window, 2101, L"Rate:", 10, 28, 40, 1);
    CreateSlider(window, 2103, 50, 28, 120, 0, 9, 10 - static_cast<int32_t>(o.level), false);
    CreateLabel(window, 2102, L"", 180, 28, 40, 1);
    CreateCheckBox(window, 2105, L"Lossless", 10, 60, 200, indexed || o.lossless);
    if (indexed) EnableWindow(GetDlgItem(window, 2105), FALSE);
    ShowPgfRate(window);
}
void StorePgf(HWND window, MainWindowState& state) {
    ILPGFOptions& o = g_preferences.pgfOptions;
    if (ILPixelModel(state.image.type) != IL_MODEL_INDEXED) {
        o.level = static_cast<uint32_t>(10 - GetSliderValue(GetDlgItem(window, 2103)));
        o.lossless = Checked(window, 2105);
    }
    ILSetPGFOptions(state.handle, &o);
}

// PNG: compression radios 1201-1204, check boxes 1205 and 1206.
constexpr uint32_t kPng = 0x40;
void InitPng(HWND window) {
    const ILPNGOptions& o = g_preferences.pngOptions;
    const WCHAR* levels[] = {L"Favour speed over filesize", L"Default",
                             L"Favour filesize over speed", L"Maximal crunching"};
    CreateRadioGroup(window, 1201, levels, 4, 10, 28, 210, static_cast<int>(o.compression & 3));
    CreateCheckBox(window, 1205, L"Interlaced", 10, 118, 200, o.interlaced != 0);
    CreateCheckBox(window, 1206, L"Gamma chunk", 10, 138, 200, o.gamma != 0);
}
void StorePng(HWND window, ILHandle* handle) {
    ILPNGOptions& o = g_preferences.pngOptions;
    o.compression = static_cast<uint32_t>(GetCheckedRadio(window, 1201, 1204));
    o.interlaced = Checked(window, 1205);
    o.gamma = Checked(window, 1206);
    ILSetPNGOptions(handle, &o);
}

// TIFF: byte order 1601-1602, compression 1603-1607 (none, RLE, LZW, ZIP,
// LogLUV), check boxes 1608 (filtered) and 1610 (ICC profile). Half and
// float images remember their own compression.
constexpr uint32_t kTiff = 0x70;
constexpr int kLogLuv = 4;
bool IsHalfOrFloat(ILPixelType t) {
    return (t & 0xFF0) >= 0x100;
}
int32_t& RememberedTiffCompression(ILPixelType t) {
    return IsHalfOrFloat(t) ? g_preferences.tiffHalfFloatCompression
                            : g_preferences.tiffOtherCompression;
}
void ApplyTiffRules(HWND window, const ILImage& image) {
    const int compression = GetCheckedRadio(window, 1603, 1607);
    EnableWindow(GetDlgItem(window, 1608), compression == 2 || compression == 3);
    EnableWindow(GetDlgItem(window, 1610), image.bits >= 8 && compression != kLogLuv);
}
void InitTiff(HWND window, const ILImage& image) {
    const ILTIFFOptions& o = g_preferences.tiffOptions;
    const WCHAR* orders[] = {L"PC", L"Mac"};
    CreateRadioGroup(window, 1601, orders, 2, 10, 28, 100, o.byteOrder ? 1 : 0);
    const bool logLuv = IsHalfOrFloat(image.type) && !ILHasAlpha(image.type);
    int compression = RememberedTiffCompression(image.type);
    if (compression == kLogLuv && !logLuv) compression = g_preferences.tiffOtherCompression;
    if (compression < 0 || compression > kLogLuv || (compression == kLogLuv && !logLuv))
        compression = 0;
    const WCHAR* kinds[] = {L"None", L"RLE", L"LZW", L"ZIP", L"LogLUV"};
    CreateRadioGroup(window, 1603, kinds, 5, 10, 90, 100, compression);
    EnableWindow(GetDlgItem(window, 1607), logLuv);
    CreateCheckBox(window, 1608, L"Filtered", 120, 90, 100, o.predictor != 0);
    CreateCheckBox(window, 1610, L"ICC Profile", 120, 110, 100, o.embedProfile != 0);
    ApplyTiffRules(window, image);
}
void StoreTiff(HWND window, MainWindowState& state) {
    ILTIFFOptions& o = g_preferences.tiffOptions;
    o.byteOrder = static_cast<uint8_t>(GetCheckedRadio(window, 1601, 1602));
    o.compression = static_cast<uint32_t>(GetCheckedRadio(window, 1603, 1607));
    o.predictor = Checked(window, 1608);
    o.embedProfile = Checked(window, 1610);
    RememberedTiffCompression(state.image.type) = static_cast<int32_t>(o.compression);
    ILSetTIFFOptions(state.handle, &o);
}

// The formats whose one option is a choice among radios (GIF: one check
// box), kept in one preferences field each.
struct ChoiceFormat {
    uint32_t format;
    const WCHAR* caption;
    int firstId;
    const WCHAR* texts[6];
    int count; // 0: a check box with texts[0]
    uint32_t (*get)();
    void (*store)(uint32_t value, ILHandle* handle);
};

template <uint8_t Preferences::*Field, bool (*Setter)(ILHandle*, const uint8_t*)>
void StoreByte(uint32_t value, ILHandle* handle) {
    g_preferences.*Field = static_cast<uint8_t>(value);
    Setter(handle, &(g_preferences.*Field));
}
template <uint8_t Preferences::*Field>
uint32_t GetByte() {
    return g_preferences.*Field;
}

const ChoiceFormat kChoiceFormats[] = {
    {0x10,
     L"Save BMP Options",
     1001,
     {L"Windows Bitmap", L"OS/2 Bitmap"},
     2,
     GetByte<&Preferences::bmpOptions>,
     StoreByte<&Preferences::bmpOptions, ILSetBMPOptions>},
    {0x30,
     L"Save PCX Options",
     1101,
     {L"None", L"RLE"},
     2,
     GetByte<&Preferences::pcxOptions>,
     StoreByte<&Preferences::pcxOptions, ILSetPCXOptions>},
    {0x80,
     L"Save TGA Options",
     1801,
     {L"None", L"RLE"},
     2,
     GetByte<&Preferences::tgaOptions>,
     StoreByte<&Preferences::tgaOptions, ILSetTGAOptions>},
    {0x90,
     L"Save PNM Options",
     1701,
     {L"Binary", L"Ascii"},
     2,
     GetByte<&Preferences::pnmOptions>,
     StoreByte<&Preferences::pnmOptions, ILSetPNMOptions>},
    {0x100,
     L"Save RAD Options",
     1911,
     {L"RGB(e)", L"XYZ(e)"},
     2,
     GetByte<&Preferences::radianceOptions>,
     StoreByte<&Preferences::radianceOptions, ILSetRadianceOptions>},
    {0x20,
     L"Save GIF Options",
     1301,
     {L"Interlaced"},
     0,
     GetByte<&Preferences::gifOptions>,
     StoreByte<&Preferences::gifOptions, ILSetGIFOptions>},
    {0x110,
     L"Save EXR Options",
     1921,
     {L"None", L"RLE", L"ZIP/scanline", L"ZIP/block", L"Wavelet", L"ZIP/Pixar 24"},
     6,
     [] { return g_preferences.exrOptions; },
     [](uint32_t value, ILHandle* handle) {
         g_preferences.exrOptions = value;
         ILSetEXROptions(handle, &g_preferences.exrOptions);
     }},
};

const ChoiceFormat* FindChoiceFormat(uint32_t format) {
    for (const ChoiceFormat& choice : kChoiceFormats)
        if (choice.format == format) return &choice;
    return nullptr;
}

void InitChoice(HWND window, const ChoiceFormat& choice) {
    const uint32_t value = choice.get();
    if (choice.count == 0)
        CreateCheckBox(window, choice.firstId, choice.texts[0], 10, 28, 200, value != 0);
    else
        CreateRadioGroup(window, choice.firstId, choice.texts, choice.count, 10, 28, 200,
                         value < static_cast<uint32_t>(choice.count) ? static_cast<int>(value) : 0);
}

// Whether the command was a click on one of the choice's radios.
bool SelectChoice(HWND window, const ChoiceFormat& choice, int id) {
    return choice.count > 0 &&
           SelectInGroup(window, id, choice.firstId, choice.firstId + choice.count - 1);
}

void StoreChoice(HWND window, const ChoiceFormat& choice, ILHandle* handle) {
    const uint32_t value = choice.count == 0
                               ? Checked(window, choice.firstId)
                               : static_cast<uint32_t>(GetCheckedRadio(
                                     window, choice.firstId, choice.firstId + choice.count - 1));
    choice.store(value, handle);
}

void OnInitDialog(SaveOptionDialog& box, HWND window) {
    BeginSimpleDialog(box.dialog, window);
    switch (box.format) {
        case kJpeg:
            InitJpeg(window, *box.state);
            break;
        case kPng:
            InitPng(window);
            break;
        case kWebp:
            InitWebp(window);
            break;
        case kPgf:
            InitPgf(window, box.state->image);
            break;
        case kTiff:
            InitTiff(window, box.state->image);
            break;
        default:
            InitChoice(window, *box.choice);
            break;
    }
    EndSimpleDialogSetup(box.dialog);
}

void OnCommand(SaveOptionDialog& box, WPARAM wParam, LPARAM lParam) {
    const HWND window = box.dialog.window;
    const int id = LOWORD(wParam);
    if (box.format == kJpeg && id == 1402 && HIWORD(wParam) == ControlChanged)
        ShowRate(window, 1401, static_cast<int32_t>(lParam));
    if (box.format == kPgf && (id == 2103 || id == 2105) && HIWORD(wParam) == ControlChanged)
        ShowPgfRate(window);
    if (box.format == kWebp && id == 2113 && HIWORD(wParam) == ControlChanged)
        ShowRate(window, 2112, static_cast<int32_t>(lParam));
    if (box.choice && SelectChoice(window, *box.choice, id)) return;
    if (SelectInGroup(window, id, 1201, 1204) || SelectInGroup(window, id, 1601, 1602)) return;
    if (SelectInGroup(window, id, 1603, 1607)) {
        ApplyTiffRules(window, box.state->image);
        return;
    }
    if (id == IDOK) {
        if (box.format == kJpeg) StoreJpeg(window, box.state->handle);
        if (box.format == kPng) StorePng(window, box.state->handle);
        if (box.format == kWebp) StoreWebp(window, box.state->handle);
        if (box.format == kPgf) StorePgf(window, *box.state);
        if (box.format == kTiff) StoreTiff(window, *box.state);
        if (box.choice) StoreChoice(window, *box.choice, box.state->handle);
    }
    if (id == IDOK || id == IDCANCEL) CloseSimpleDialog(box.dialog, id);
}

INT_PTR SaveOptionMessage(SaveOptionDialog& box, HWND window, UINT message, WPARAM wParam,
                          LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(box, window);
            return TRUE;
        case WM_ERASEBKGND: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            const HGDIOBJ pen = PaintSimpleDialogBackground(box.dialog, dc, true);
            DrawSectionHeader(dc, kWidth, 0, box.format == kTiff ? L"Byte order" : L"Options");
            if (box.format == kTiff) DrawSectionHeader(dc, kWidth, 64, L"Compression");
            RestoreSimpleDialogPen(dc, pen);
            return TRUE;
        }
        case WM_COMMAND:
            OnCommand(box, wParam, lParam);
            return TRUE;
        default:
            return FALSE;
    }
}

} // namespace

bool ShowSaveOptionDialog(MainWindowState& state, uint32_t formatId, HWND owner) {
    SaveOptionDialog box;
    box.state = &state;
    box.format = formatId & ~0xFu;
    const WCHAR* caption = nullptr;
    int height = 0;
    switch (box.format) {
        case kJpeg:
            caption = L"Save JPEG Options";
            height = 150;
            break;
        case kPng:
            caption = L"Save PNG Options";
            height = 160;
            break;
        case kPgf:
            caption = L"Save PGF Options";
            height = 90;
            break;
        case kWebp:
            caption = L"Save WebP Options";
            height = 70;
            break;
        case kTiff:
            caption = L"Save TIFF Options";
            height = 200;
            break;
        default:
            box.choice = FindChoiceFormat(box.format);
            if (!box.choice) return false;
            caption = box.choice->caption;
            height = 40 + 20 * std::max(box.choice->count, 1);
            break;
    }
    SetupSimpleDialog(box.dialog, caption, kWidth, height + kButtonBarHeight, 2, true, owner);
    return RunOptionDialog(state, box.dialog, DialogProcOf<SaveOptionDialog, SaveOptionMessage>,
                           &box, owner);
}
