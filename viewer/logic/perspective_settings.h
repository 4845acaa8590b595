// The settings of the Perspective Projection dialog over its action record
// (ILPerspectiveParams): the corners as pixel fields and as handles on the
// preview, the moved flags, scales, mapping, the mapped preview and its
// "INVALID !" state. Images and previews one pixel wide or high have no
// span to divide by: their factors are 0, so no NaN reaches a field.
#pragma once

#include <cstdint>
#include <string>

#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/ops/geometry.h"
#include "viewer/logic/preview_fit.h"

struct PerspectiveGeometry {
    int32_t maxX = 0, maxY = 0;        // the image's last column and row
    double toImageX = 0, toImageY = 0; // image pixels per preview pixel
    PreviewPlacement preview;
};
PerspectiveGeometry PerspectiveGeometryFor(uint32_t imageWidth, uint32_t imageHeight,
                                           const PreviewPlacement& preview);

// Corner k: 0 top-left (0, 1), 1 top-right (1, 1), 2 bottom-right (1, 0),
// 3 bottom-left (0, 0); x from the left, y up from the bottom.
inline constexpr double kDefaultCorners[8] = {0, 1, 1, 1, 1, 0, 0, 0};

// Defaults: the image's own corners, scales 1, selection to image,
// oversampling 1.
ILPerspectiveParams DefaultPerspective(const ILColor& background);
// A stored record as the controls take it: corners that are no numbers
// back at their default places and the others kept within the image,
// scales quantised to their sliders (0.25 ... 2.5), mapping 0 ... 2,
// oversampling 1 ... 8 (1 when the image does not allow it).
ILPerspectiveParams PerspectiveFromStored(const ILPerspectiveParams& stored,
                                          bool oversampleAllowed);

// A corner's fields: pixels from the left and up from the bottom row.
int32_t CornerFieldX(const PerspectiveGeometry& g, double x);
int32_t CornerFieldY(const PerspectiveGeometry& g, double y);
// A field's value as a fraction of the image. A side of one pixel has no
// span to divide by: its field (always 0) keeps the corner's current value,
// so that typing or dragging along the other side never folds the corners.
double CornerFromFieldX(const PerspectiveGeometry& g, int32_t v, double current);
double CornerFromFieldY(const PerspectiveGeometry& g, int32_t v, double current);

struct ClientPoint {
    int32_t x = 0, y = 0;
};
// Where corner (x, y)'s handle stands on the preview.
ClientPoint CornerHandle(const PerspectiveGeometry& g, double x, double y);
// The field values a handle dragged to `handle` gives (then read back as
// the corner through CornerFromField).
int32_t HandleFieldX(const PerspectiveGeometry& g, int32_t handleX);
int32_t HandleFieldY(const PerspectiveGeometry& g, int32_t handleY);

bool CornerMoved(const ILPerspectiveParams& p, int corner);
// Preview and Apply need a valid mapped preview and a moved corner or a
// scale other than 1.
bool PerspectiveApplyEnabled(const ILPerspectiveParams& p, bool valid);

// The scale sliders: scale x 1000, 250 ... 2500; their label "%1.1f%%".
int32_t PerspectiveScaleSlider(double scale);
std::string PerspectiveScaleText(double scale);
// "%d x %d pixel" of what applying makes of the image; empty when the
// library gives no size.
std::string PerspectiveSizeText(const ILImage& unedited, const ILPerspectiveParams& p);
// The mapping of the radio buttons and the "adapt" check box.
inline uint8_t PerspectiveMapping(bool imageToSelection, bool adaptSize) {
    return imageToSelection ? (adaptSize ? 2 : 1) : 0;
}

// Maps the preview source into the preview image at scale 1 with mapping
// 1 and the given oversampling, for mappings 1 and 2; the answer is the
// valid state ("Selection to image" is always valid and maps nothing).
bool MapPerspectivePreview(ILHandle* h, ILImage* previewSource, ILImage* previewImage,
                           const ILPerspectiveParams& p, uint8_t oversampling);
