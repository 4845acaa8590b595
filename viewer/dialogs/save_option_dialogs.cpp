#include "viewer/dialogs/save_option_dialogs.h"

#include <algorithm>
#include <memory>

#include "viewer/controls/control_base.h"
#include "viewer/controls/dialog_tips.h"
#include "viewer/controls/label.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/slider.h"
#include "viewer/dialogs/option_dialog.h"
#include "viewer/logic/save_option_rules.h"
#include "viewer/settings/preferences_file.h"

namespace {

constexpr int kWidth = 230;

void Enable(HWND window, int id, bool on) {
    EnableWindow(GetDlgItem(window, id), on ? TRUE : FALSE);
}

int32_t SliderValue(HWND window, int id) {
    return GetSliderValue(GetDlgItem(window, id));
}

// A value shown beside its slider: a percentage, a count, or "auto" where
// lossless coding makes the rate meaningless.
void ShowRate(HWND window, int textId, int32_t value) {
    WCHAR text[16];
    wsprintfW(text, L"%d%%", value);
    SetLabelText(GetDlgItem(window, textId), text);
}
void ShowCount(HWND window, int textId, int32_t value) {
    WCHAR text[16];
    wsprintfW(text, L"%d", value);
    SetLabelText(GetDlgItem(window, textId), text);
}
void ShowAuto(HWND window, int textId) {
    SetLabelText(GetDlgItem(window, textId), L"auto");
}

// A captioned slider at y with its value text after it.
void CreateValueSlider(HWND window, const WCHAR* caption, int sliderId, int textId, int y,
                       int32_t minimum, int32_t maximum, int32_t value) {
    CreateLabel(window, 0, caption, 10, y, 40, 1);
    CreateSlider(window, sliderId, 50, y, 120, minimum, maximum, value, false);
    CreateLabel(window, textId, L"", 180, y, 40, 1);
}

// Radio buttons firstId.. side by side on one row.
void CreateRadioRow(HWND window, int firstId, const WCHAR* const* texts, int count, int y,
                    int width, int checked) {
    for (int i = 0; i < count; ++i)
        CreateRadioButton(window, firstId + i, texts[i], 10 + i * (width + 5), y, width,
                          i == checked);
}

// Checks the radio of the group at `index` without a click.
void ShowRadio(HWND window, int firstId, int count, int index) {
    SelectRadio(window, firstId, firstId + count - 1, firstId + index);
}

void EnableGroup(HWND window, int firstId, int count, bool on) {
    for (int i = 0; i < count; ++i)
        Enable(window, firstId + i, on);
}

uint32_t Index(int checked) {
    return static_cast<uint32_t>(checked);
}

// An option dialog of a save format, enabling its controls for the image
// about to be saved.
class SaveOptionDialog : public OptionDialog {
public:
    const ILImage* image = nullptr;
};

// JPEG: quality slider 1402 with its text 1401, check boxes 1403-1406.
class JpegDialog : public SaveOptionDialog {
    void CreateControls(HWND window) override {
        const ILJPEGOptions& o = g_preferences.jpegOptions;
        CreateValueSlider(window, L"Rate:", 1402, 1401, 28, 10, 100,
                          static_cast<int32_t>(o.quality));
        ShowRate(window, 1401, SliderValue(window, 1402));
        CreateCheckBox(window, 1403, L"Progressive", 10, 60, 200, o.progressive);
        CreateCheckBox(window, 1404, L"Arithmetic", 10, 80, 200, o.arithmetic);
        CreateCheckBox(window, 1405, L"Chroma subsampling", 10, 100, 200, o.subsampling);
        CreateCheckBox(window, 1406, L"ICC Profile", 10, 120, 200, o.embedProfile);
        if (ILPixelModel(image->type) == IL_MODEL_GRAY) Enable(window, 1405, false);
    }
    void Paint(HDC dc) override { DrawSectionHeader(dc, kWidth, 0, L"Options"); }
    void OnCommand(int id, int code, LPARAM lParam) override {
        if (id == 1402 && code == ControlChanged)
            ShowRate(dialog.window, 1401, static_cast<int32_t>(lParam));
    }
    INT_PTR Accept() override {
        const HWND window = dialog.window;
        ILJPEGOptions& o = g_preferences.jpegOptions;
        o.quality = static_cast<uint32_t>(SliderValue(window, 1402));
        o.progressive = IsChecked(window, 1403);
        o.arithmetic = IsChecked(window, 1404);
        o.subsampling = IsChecked(window, 1405);
        o.embedProfile = IsChecked(window, 1406);
        ILSetJPEGOptions(state->handle, &o);
        return IDOK;
    }
};

// WebP: quality slider 2113 with its text 2112.
class WebpDialog : public SaveOptionDialog {
    void CreateControls(HWND window) override {
        CreateValueSlider(window, L"Rate:", 2113, 2112, 28, 10, 100,
                          static_cast<int32_t>(g_preferences.webpOptions));
        ShowRate(window, 2112, SliderValue(window, 2113));
    }
    void Paint(HDC dc) override { DrawSectionHeader(dc, kWidth, 0, L"Options"); }
    void OnCommand(int id, int code, LPARAM lParam) override {
        if (id == 2113 && code == ControlChanged)
            ShowRate(dialog.window, 2112, static_cast<int32_t>(lParam));
    }
    INT_PTR Accept() override {
        g_preferences.webpOptions = static_cast<uint32_t>(SliderValue(dialog.window, 2113));
        ILSetWebPOptions(state->handle, &g_preferences.webpOptions);
        return IDOK;
    }
};

// PGF: level slider 2103 (positions 0..9 for levels 10..1) with its text
// 2102, check box 2105 lossless. Indexed images are always saved lossless.
class PgfDialog : public SaveOptionDialog {
    void ShowLevel() {
        const HWND window = dialog.window;
        const bool lossless = IsChecked(window, 2105);
        Enable(window, 2103, !lossless);
        if (lossless)
            ShowAuto(window, 2102);
        else
            ShowRate(window, 2102, SliderValue(window, 2103) * 10 + 10);
    }
    bool Indexed() const { return ILPixelModel(image->type) == IL_MODEL_INDEXED; }
    void CreateControls(HWND window) override {
        const ILPGFOptions& o = g_preferences.pgfOptions;
        CreateValueSlider(window, L"Rate:", 2103, 2102, 28, 0, 9,
                          10 - static_cast<int32_t>(o.level));
        CreateCheckBox(window, 2105, L"Lossless", 10, 60, 200, Indexed() || o.lossless);
        if (Indexed()) Enable(window, 2105, false);
        ShowLevel();
    }
    void Paint(HDC dc) override { DrawSectionHeader(dc, kWidth, 0, L"Options"); }
    void OnCommand(int id, int code, LPARAM) override {
        if ((id == 2103 || id == 2105) && code == ControlChanged) ShowLevel();
    }
    INT_PTR Accept() override {
        ILPGFOptions& o = g_preferences.pgfOptions;
        if (!Indexed()) {
            o.level = static_cast<uint32_t>(10 - SliderValue(dialog.window, 2103));
            o.lossless = IsChecked(dialog.window, 2105);
        }
        ILSetPGFOptions(state->handle, &o);
        return IDOK;
    }
};

// PNG: compression radios 1201-1204, check boxes 1205 and 1206.
class PngDialog : public SaveOptionDialog {
    void CreateControls(HWND window) override {
        const ILPNGOptions& o = g_preferences.pngOptions;
        const WCHAR* levels[] = {L"Favour speed over filesize", L"Default",
                                 L"Favour filesize over speed", L"Maximal crunching"};
        CreateRadioGroup(window, 1201, levels, 4, 10, 28, 210, static_cast<int>(o.compression & 3));
        CreateCheckBox(window, 1205, L"Interlaced", 10, 118, 200, o.interlaced != 0);
        CreateCheckBox(window, 1206, L"Gamma chunk", 10, 138, 200, o.gamma != 0);
    }
    void Paint(HDC dc) override { DrawSectionHeader(dc, kWidth, 0, L"Options"); }
    void OnCommand(int id, int, LPARAM) override { SelectInGroup(dialog.window, id, 1201, 1204); }
    INT_PTR Accept() override {
        const HWND window = dialog.window;
        ILPNGOptions& o = g_preferences.pngOptions;
        o.compression = Index(GetCheckedRadio(window, 1201, 1204));
        o.interlaced = IsChecked(window, 1205);
        o.gamma = IsChecked(window, 1206);
        ILSetPNGOptions(state->handle, &o);
        return IDOK;
    }
};

// TIFF: byte order 1601-1602, compression 1603-1607 (none, RLE, LZW, ZIP,
// LogLUV), check boxes 1608 (filtered) and 1610 (ICC profile). Half and
// float images remember their own compression.
constexpr int kLogLuv = 4;
bool IsHalfOrFloat(ILPixelType t) {
    return (t & 0xFF0) >= 0x100;
}
int32_t& RememberedTiffCompression(ILPixelType t) {
    return IsHalfOrFloat(t) ? g_preferences.tiffHalfFloatCompression
                            : g_preferences.tiffOtherCompression;
}

class TiffDialog : public SaveOptionDialog {
    void ApplyRules() {
        const HWND window = dialog.window;
        const int compression = GetCheckedRadio(window, 1603, 1607);
        Enable(window, 1608, compression == 2 || compression == 3);
        Enable(window, 1610, image->bits >= 8 && compression != kLogLuv);
    }
    void CreateControls(HWND window) override {
        const ILImage& image = *this->image;
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
        Enable(window, 1607, logLuv);
        CreateCheckBox(window, 1608, L"Filtered", 120, 90, 100, o.predictor != 0);
        CreateCheckBox(window, 1610, L"ICC Profile", 120, 110, 100, o.embedProfile != 0);
        ApplyRules();
    }
    void Paint(HDC dc) override {
        DrawSectionHeader(dc, kWidth, 0, L"Byte order");
        DrawSectionHeader(dc, kWidth, 64, L"Compression");
    }
    void OnCommand(int id, int, LPARAM) override {
        if (SelectInGroup(dialog.window, id, 1601, 1602)) return;
        if (SelectInGroup(dialog.window, id, 1603, 1607)) ApplyRules();
    }
    INT_PTR Accept() override {
        const HWND window = dialog.window;
        ILTIFFOptions& o = g_preferences.tiffOptions;
        o.byteOrder = static_cast<uint8_t>(GetCheckedRadio(window, 1601, 1602));
        o.compression = Index(GetCheckedRadio(window, 1603, 1607));
        o.predictor = IsChecked(window, 1608);
        o.embedProfile = IsChecked(window, 1610);
        RememberedTiffCompression(image->type) = static_cast<int32_t>(o.compression);
        ILSetTIFFOptions(state->handle, &o);
        return IDOK;
    }
};

// JPEG XR: quality slider 2003 with its text 2002, check box 2005 lossless,
// chroma subsampling radios 2010-2012 (off, 4-2-2, 4-2-0) and block overlap
// radios 2020-2022 (none, one, two pixels). Lossless shows "off" and "none"
// and closes the lossy controls; unchecking it brings the last choices back.
class JpegXrDialog : public SaveOptionDialog {
    JpegXrRules rules;
    uint32_t subsampling = 0; // the last lossy choices
    uint32_t overlap = 0;

    void ShowLossless() {
        const HWND window = dialog.window;
        const bool lossless = IsChecked(window, 2005);
        if (!lossless) {
            subsampling = rules.subsampling ? subsampling : 0;
            ShowRate(window, 2002, SliderValue(window, 2003));
        } else {
            ShowAuto(window, 2002);
        }
        ShowRadio(window, 2010, 3, lossless ? 0 : static_cast<int>(subsampling));
        ShowRadio(window, 2020, 3, lossless ? 0 : static_cast<int>(overlap));
        Enable(window, 2003, !lossless);
        EnableGroup(window, 2010, 3, !lossless && rules.subsampling);
        EnableGroup(window, 2020, 3, !lossless);
    }
    void CreateControls(HWND window) override {
        const ILJPEGXROptions& o = g_preferences.jpegXrOptions;
        rules = JpegXrRulesFor(image->type);
        subsampling = std::min<uint32_t>(o.subsampling, 2);
        overlap = std::min<uint32_t>(o.overlap, 2);
        CreateValueSlider(window, L"Rate:", 2003, 2002, 28, 10, 100,
                          static_cast<int32_t>(o.quality));
        CreateCheckBox(window, 2005, L"Lossless", 10, 56, 200, o.lossless != 0);
        Enable(window, 2005, rules.losslessChoice);
        const WCHAR* chroma[] = {L"off", L"4-2-2", L"4-2-0"};
        CreateRadioRow(window, 2010, chroma, 3, 104, 65, 0);
        const WCHAR* overlaps[] = {L"none", L"1 pixel", L"2 pixel"};
        CreateRadioRow(window, 2020, overlaps, 3, 150, 65, 0);
        ShowLossless();
    }
    void Paint(HDC dc) override {
        DrawSectionHeader(dc, kWidth, 0, L"Options");
        DrawSectionHeader(dc, kWidth, 80, L"Chroma subsampling");
        DrawSectionHeader(dc, kWidth, 126, L"Block overlap");
    }
    void OnCommand(int id, int code, LPARAM lParam) override {
        const HWND window = dialog.window;
        if (id == 2003 && code == ControlChanged)
            ShowRate(window, 2002, static_cast<int32_t>(lParam));
        if (id == 2005 && code == ControlChanged) ShowLossless();
        if (SelectInGroup(window, id, 2010, 2012)) subsampling = Index(id - 2010);
        if (SelectInGroup(window, id, 2020, 2022)) overlap = Index(id - 2020);
    }
    INT_PTR Accept() override {
        const HWND window = dialog.window;
        ILJPEGXROptions& o = g_preferences.jpegXrOptions;
        if (rules.losslessChoice) o.lossless = IsChecked(window, 2005);
        if (!o.lossless) {
            o.quality = static_cast<uint32_t>(SliderValue(window, 2003));
            o.subsampling = subsampling;
            o.overlap = overlap;
        }
        ILSetJPEGXROptions(state->handle, &o);
        return IDOK;
    }
};

// JPEG 2000: rate slider 1503 with its text 1502, check box 1505 lossless
// with its status text 1506, kernel radios 1510 (5x3, reversible) and 1511
// (9x7), quality-layer slider 1522 with its text 1521, colour format radios
// 1530-1532 (RGB, YUV, YCC) and check box 1533 chroma subsampling (YCC only).
// Lossless codes on the reversible path whatever kernel and colour format
// are chosen: the status text and the check box's tip say so.
class Jpeg2000Dialog : public SaveOptionDialog {
    Jpeg2000Rules rules;
    HWND tips = nullptr;

    void ShowLossless() {
        const HWND window = dialog.window;
        const bool lossless = IsChecked(window, 1505);
        Enable(window, 1503, !lossless);
        if (lossless)
            ShowAuto(window, 1502);
        else
            ShowRate(window, 1502, SliderValue(window, 1503));
        SetLabelText(GetDlgItem(window, 1506), lossless ? L"5x3, reversible colors" : L"");
    }
    void AddLosslessTip(HWND window) {
        if (!g_preferences.dialogTips) return;
        tips = CreateToolTipWindow();
        const HWND box = GetDlgItem(window, 1505);
        RECT area;
        GetClientRect(box, &area);
        AddToolTip(tips, box, area,
                   "Lossless always codes with the 5x3 (reversible) kernel, and YUV or YCC with "
                   "the reversible color transform: the 9x7 kernel and the rate apply to lossy "
                   "files only.");
    }

public:
    ~Jpeg2000Dialog() override {
        if (tips) DestroyWindow(tips);
    }

private:
    void ShowSubsampling() {
        const HWND window = dialog.window;
        Enable(window, 1533,
               Jpeg2000SubsamplingAllowed(rules, Index(GetCheckedRadio(window, 1530, 1532))));
    }
    void CreateControls(HWND window) override {
        const ILJPEG2000Options& o = g_preferences.jpeg2000Options;
        rules = Jpeg2000RulesFor(image->type, image->bits);
        const bool fixed = rules.fixedLossless;
        CreateValueSlider(window, L"Rate:", 1503, 1502, 28, 10, 100, static_cast<int32_t>(o.rate));
        CreateCheckBox(window, 1505, L"Lossless", 10, 56, 80, fixed || o.lossless);
        CreateLabel(window, 1506, L"", 95, 56, 130, 0);
        AddLosslessTip(window);
        const WCHAR* kernels[] = {L"5x3 (reversible)", L"9x7 (irreverible)"};
        CreateRadioRow(window, 1510, kernels, 2, 102, 105, fixed || o.reversible ? 0 : 1);
        CreateValueSlider(window, L"Count:", 1522, 1521, 148, 1, 12,
                          fixed ? 1 : static_cast<int32_t>(o.layers));
        ShowCount(window, 1521, SliderValue(window, 1522));
        const WCHAR* colors[] = {L"RGB", L"YUV", L"YCC"};
        CreateRadioRow(window, 1530, colors, 3, 196, 65,
                       static_cast<int>(Jpeg2000ShownColorFormat(rules, o.colorFormat)));
        CreateCheckBox(window, 1533, L"Chroma subs.", 10, 218, 200, o.subsampling != 0);
        if (fixed) {
            Enable(window, 1505, false);
            EnableGroup(window, 1510, 2, false);
            Enable(window, 1522, false);
        }
        Enable(window, 1530, rules.rgbYuv);
        Enable(window, 1531, rules.rgbYuv);
        Enable(window, 1532, rules.ycc);
        ShowLossless();
        ShowSubsampling();
    }
    void Paint(HDC dc) override {
        DrawSectionHeader(dc, kWidth, 0, L"Options");
        DrawSectionHeader(dc, kWidth, 78, L"Wavelet kernel");
        DrawSectionHeader(dc, kWidth, 124, L"Quality layers");
        DrawSectionHeader(dc, kWidth, 172, L"Color format");
    }
    void OnCommand(int id, int code, LPARAM lParam) override {
        const HWND window = dialog.window;
        if (id == 1503 && code == ControlChanged)
            ShowRate(window, 1502, static_cast<int32_t>(lParam));
        if (id == 1522 && code == ControlChanged)
            ShowCount(window, 1521, static_cast<int32_t>(lParam));
        if (id == 1505 && code == ControlChanged) ShowLossless();
        SelectInGroup(window, id, 1510, 1511);
        if (SelectInGroup(window, id, 1530, 1532)) ShowSubsampling();
    }
    INT_PTR Accept() override {
        const HWND window = dialog.window;
        ILJPEG2000Options& o = g_preferences.jpeg2000Options;
        if (!rules.fixedLossless) {
            o.rate = static_cast<uint32_t>(SliderValue(window, 1503));
            o.lossless = IsChecked(window, 1505);
            o.reversible = IsChecked(window, 1510);
            o.layers = static_cast<uint32_t>(SliderValue(window, 1522));
            o.colorFormat = Index(GetCheckedRadio(window, 1530, 1532));
            o.subsampling = IsChecked(window, 1533);
        }
        ILSetJPEG2000Options(state->handle, &o);
        return IDOK;
    }
};

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
    {IL_FORMAT_BMP,
     L"Save BMP Options",
     1001,
     {L"Windows Bitmap", L"OS/2 Bitmap"},
     2,
     GetByte<&Preferences::bmpOptions>,
     StoreByte<&Preferences::bmpOptions, ILSetBMPOptions>},
    {IL_FORMAT_PCX,
     L"Save PCX Options",
     1101,
     {L"None", L"RLE"},
     2,
     GetByte<&Preferences::pcxOptions>,
     StoreByte<&Preferences::pcxOptions, ILSetPCXOptions>},
    {IL_FORMAT_TGA,
     L"Save TGA Options",
     1801,
     {L"None", L"RLE"},
     2,
     GetByte<&Preferences::tgaOptions>,
     StoreByte<&Preferences::tgaOptions, ILSetTGAOptions>},
    {IL_FORMAT_PNM,
     L"Save PNM Options",
     1701,
     {L"Binary", L"Ascii"},
     2,
     GetByte<&Preferences::pnmOptions>,
     StoreByte<&Preferences::pnmOptions, ILSetPNMOptions>},
    {IL_FORMAT_RADIANCE,
     L"Save RAD Options",
     1911,
     {L"RGB(e)", L"XYZ(e)"},
     2,
     GetByte<&Preferences::radianceOptions>,
     StoreByte<&Preferences::radianceOptions, ILSetRadianceOptions>},
    {IL_FORMAT_GIF,
     L"Save GIF Options",
     1301,
     {L"Interlaced"},
     0,
     GetByte<&Preferences::gifOptions>,
     StoreByte<&Preferences::gifOptions, ILSetGIFOptions>},
    {IL_FORMAT_EXR,
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

class ChoiceDialog : public SaveOptionDialog {
public:
    explicit ChoiceDialog(const ChoiceFormat& choice) : choice_(choice) {}

private:
    int LastId() const { return choice_.firstId + choice_.count - 1; }
    void CreateControls(HWND window) override {
        const uint32_t value = choice_.get();
        if (choice_.count == 0)
            CreateCheckBox(window, choice_.firstId, choice_.texts[0], 10, 28, 200, value != 0);
        else
            CreateRadioGroup(
                window, choice_.firstId, choice_.texts, choice_.count, 10, 28, 200,
                value < static_cast<uint32_t>(choice_.count) ? static_cast<int>(value) : 0);
    }
    void Paint(HDC dc) override { DrawSectionHeader(dc, kWidth, 0, L"Options"); }
    void OnCommand(int id, int, LPARAM) override {
        if (choice_.count > 0) SelectInGroup(dialog.window, id, choice_.firstId, LastId());
    }
    INT_PTR Accept() override {
        const HWND window = dialog.window;
        choice_.store(choice_.count == 0
                          ? IsChecked(window, choice_.firstId)
                          : Index(GetCheckedRadio(window, choice_.firstId, LastId())),
                      state->handle);
        return IDOK;
    }
    const ChoiceFormat& choice_;
};

struct DialogKind {
    uint32_t format;
    const WCHAR* caption;
    int height; // above the button bar
    std::unique_ptr<SaveOptionDialog> (*make)();
};

template <class Dialog>
std::unique_ptr<SaveOptionDialog> Make() {
    return std::make_unique<Dialog>();
}

const DialogKind kDialogKinds[] = {
    {IL_FORMAT_JPEG, L"Save JPEG Options", 150, Make<JpegDialog>},
    {IL_FORMAT_PNG, L"Save PNG Options", 160, Make<PngDialog>},
    {IL_FORMAT_PGF, L"Save PGF Options", 90, Make<PgfDialog>},
    {IL_FORMAT_WEBP, L"Save WebP Options", 70, Make<WebpDialog>},
    {IL_FORMAT_TIFF, L"Save TIFF Options", 200, Make<TiffDialog>},
    {IL_FORMAT_JXR, L"Save JPEG XR / HD Photo Options", 180, Make<JpegXrDialog>},
    {IL_FORMAT_JPEG2000, L"Save JPEG2000 Options", 246, Make<Jpeg2000Dialog>},
};

} // namespace

bool ShowSaveOptionDialog(Document& state, const ILImage& image, uint32_t formatId, HWND owner) {
    const uint32_t format = formatId & IL_FORMAT_ROW_MASK;
    std::unique_ptr<SaveOptionDialog> box;
    const WCHAR* caption = nullptr;
    int height = 0;
    for (const DialogKind& kind : kDialogKinds) {
        if (kind.format != format) continue;
        box = kind.make();
        caption = kind.caption;
        height = kind.height;
    }
    if (const ChoiceFormat* choice = FindChoiceFormat(format)) {
        box = std::make_unique<ChoiceDialog>(*choice);
        caption = choice->caption;
        height = 40 + 20 * std::max(choice->count, 1);
    }
    if (!box) return false;
    box->image = &image;
    return box->Run(state, caption, kWidth, height + kButtonBarHeight, 2, owner, -1) != -1;
}
