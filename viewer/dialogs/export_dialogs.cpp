// The thumbnail sheet and HTML gallery dialogs and their workers. The
// dialogs live on the user-interface thread; a worker gets a snapshot of the
// settings, its own library handle and the folder list to read, posts its
// progress and its result to the dialog, and is cancelled by a flag.
#include "viewer/dialogs/export_dialogs.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

#include "resources/commands.h"
#include "viewer/controls/owner_button.h"
#include "viewer/controls/spin_field.h"
#include "viewer/platform/date_time.h"
#include "viewer/dialogs/color_chooser.h"
#include "viewer/dialogs/simple_dialog.h"
#include "viewer/logic/gallery_html.h"
#include "viewer/logic/thumbnail_sheet.h"
#include "viewer/style/menus.h"
#include "viewer/dialogs/message_box.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/platform/unix_path.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/window_state.h"
#include "viewer/platform/worker_thread.h"

namespace {

enum ControlId : int {
    kColumnsField = 1010,
    kSpacingField = 1011,
    kFrameField = 1012,
    kBackgroundButton = 1020,
    kFrameColorButton = 1021,
    kTextColorButton = 1022,
    kFirstShowBox = 1030, // 1030-1034: name, size, image size, created, modified
};

constexpr int kSummaryHeight = 55;
// Wide enough for "show time modified" in the interface font.
constexpr int kShowBoxWidth = 140;

// Posted by the worker: cells done (wParam), then its result (wParam).
constexpr UINT kMsgProgress = WM_APP + 41;
constexpr UINT kMsgFinished = WM_APP + 42;

enum class ExportKind { Sheet, Gallery };

// The Preferences fields of one export.
struct StoredSettings {
    int32_t Preferences::*columns, Preferences::*frame, Preferences::*spacing;
    ILColor Preferences::*background, Preferences::*frameColor, Preferences::*textColor;
    uint8_t Preferences::*show[kLineCount];
};

constexpr StoredSettings kSheetFields = {
    &Preferences::sheetColumns,
    &Preferences::sheetFrameWidth,
    &Preferences::sheetSpacing,
    &Preferences::sheetBackground,
    &Preferences::sheetFrameColor,
    &Preferences::sheetTextColor,
    {&Preferences::sheetShowName, &Preferences::sheetShowSize, &Preferences::sheetShowImageSize,
     &Preferences::sheetShowCreated, &Preferences::sheetShowModified}};
constexpr StoredSettings kGalleryFields = {
    &Preferences::galleryColumns,
    &Preferences::galleryFrameWidth,
    &Preferences::gallerySpacing,
    &Preferences::galleryBackground,
    &Preferences::galleryFrameColor,
    &Preferences::galleryTextColor,
    {&Preferences::galleryShowName, &Preferences::galleryShowSize,
     &Preferences::galleryShowImageSize, &Preferences::galleryShowCreated,
     &Preferences::galleryShowModified}};

class ExportWorker : public WorkerThread {
public:
    explicit ExportWorker(ExportDialog& dialog) : dialog_(dialog) {}
    ~ExportWorker() override { Join(); }

protected:
    void Run() override;

private:
    ExportDialog& dialog_;
};

} // namespace

struct ExportDialog {
    SimpleDialog dialog;            // first: the dialog procedure's state
    ExportDialogs* slots = nullptr; // where the open dialog is held
    Document* main = nullptr;
    ExportKind kind = ExportKind::Sheet;
    HWND owner = nullptr;
    ExportSettings settings;
    ILColor background, frameColor, textColor;
    uint32_t selectedCount = 0;
    int32_t thumbnailsUpdating = 0;
    SheetLayout layout;
    PercentBar progress;
    // What the worker reads: fixed when it starts.
    std::u16string folder; // the listed folder, a DOS path ending in a backslash
    std::atomic<bool> cancel{false};
    bool running = false;
    ExportWorker worker{*this};

    const StoredSettings& Fields() const {
        return kind == ExportKind::Sheet ? kSheetFields : kGalleryFields;
    }
};

namespace {

std::unique_ptr<ExportDialog>& SlotOf(ExportDialogs& dialogs, ExportKind kind) {
    return kind == ExportKind::Sheet ? dialogs.sheet : dialogs.gallery;
}

// Results the worker posts; 0 is success.
enum ExportFailure : WPARAM {
    kExportDone,
    kExportCancelled,
    kNoHandle,
    kNoSheetFile,
    kSheetWriteFailed,
    kNoSheetBand,
    kNoFolders,
    kNoPage,
    kNoThumbnail,
};

const WCHAR* FailureText(WPARAM failure) {
    switch (failure) {
        case kNoHandle:
            return L"Failed to create IL handle";
        case kNoSheetFile:
            return L"Failed to create thumbnail sheet";
        case kSheetWriteFailed:
            return L"Failed to write thumbnail sheet";
        case kNoSheetBand:
            return L"Out of memory";
        case kNoFolders:
            return L"Failed to create directories";
        case kNoPage:
            return L"Failed to create html file";
        case kNoThumbnail:
            return L"Failed to create thumbnail";
        default:
            return nullptr;
    }
}

std::string ToUtf8(const WCHAR* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(size_t(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::u16string LibraryPathOf(const std::u16string& dosPath) {
    WCHAR wide[kPathUnits * 2];
    CopyToWide(dosPath, wide);
    return ToLibraryPath(wide);
}

// The colours as 8-bit sRGB, in the order each export writes them.
void ToRgb(const ILColor& color, uint8_t out[3]) {
    uint8_t bgr[3];
    color.ToBGR8(bgr);
    out[0] = bgr[2];
    out[1] = bgr[1];
    out[2] = bgr[0];
}

// Worker side

// The band is a DIB section, so that GDI draws the texts straight into the
// rows the PNG writer takes.
class SheetBandSurface {
public:
    SheetBandSurface(const SheetLayout& layout, const ILColor& textColor) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = static_cast<LONG>(layout.sheetWidth);
        info.bmiHeader.biHeight = -static_cast<LONG>(layout.cellHeight);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        dc_ = CreateCompatibleDC(nullptr);
        if (!dc_) return;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (!bitmap_) return;
        oldBitmap_ = SelectObject(dc_, bitmap_);
        LOGFONTW font = {};
        font.lfHeight = kSheetLineHeight;
        font.lfWeight = FW_NORMAL;
        lstrcpyW(font.lfFaceName, L"Arial");
        font_ = CreateFontIndirectW(&font);
        oldFont_ = SelectObject(dc_, font_);
        SetTextColor(dc_, textColor.ToCOLORREF());
        SetBkMode(dc_, TRANSPARENT);
    }
    ~SheetBandSurface() {
        if (oldFont_) SelectObject(dc_, oldFont_);
        if (font_) DeleteObject(font_);
        if (oldBitmap_) SelectObject(dc_, oldBitmap_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    SheetBandSurface(const SheetBandSurface&) = delete;
    SheetBandSurface& operator=(const SheetBandSurface&) = delete;

    uint8_t* Pixels() const { return bitmap_ ? static_cast<uint8_t*>(bits_) : nullptr; }
    HDC Context() const { return dc_; }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
    void* bits_ = nullptr;
};

std::u16string FileTimeText(const char16_t* label, int64_t seconds) {
    WCHAR text[120];
    FormatFileTime(seconds, text, false);
    return std::u16string(label) + ToU16(text);
}

// The text lines under a cell, centred over the cell's width and cut with
// an ellipsis when too long.
void DrawSheetTexts(HDC dc, const ExportDialog& d, int64_t x, const FileEntry& entry) {
    const SheetLayout& l = d.layout;
    const int64_t half = l.spacing / 2;
    std::u16string lines[kLineCount];
    lines[kLineName] = EntryName(entry);
    const std::string kb = std::to_string((entry.size + 1023) / 1024) + " kb";
    lines[kLineSize] = std::u16string(kb.begin(), kb.end());
    const std::string size = std::to_string(entry.width) + " x " + std::to_string(entry.height);
    lines[kLineImageSize] = std::u16string(size.begin(), size.end());
    if (d.settings.show[kLineCreated])
        lines[kLineCreated] = FileTimeText(u"created: ", entry.created);
    if (d.settings.show[kLineModified])
        lines[kLineModified] = FileTimeText(u"modified: ", entry.modified);
    for (int line = 0; line < kLineCount; ++line) {
        if (!d.settings.show[line]) continue;
        RECT box = {LONG(x - l.frame - half), LONG(l.lineTop[line]),
                    LONG(x + l.frame + half + l.thumbnailSize),
                    LONG(l.lineTop[line] + kSheetLineHeight)};
        std::u16string& text = lines[line];
        DrawTextW(dc, reinterpret_cast<WCHAR*>(text.data()), int(text.size()), &box,
                  DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    GdiFlush(); // the writer reads the rows next
}

using Progress = std::function<bool(uint32_t done)>;

WPARAM RunSheet(ExportDialog& d, ILHandle* handle, const Progress& progress) {
    SheetBandSurface surface(d.layout, d.textColor);
    if (!surface.Pixels()) return kNoSheetBand;
    SheetColors colors;
    d.background.ToBGR8(colors.background);
    d.frameColor.ToBGR8(colors.frame);
    const std::u16string path = LibraryPathOf(d.folder + u"Vx_Thumbnails.png");
    const HDC dc = surface.Context();
    const SheetResult result = WriteThumbnailSheet(
        handle, path.c_str(), d.layout, colors, d.main->folders,
        [&](const SheetBand&, int64_t x, const FileEntry& entry) {
            DrawSheetTexts(dc, d, x, entry);
        },
        progress, surface.Pixels());
    switch (result) {
        case SheetResult::Written:
            return kExportDone;
        case SheetResult::Cancelled:
            return kExportCancelled;
        case SheetResult::CannotOpen:
            return kNoSheetFile;
        case SheetResult::OutOfMemory:
            return kNoSheetBand;
        case SheetResult::WriteFailed:
            break;
    }
    return kSheetWriteFailed;
}

WPARAM RunGallery(ExportDialog& d, ILHandle* handle, const Progress& progress) {
    GalleryPage page;
    page.layout = d.layout;
    for (int line = 0; line < kLineCount; ++line)
        page.show[line] = d.settings.show[line];
    ToRgb(d.textColor, page.text);
    ToRgb(d.background, page.background);
    ToRgb(d.frameColor, page.frameColor);
    page.folder = d.folder;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[16], time[16];
    wsprintfA(date, "%02u/%02u/%02u", now.wMonth, now.wDay, now.wYear % 100);
    wsprintfA(time, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
    const GalleryResult result = WriteGallery(
        handle, LibraryPathOf(d.folder + u"Vx HTML Gallery"), page, d.main->folders,
        [](int64_t seconds) {
            WCHAR text[120];
            FormatFileTime(seconds, text, false);
            return ToUtf8(text);
        },
        progress, date, time);
    switch (result) {
        case GalleryResult::Written:
            return kExportDone;
        case GalleryResult::Cancelled:
            return kExportCancelled;
        case GalleryResult::NoFolders:
            return kNoFolders;
        case GalleryResult::NoPage:
            return kNoPage;
        case GalleryResult::NoThumbnail:
            break;
    }
    return kNoThumbnail;
}

void ExportWorker::Run() {
    ExportDialog& d = dialog_;
    const HWND window = d.dialog.window;
    WPARAM failure = kNoHandle;
    if (ILHandle* handle = ILCreateHandle(d.main->creator)) {
        const Progress progress = [&](uint32_t done) {
            PostMessageW(window, kMsgProgress, done, 0);
            return !d.cancel.load(std::memory_order_relaxed);
        };
        failure = d.kind == ExportKind::Sheet ? RunSheet(d, handle, progress)
                                              : RunGallery(d, handle, progress);
        ILDestroyHandle(handle);
    }
    PostMessageW(window, kMsgFinished, failure, 0);
}

// Dialog side

// The texts above the controls: counts, rows and hints. Only they change;
// erasing the whole dialog would paint over its controls.
void RepaintSummary(const ExportDialog& d) {
    const RECT top = {0, 0, d.dialog.width, kSummaryHeight};
    if (d.dialog.window) InvalidateRect(d.dialog.window, &top, TRUE);
}

void UpdateLayout(ExportDialog& d) {
    d.layout = ComputeSheetLayout(d.settings, g_preferences.thumbnailSize, d.selectedCount);
    RepaintSummary(d);
}

void UpdateOkButton(ExportDialog& d) {
    if (!d.dialog.window) return;
    const bool ready = !d.running && d.thumbnailsUpdating == 0 && d.selectedCount != 0;
    EnableWindow(GetDlgItem(d.dialog.window, IDOK), ready);
    RepaintSummary(d);
}

void SetControlsEnabled(const ExportDialog& d, bool on) {
    for (int id : {kColumnsField, kSpacingField, kFrameField, kBackgroundButton, kFrameColorButton,
                   kTextColorButton})
        EnableWindow(GetDlgItem(d.dialog.window, id), on);
    for (int line = 0; line < kLineCount; ++line)
        EnableWindow(GetDlgItem(d.dialog.window, kFirstShowBox + line), on);
}

// Waits for a running worker (cancelled first when asked), serving the
// messages other threads send meanwhile; the owner learns that it ended.
void StopWorker(ExportDialog& d, bool cancel) {
    if (!d.running) return;
    if (cancel) d.cancel.store(true, std::memory_order_relaxed);
    d.worker.JoinAnswering();
    d.running = false;
    if (IsWindow(d.owner)) SendMessageW(d.owner, kMsgExportRunning, 0, 0);
}

void StoreSettings(const ExportDialog& d) {
    const StoredSettings& f = d.Fields();
    g_preferences.*f.columns = d.settings.columns;
    g_preferences.*f.spacing = d.settings.spacing;
    g_preferences.*f.frame = d.settings.frame;
    g_preferences.*f.background = d.background;
    g_preferences.*f.frameColor = d.frameColor;
    g_preferences.*f.textColor = d.textColor;
    for (int line = 0; line < kLineCount; ++line)
        g_preferences.*f.show[line] = d.settings.show[line] ? 1 : 0;
}

void StartExport(ExportDialog& d) {
    if (d.running || d.selectedCount == 0 || d.thumbnailsUpdating != 0) return;
    StoreSettings(d);
    d.selectedCount = uint32_t(CountSelectedEntries(d.main->folders)); // what the worker finds
    if (d.selectedCount == 0) return;
    UpdateLayout(d);
    d.folder = d.main->folders.folder;
    d.cancel.store(false);
    d.running = true;
    if (IsWindow(d.owner)) SendMessageW(d.owner, kMsgExportRunning, 1, 0);
    ShowWindow(GetDlgItem(d.dialog.window, IDOK), SW_HIDE);
    ShowWindow(GetDlgItem(d.dialog.window, IDCANCEL), SW_HIDE);
    SetControlsEnabled(d, false);
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    RepaintSummary(d);
    if (!d.worker.Start()) PostMessageW(d.dialog.window, kMsgFinished, kNoHandle, 0);
}

// The result of the worker: the dialog closes, then a failure is shown.
void OnFinished(ExportDialog& d, WPARAM failure) {
    StopWorker(d, false);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    Document& main = *d.main;
    const WCHAR* text = FailureText(failure);
    CloseSimpleDialog(d.dialog, IDOK); // d is gone from here on
    if (text) ShowMessageBox(main, BOX_ERROR, text);
}

void ChooseColor(ExportDialog& d, int id) {
    static const WCHAR* const kCaptions[] = {L"Background Color", L"Frame Color", L"Text Color"};
    ILColor* colors[] = {&d.background, &d.frameColor, &d.textColor};
    const int i = id - kBackgroundButton;
    if (ShowColorChooser(*d.main, d.dialog.window, kCaptions[i], IL_RGB8, *colors[i], nullptr))
        SetColorButtonColor(GetDlgItem(d.dialog.window, id), colors[i]->ToCOLORREF());
}

void OnCommand(ExportDialog& d, int id) {
    const HWND window = d.dialog.window;
    switch (id) {
        case IDOK:
            StartExport(d);
            return;
        case IDCANCEL:
            StopWorker(d, true);
            CloseSimpleDialog(d.dialog, IDCANCEL);
            return;
        case kColumnsField:
            d.settings.columns = GetSpinValue(GetDlgItem(window, id));
            break;
        case kSpacingField:
            d.settings.spacing = GetSpinValue(GetDlgItem(window, id));
            break;
        case kFrameField:
            d.settings.frame = GetSpinValue(GetDlgItem(window, id));
            break;
        case kBackgroundButton:
        case kFrameColorButton:
        case kTextColorButton:
            ChooseColor(d, id);
            return;
        default:
            if (id < kFirstShowBox || id >= kFirstShowBox + int{kLineCount}) return;
            d.settings.show[id - kFirstShowBox] = IsButtonChecked(GetDlgItem(window, id));
            break;
    }
    UpdateLayout(d);
}

void CreateControls(ExportDialog& d) {
    const HWND w = d.dialog.window;
    const ExportSettings& s = d.settings;
    CreateSpinField(w, kColumnsField, 66, 68, 48, 1, 100, s.columns);
    CreateSpinField(w, kSpacingField, 66, 92, 48, 1, 100, s.spacing);
    CreateSpinField(w, kFrameField, 66, 116, 48, 0, 10, s.frame);
    static const WCHAR* const kShowTexts[kLineCount] = {L"show file name", L"show file size",
                                                        L"show image size", L"show time created",
                                                        L"show time modified"};
    for (int line = 0; line < kLineCount; ++line)
        CreateCheckBox(w, kFirstShowBox + line, kShowTexts[line], 10, 145 + 20 * line,
                       kShowBoxWidth, s.show[line]);
    CreateColorButton(w, kBackgroundButton, L"Background ...", 10, 252, 112,
                      d.background.ToCOLORREF());
    CreateColorButton(w, kFrameColorButton, L"Frame ...", 10, 276, 112, d.frameColor.ToCOLORREF());
    CreateColorButton(w, kTextColorButton, L"Text ...", 10, 300, 112, d.textColor.ToCOLORREF());
}

void Text(HDC dc, int x, int y, const WCHAR* text) {
    TextOutW(dc, x, y, text, lstrlenW(text));
}

// The hint shown without a selection, the longest lines of the summary.
constexpr const WCHAR* kNoSelectionHint[] = {L"No thumbnails selected!",
                                             L"Use [Ctrl] + [left mouse button] and/or",
                                             L"the 'Select' menu within the list window."};

// At least 220 pixels, wider where the summary's lines need it in the font
// the dialog paints them with (10 pixels on either side).
int DialogWidth() {
    const HDC dc = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(dc, g_interfaceFonts.smallFont);
    int width = 220;
    for (const WCHAR* line : kNoSelectionHint) {
        SIZE size = {};
        GetTextExtentPoint32W(dc, line, lstrlenW(line), &size);
        width = std::max(width, 10 + static_cast<int>(size.cx) + 10);
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return width;
}

void Paint(const ExportDialog& d, HDC dc) {
    const HGDIOBJ pen = PaintSimpleDialogBackground(d.dialog, dc, true);
    const RECT top = {0, 0, d.dialog.width, kSummaryHeight};
    FillRect(dc, &top, g_styleBrushes.Face);
    SetBkMode(dc, TRANSPARENT);
    if (d.selectedCount == 0) {
        for (int line = 0; line < 3; ++line)
            Text(dc, 10, 10 + 15 * line, kNoSelectionHint[line]);
    } else if (d.thumbnailsUpdating != 0) {
        Text(dc, 10, 10, L"Updating thumbnails!");
        Text(dc, 10, 32, L"Please wait...");
    } else {
        WCHAR line[64];
        wsprintfW(line, L"Thumbnails: %d", int(d.selectedCount));
        Text(dc, 10, 10, line);
        wsprintfW(line, L"Sheet rows: %d", int(d.layout.rows));
        Text(dc, 10, 25, line);
    }
    Text(dc, 10, 70, L"Columns:");
    Text(dc, 10, 94, L"Spacing:");
    Text(dc, 10, 118, L"Frame:");
    Text(dc, 120, 70, L"(1 - 100)");
    Text(dc, 120, 94, L"(1 - 100)");
    Text(dc, 120, 118, L"(0 - 10)");
    if (d.running) d.progress.Draw(dc);
    RestoreSimpleDialogPen(dc, pen);
}

INT_PTR ExportDialogMessage(ExportDialog& d, HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            BeginSimpleDialog(d.dialog, window);
            CreateControls(d);
            EndSimpleDialogSetup(d.dialog);
            UpdateOkButton(d);
            return TRUE;
        case WM_ERASEBKGND:
            Paint(d, reinterpret_cast<HDC>(wParam));
            return TRUE;
        case WM_COMMAND:
            OnCommand(d, LOWORD(wParam));
            return TRUE;
        case kMsgProgress:
            if (d.running && d.selectedCount)
                d.progress.Update(window, double(wParam) / d.selectedCount);
            return TRUE;
        case kMsgFinished:
            OnFinished(d, wParam);
            return TRUE;
        case WM_DESTROY: {
            StopWorker(d, true);
            SetWindowLongPtrW(window, DWLP_USER, 0);
            SlotOf(*d.slots, d.kind).reset(); // d is gone from here on
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void ShowExportDialog(ExportDialogs& dialogs, Document& state, HWND owner, ExportKind kind) {
    std::unique_ptr<ExportDialog>& slot = SlotOf(dialogs, kind);
    if (slot) return;
    slot = std::make_unique<ExportDialog>();
    ExportDialog& d = *slot;
    d.slots = &dialogs;
    d.main = &state;
    d.kind = kind;
    d.owner = owner;
    const StoredSettings& f = d.Fields();
    d.settings.columns = g_preferences.*f.columns;
    d.settings.spacing = g_preferences.*f.spacing;
    d.settings.frame = g_preferences.*f.frame;
    // A damaged preferences file must not reach the controls or the layout.
    d.settings = ClampExportSettings(d.settings);
    for (int line = 0; line < kLineCount; ++line)
        d.settings.show[line] = g_preferences.*f.show[line] != 0;
    d.background = g_preferences.*f.background;
    d.frameColor = g_preferences.*f.frameColor;
    d.textColor = g_preferences.*f.textColor;
    d.selectedCount = uint32_t(CountSelectedEntries(d.main->folders));
    d.thumbnailsUpdating = dialogs.thumbnailsUpdating;
    UpdateLayout(d);
    d.progress.Init(100, 338, 112);
    SetupSimpleDialog(d.dialog,
                      kind == ExportKind::Sheet ? L"Create Thumbnail Sheet" : L"Create HTML",
                      DialogWidth(), 362, 2, true, state.host->OwnerWindow());
    if (!ShowSimpleDialogModeless(d.dialog, owner, DialogProcOf<ExportDialog, ExportDialogMessage>,
                                  &d))
        slot.reset();
}

template <typename Visit>
void ForEachDialog(ExportDialogs& dialogs, Visit visit) {
    for (ExportKind kind : {ExportKind::Sheet, ExportKind::Gallery})
        if (ExportDialog* d = SlotOf(dialogs, kind).get()) visit(*d);
}

} // namespace

ExportDialogs::ExportDialogs() = default;

ExportDialogs::~ExportDialogs() {
    CloseExportDialogs(*this);
}

void ShowSheetExportDialog(ExportDialogs& dialogs, Document& state, HWND owner) {
    ShowExportDialog(dialogs, state, owner, ExportKind::Sheet);
}

void ShowGalleryExportDialog(ExportDialogs& dialogs, Document& state, HWND owner) {
    ShowExportDialog(dialogs, state, owner, ExportKind::Gallery);
}

void UpdateExportSelection(ExportDialogs& dialogs, int32_t selectedCount) {
    ForEachDialog(dialogs, [&](ExportDialog& d) {
        if (d.running) return;
        d.selectedCount = uint32_t(std::max(selectedCount, 0));
        UpdateLayout(d);
        UpdateOkButton(d);
    });
}

void UpdateExportThumbnails(ExportDialogs& dialogs, int32_t thumbnailsUpdating) {
    dialogs.thumbnailsUpdating = thumbnailsUpdating;
    ForEachDialog(dialogs, [&](ExportDialog& d) {
        d.thumbnailsUpdating = thumbnailsUpdating;
        UpdateOkButton(d);
    });
}

void CloseExportDialogs(ExportDialogs& dialogs) {
    for (ExportKind kind : {ExportKind::Sheet, ExportKind::Gallery})
        if (ExportDialog* d = SlotOf(dialogs, kind).get())
            SendMessageW(d->dialog.window, WM_COMMAND, IDCANCEL, 0);
}

void RedrawExportDialogs(ExportDialogs& dialogs) {
    ForEachDialog(dialogs, [](ExportDialog& d) {
        RedrawWindow(d.dialog.window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
    });
}
