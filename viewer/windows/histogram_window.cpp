#include "viewer/windows/histogram_window.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <string>

#include "resources/commands.h"
#include "viewer/controls/control_base.h"
#include "viewer/controls/control_drawing.h"
#include "viewer/controls/slider.h"
#include "viewer/document/document.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/style/style.h"
#include "viewer/platform/window_state.h"

namespace {

constexpr int kScaleSlider = 1015;
constexpr int kClientHeight = 470;
constexpr int kGraphTops[3] = {45, 160, 275}; // red, green, blue areas (grey: the first)
constexpr int kGraphHeight = 108;
constexpr int kGraphLeft = 10;
constexpr int kGraphRight = 272;
constexpr int kBarX = 13;

struct Graph {
    int channel;
    COLORREF bar;
};

int Baseline(int area) {
    return kGraphTops[area] + kGraphHeight - 3;
}

void Text(HDC dc, int x, int y, const char* text) {
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

// Pads with blanks so that a shorter text covers a longer one before it.
void PaddedText(HDC dc, int x, int y, const std::string& text, size_t slot) {
    std::string padded = text;
    if (padded.size() + 1 < slot) padded.append(slot - 1 - padded.size(), ' ');
    TextOutA(dc, x, y, padded.c_str(), static_cast<int>(padded.size()));
}

int GraphCount(const HistogramWindowState& h) {
    return h.counts.color ? 3 : 1;
}

int ChannelOfArea(const HistogramWindowState& h, int area) {
    return h.counts.color ? area : HIST_GREEN;
}

void DrawBars(const HistogramWindowState& h, HDC dc, int area, COLORREF grid, COLORREF bar) {
    const RECT rect = {kGraphLeft, kGraphTops[area], kGraphRight, kGraphTops[area] + kGraphHeight};
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const int base = Baseline(area);
    const HPEN gridPen = CreatePen(PS_SOLID, 1, grid);
    HGDIOBJ old = SelectObject(dc, gridPen);
    for (int x : {13, 76, 140, 204, 268}) {
        MoveToEx(dc, x, base, nullptr);
        LineTo(dc, x, kGraphTops[area]);
    }
    const HPEN barPen = CreatePen(PS_SOLID, 1, bar);
    SelectObject(dc, barPen);
    const BarHeights& bars = h.bars[ChannelOfArea(h, area)];
    for (int i = 0; i < kHistogramBins; ++i) {
        if (bars.heights[i] == 0) continue;
        MoveToEx(dc, kBarX + i, base, nullptr);
        LineTo(dc, kBarX + i, base - static_cast<int>(bars.heights[i]));
    }
    SelectObject(dc, old);
    DeleteObject(barPen);
    DeleteObject(gridPen);
}

// The probe's marker line above the bar of the probed value; erasing draws it
// in the graph's colours again.
void DrawMarker(const HistogramWindowState& h, HDC dc, bool erase) {
    if (!h.hasImage || h.probe.marker[HIST_GREEN] < 0) return;
    for (int area = 0; area < GraphCount(h); ++area) {
        const int channel = ChannelOfArea(h, area);
        const int marker = h.probe.marker[channel];
        if (marker < 0) continue;
        const int x = kBarX + marker;
        COLORREF color = 0x9F9F9F;
        if (erase) color = (marker & 0x3F) == 0x3F ? (h.counts.color ? 0x5F5F5F : 0x646464) : 0;
        const HPEN pen = CreatePen(PS_SOLID, 1, color);
        const HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, x, Baseline(area) - static_cast<int>(h.bars[channel].heights[marker]) - 1,
                 nullptr);
        LineTo(dc, x, kGraphTops[area]);
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

void DrawProbeTexts(const HistogramWindowState& h, HDC dc) {
    SelectSmallTextStyle(dc);
    SetBkMode(dc, OPAQUE);
    PaddedText(dc, 70, 392, h.probe.position, 40);
    PaddedText(dc, 70, 411, h.probe.encodedText, 32);
    PaddedText(dc, 70, 428, h.probe.linearText, 52);
    PaddedText(dc, 70, 445, h.probe.labText, 56);
    const RECT side = {267, 410, 351, 469};
    FillRect(dc, &side, g_styleBrushes.Face);
    PaddedText(dc, 232, 411, h.probe.indexText, 16);
    PaddedText(dc, 232, 428, h.probe.opacityText, 16);
    Text(dc, 148, 392, h.probeLock ? "(locked)       " : "               ");
}

void DrawScaleText(const HistogramWindowState& h, HDC dc) {
    char text[16];
    std::snprintf(text, sizeof text, "%d%%   ", static_cast<int>(h.scale / 10));
    SelectSmallTextStyle(dc);
    SetBkMode(dc, OPAQUE);
    TextOutA(dc, 310, 29, text, 5);
}

void Paint(const HistogramWindowState& h, HDC dc) {
    SelectSmallTextStyle(dc);
    SetBkMode(dc, TRANSPARENT);
    const bool wide = h.hasImage && h.counts.wideRange;
    if (wide) {
        Text(dc, 7, 29, "0.0");
        Text(dc, 69, 29, "0.25");
        Text(dc, 133, 29, "0.50");
        Text(dc, 197, 29, "0.75");
        Text(dc, 261, 29, "1.0");
    } else {
        Text(dc, 10, 29, "0");
        Text(dc, 71, 29, "63");
        Text(dc, 132, 29, "127");
        Text(dc, 196, 29, "191");
        Text(dc, 260, 29, "255");
    }
    DrawScaleText(h, dc);
    SetBkMode(dc, TRANSPARENT);
    const bool gray = h.hasImage && !h.counts.color;
    if (h.hasImage) {
        SelectObject(dc, g_interfaceFonts.normalFont);
        const char* space = gray ? (wide ? "Color space: scGray" : "Color space: sGray")
                                 : (wide ? "Color space: scRGB" : "Color space: sRGB");
        Text(dc, 10, 10, space);
        if (h.counts.color) {
            const COLORREF bars[3] = {0x0000FF, 0x00C900, 0xFF4444};
            for (int area = 0; area < 3; ++area)
                DrawBars(h, dc, area, 0x5F5F5F, bars[area]);
        } else {
            DrawBars(h, dc, 0, 0x646464, 0x878787);
        }
        DrawMarker(h, dc, false);
    } else {
        SelectObject(dc, g_interfaceFonts.normalFont);
        Text(dc, 10, 10, "No image");
    }
    if (!h.hasImage || gray) {
        for (int area = h.hasImage ? 1 : 0; area < 3; ++area) {
            const RECT frame = {kGraphLeft, kGraphTops[area], kGraphRight,
                                kGraphTops[area] + kGraphHeight};
            FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
    }
    SelectSmallTextStyle(dc);
    SetBkMode(dc, TRANSPARENT);
    Text(dc, 10, 391, "Pixel (x/y):");
    Text(dc, 10, 410, gray ? "sGray:" : "sRGB:");
    Text(dc, 10, 427, gray ? "scGray:" : "scRGB:");
    Text(dc, 10, 444, gray ? "L*:" : "L*a*b:");
    DrawProbeTexts(h, dc);
}

void OnPaint(HistogramWindowState& h) {
    PAINTSTRUCT ps;
    const HDC dc = BeginToolWindowPaint(h.tool, ps);
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.smallFont);
    Paint(h, dc);
    SelectObject(dc, oldFont);
    EndToolWindowPaint(h.tool, ps);
}

void ComputeBars(HistogramWindowState& h) {
    const uint64_t pixels = uint64_t{h.width} * h.height;
    for (int c = 0; c < 3; ++c)
        if (h.counts.color || c == HIST_GREEN)
            ComputeBarHeights(h.counts.bins[c], h.scale, pixels, h.bars[c]);
}

// Draws the probe's texts and marker now, on a window device context.
void ShowProbe(HistogramWindowState& h, const PixelProbe& probe) {
    const HDC dc = GetDC(h.tool.window);
    const HGDIOBJ oldFont = SelectObject(dc, g_interfaceFonts.smallFont);
    DrawMarker(h, dc, true);
    h.probe = probe;
    DrawMarker(h, dc, false);
    DrawProbeTexts(h, dc);
    SelectObject(dc, oldFont);
    ReleaseDC(h.tool.window, dc);
}

void UpdatePixelProbe(HistogramWindowState& h, int x, int y) {
    Document& state = *h.tool.document;
    PixelProbe probe;
    const bool inside = h.hasImage && x >= 0 && y >= 0 && static_cast<uint32_t>(x) < h.width &&
                        static_cast<uint32_t>(y) < h.height;
    if (inside) {
        probe = ProbePixel(state.image, x, y);
        if (!h.tracking) {
            TrackMouseLeave(state.host->OwnerWindow());
            h.tracking = true;
        }
    }
    ShowProbe(h, probe);
}

void ComputeHistogram(HistogramWindowState& h, int x, int y) {
    Document& state = *h.tool.document;
    if (!state.image.data || !ComputeHistogramCounts(state.image, h.counts)) {
        h.counts = HistogramCounts{};
        h.hasImage = false;
        h.width = h.height = 0;
        h.probeLock = false;
        h.probe = PixelProbe{};
        InvalidateRect(h.tool.window, nullptr, TRUE);
        return;
    }
    if (h.probeLock) {
        if (state.image.width == h.width && state.image.height == h.height) {
            x = h.lockX;
            y = h.lockY;
        } else {
            h.probeLock = false;
        }
    }
    h.hasImage = true;
    h.width = state.image.width;
    h.height = state.image.height;
    ComputeBars(h);
    h.probe = PixelProbe{};
    if (x >= 0 && y >= 0 && static_cast<uint32_t>(x) < h.width &&
        static_cast<uint32_t>(y) < h.height)
        h.probe = ProbePixel(state.image, x, y);
    InvalidateRect(h.tool.window, nullptr, TRUE);
}

void SetScale(HistogramWindowState& h, int value) {
    h.scale = value * 10.0;
    g_preferences.histogramScale = value * 10;
    if (h.hasImage) {
        ComputeBars(h);
        InvalidateRect(h.tool.window, nullptr, TRUE);
    } else {
        const HDC dc = GetDC(h.tool.window);
        DrawScaleText(h, dc);
        ReleaseDC(h.tool.window, dc);
    }
}

LRESULT HistogramMessage(HistogramWindowState& h, HWND window, UINT message, WPARAM wParam,
                         LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            OnPaint(h);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == kScaleSlider && HIWORD(wParam) == ControlChanged)
                SetScale(h, static_cast<int>(lParam));
            return 0;
        case WM_CLOSE:
            CloseHistogramWindow(h);
            return 0;
        default:
            return ToolWindowMessage(h.tool, window, message, wParam, lParam);
    }
}

int StoredSliderValue() {
    return std::clamp(g_preferences.histogramScale / 10, 100, 500);
}

} // namespace

void CreateHistogramWindow(HistogramWindowState& h, Document& document) {
    if (!CreateToolWindow(h.tool, document, L"Histogram", &g_preferences.histogramWindowX,
                          &g_preferences.histogramWindowY, kClientHeight,
                          WindowProcOf<HistogramWindowState, HistogramMessage>, &h))
        return;
    const int value = StoredSliderValue();
    CreateSlider(h.tool.window, kScaleSlider, 312, 45, 340, 100, 500, value, true);
    h.scale = value * 10.0;
    h.width = h.height = 0;
    h.hasImage = false;
    h.probe = PixelProbe{};
    h.tracking = h.probeLock = false;
    g_preferences.histogramWindowShown = 1;
    document.host->CheckMenuItem(CMD_HISTOGRAM_WINDOW, true);
    UpdateHistogram(h);
    ShowToolWindow(h.tool);
}

void CloseHistogramWindow(HistogramWindowState& h) {
    if (!h.tool.window) return;
    DestroyToolWindow(h.tool);
    g_preferences.histogramWindowShown = 0;
    h.tool.document->host->CheckMenuItem(CMD_HISTOGRAM_WINDOW, false);
}

void UpdateHistogram(HistogramWindowState& h) {
    if (!h.tool.window) return;
    int x = 0, y = 0;
    h.tool.document->host->MouseImagePoint(&x, &y);
    ComputeHistogram(h, x, y);
}

void ProbeMouseMove(HistogramWindowState& h) {
    if (!h.tool.window || h.probeLock) return;
    int x = 0, y = 0;
    h.tool.document->host->MouseImagePoint(&x, &y);
    UpdatePixelProbe(h, x, y);
}

void ProbeMouseLeave(HistogramWindowState& h) {
    if (!h.tool.window) return;
    h.tracking = false;
    if (!h.probeLock) UpdatePixelProbe(h, -1, -1);
}

void LockProbeAtMouse(HistogramWindowState& h) {
    if (!h.tool.window) return;
    int x = 0, y = 0;
    h.tool.document->host->MouseImagePoint(&x, &y);
    const bool inside = h.hasImage && x >= 0 && y >= 0 && static_cast<uint32_t>(x) < h.width &&
                        static_cast<uint32_t>(y) < h.height;
    h.probeLock = inside && !h.probeLock;
    UpdatePixelProbe(h, x, y);
    h.lockX = x;
    h.lockY = y;
}

bool CopyPixelValueText(HistogramWindowState& h) {
    if (!h.tool.window || GetForegroundWindow() != h.tool.window) return false;
    const std::string text = ProbeClipboardText(h.probe.linearText);
    if (text.empty()) return false;
    // Sized by the text: huge float values make it longer than a fixed block.
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (!block) return false;
    char* bytes = static_cast<char*>(GlobalLock(block));
    std::memcpy(bytes, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    if (!OpenClipboard(h.tool.document->host->OwnerWindow())) {
        GlobalFree(block);
        return false;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
    CloseClipboard();
    return true;
}
