// The Histogram window: the value distribution of the current image (three
// graphs for colour and indexed images, one for grey) with a vertical scale,
// and the pixel probe under the mouse in the main window, which Ctrl+click
// locks and Ctrl+C copies as text while the window is in front.
#pragma once

#include <windows.h>

#include "viewer/logic/histogram.h"
#include "viewer/windows/tool_window.h"

struct Document;

struct HistogramWindowState {
    ToolWindow tool;
    HistogramCounts counts;
    BarHeights bars[3];
    PixelProbe probe;
    uint32_t width = 0; // the image last histogrammed; 0 x 0 when none
    uint32_t height = 0;
    bool hasImage = false;
    double scale = 1000; // slider value x 10
    bool tracking = false;
    bool probeLock = false;
    int lockX = 0;
    int lockY = 0;
};

void CreateHistogramWindow(HistogramWindowState& h, Document& document);
void CloseHistogramWindow(HistogramWindowState& h);
// Recounts after the image was shown, changed or cleared.
void UpdateHistogram(HistogramWindowState& h);
// Mouse events of the main window, in its client coordinates (lastMouse).
void ProbeMouseMove(HistogramWindowState& h);
void ProbeMouseLeave(HistogramWindowState& h);
void LockProbeAtMouse(HistogramWindowState& h);
// The probe's linear values on the clipboard as text, when the window is in
// front; false when it put nothing there.
bool CopyPixelValueText(HistogramWindowState& h);
