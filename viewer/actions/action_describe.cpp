#include "viewer/actions/action_describe.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "viewer/actions/action_names.h"
#include "viewer/logic/control_values.h"
#include "viewer/actions/le_bytes.h"
#include "viewer/logic/text_utils.h"

namespace {

constexpr const char* kDegree = "\xB0";

std::string Format(const char* format, ...) {
    char buffer[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// Truncation toward zero that stays defined for any float from a file.
int Truncate(double v) {
    return SaturatingTruncate(v);
}

class Lines {
public:
    std::vector<DescribeItem> items;

    void Text(int x, int y, std::string text) {
        DescribeItem item;
        item.x = x;
        item.y = y;
        item.text = std::move(text);
        items.push_back(std::move(item));
    }
    // Labels at x = 0 from `y`, 15 apart.
    void Labels(int y, std::initializer_list<const char*> labels) {
        for (const char* label : labels) {
            Text(0, y, label);
            y += 15;
        }
    }
    void Swatch(int x, int y, const ILColor& color) {
        DescribeItem item;
        item.kind = DescribeKind::Swatch;
        item.x = x;
        item.y = y;
        item.color = color;
        items.push_back(std::move(item));
    }
    void Wide(DescribeKind kind, int y, std::u16string text, int width, int height) {
        DescribeItem item;
        item.kind = kind;
        item.y = y;
        item.wide = std::move(text);
        item.width = width;
        item.height = height;
        items.push_back(std::move(item));
    }
};

// The UTF-16 text of a fixed field, up to its zero (or its end).
std::u16string FieldText(const uint8_t* field, size_t units) {
    std::u16string text;
    for (size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(field[2 * i] | field[2 * i + 1] << 8);
        if (!unit) break;
        text.push_back(unit);
    }
    return text;
}

void DescribeOpen(Lines& out, const uint8_t* block) {
    switch (GetI32(block)) {
        case OPEN_FROM_FILE:
            out.Text(0, 18, "Image File");
            out.Wide(DescribeKind::PathEllipsis, 36, FieldText(block + 4, 480), 202, 16);
            break;
        case OPEN_FROM_CLIPBOARD:
            out.Text(0, 18, "Clipboard");
            break;
        case OPEN_ACQUIRED: {
            out.Text(0, 18, "Acquired");
            const char* name = reinterpret_cast<const char*>(block + 4);
            out.Text(0, 36, std::string(name, strnlen(name, 960)));
            break;
        }
        default:
            out.Text(0, 18, "Unknown");
            break;
    }
}

void DescribeMode(Lines& out, const ModeBlock& b) {
    DescribeItem item;
    item.kind = DescribeKind::ModeItem;
    item.y = 18;
    item.number = b.command;
    out.items.push_back(item);
    static const char* const kDither[] = {"dither off", "dither ordered", "dither Floyd-Steinberg",
                                          "dither halftone"};
    if (b.dither < 4) out.Text(0, 36, kDither[b.dither]);
    out.Text(0, 51, b.alphaMode ? "alpha apply" : "alpha ignore");
}

void DescribeAlpha(Lines& out, const uint8_t* block) {
    AlphaBlock b;
    DecodeBlock(block, &b);
    switch (b.kind) {
        case ALPHA_ADD_MASK:
            out.Text(0, 18, "Add");
            out.Labels(36, {"Opacity:", "Border:"});
            out.Text(50, 36, Format("%d%%", Truncate(b.opacity * 100 + 0.4999)));
            out.Text(50, 51, Format("%d pixel", b.border));
            break;
        case ALPHA_REMOVE:
            out.Text(0, 18,
                     b.removeAlphaMode == 2 ? "Remove and blend with background"
                                            : "Remove and ignore background");
            break;
        case ALPHA_INVERT:
            out.Text(0, 18, "Invert");
            break;
        case ALPHA_LOAD_FILE: {
            out.Text(0, 18, "Load from file");
            std::u16string path = FieldText(block + 4, 480);
            const size_t slash = path.find_last_of(u'\\');
            if (slash != std::u16string::npos) path.erase(0, slash + 1);
            out.Wide(DescribeKind::EndEllipsis, 36, path, 128, 15);
            break;
        }
        default:
            break;
    }
}

void DescribeToneMap(Lines& out, const ToneMapBlock& b) {
    out.Labels(18, {"Exposure:", "Black:", "Exponent:", "Chroma:", "Hue:", "Whitepoint:"});
    const double exposure = b.exposure > 0 ? std::sqrt(b.exposure) : 0;
    out.Text(62, 18, FormatFixedPoint(exposure, 2));
    out.Text(62, 33, FormatFixedPoint(b.black, 3));
    out.Text(62, 48, FormatFixedPoint(b.exponent != 0 ? 1.0 / b.exponent : 0, 2));
    out.Text(65, 63, Format("%d%%", Truncate(b.chroma * 100.0)));
    out.Text(65, 78, Format("%d%s", Truncate(b.hue), kDegree));
    out.Text(65, 93, Format("%d", b.whitePoint).substr(0, 5) + kDegree);
}

void DescribeWriteText(Lines& out, const Action& action, const WriteTextBlock& b) {
    std::u16string text = ActionText(action) ? ActionText(action) : u"";
    if (text.size() > 29) text = text.substr(0, 28) + u"...";
    out.Wide(DescribeKind::WideText, 18, text, 0, 0);
    out.Labels(33, {"Font:", "Align lines:", "Orientation:", "Anchor:"});
    DescribeItem font;
    font.kind = DescribeKind::FontLabel;
    font.x = 60;
    font.y = 33;
    font.width = 140;
    font.font = b.font;
    out.items.push_back(font);
    out.Text(60, 48, AlignmentName(b.alignment));
    out.Text(60, 63, OrientationName(b.orientation));
    out.Text(60, 78, Format("%s (%i,%i)", AnchorName(b.anchor), b.anchorX, b.anchorY));
    const int e = Truncate(b.effect * 20.0);
    if (e == 0) {
        out.Text(0, 93, "No effect");
        return;
    }
    out.Text(0, 93, e < 0 ? "Shadow:" : "Glow:");
    out.Text(
        60, 93,
        Format("%i, blur %i, offset (%i,%i)", std::abs(e), b.effectBlur, b.effectX, b.effectY));
}

} // namespace

std::vector<DescribeItem> DescribeAction(const Action& action, bool withName) {
    Lines out;
    if (withName) out.Text(0, 0, ActionTypeName(action.type));
    const uint8_t* block = action.block;
    if (!block) return out.items;
    switch (action.type) {
        case ACTION_OPEN:
            DescribeOpen(out, block);
            break;
        case ACTION_MODE: {
            ModeBlock b;
            DecodeBlock(block, &b);
            DescribeMode(out, b);
            break;
        }
        case ACTION_ALPHA_CHANNEL:
            DescribeAlpha(out, block);
            break;
        case ACTION_TONEMAPPING: {
            ToneMapBlock b;
            DecodeBlock(block, &b);
            DescribeToneMap(out, b);
            break;
        }
        case ACTION_COLOR_FILTER: {
            ColorFilterBlock b;
            DecodeBlock(block, &b);
            out.Labels(18, {"Hue lights:", "Filter lights:", "Hue shadows:", "Filter shadows:"});
            out.Text(77, 18, Format("%d%s", Truncate(b.lightHue), kDegree));
            out.Text(77, 33, Format("%d%%", Truncate(b.lightStrength)));
            out.Text(77, 48, Format("%d%s", Truncate(b.shadowHue), kDegree));
            out.Text(77, 63, Format("%d%%", Truncate(b.shadowStrength)));
            break;
        }
        case ACTION_GAUSS_FILTER: {
            GaussBlock b;
            DecodeBlock(block, &b);
            out.Labels(18, {"Operation:", "Filter:", "Radius:", "Gain:"});
            out.Text(62, 18, GaussOperationName(b.operation));
            out.Text(62, 33, Format("%d%%", Truncate(std::floor(b.amount * 100.0 + 0.5))));
            out.Text(62, 48, Format("%d", b.radius));
            out.Text(59, 63, Format("%.2f", static_cast<double>(b.gain)));
            break;
        }
        case ACTION_CROP:
        case ACTION_EXPAND: {
            ExpandBlock b;
            DecodeBlock(block, &b.margins);
            out.Labels(18, {"Left border:", "Right border:", "Top border:", "Bottom border:"});
            const int32_t values[] = {b.margins.left, b.margins.right, b.margins.top,
                                      b.margins.bottom};
            for (int i = 0; i < 4; ++i)
                out.Text(75, 18 + 15 * i, Format("%d", values[i]));
            if (action.type == ACTION_EXPAND) {
                out.Text(0, 78, "Border color");
                out.Swatch(75, 78, DecodeColor(block + 16));
            }
            break;
        }
        case ACTION_SHIFT:
            out.Labels(18, {"horizontal:", "vertical:"});
            out.Text(72, 18, Format("%d", GetI32(block)));
            out.Text(72, 33, Format("%d", GetI32(block + 4)));
            break;
        case ACTION_ROTATE:
            out.Text(0, 18, "clockwise:");
            out.Text(65, 18, Format("%d%s", GetI32(block), kDegree));
            break;
        case ACTION_MIRROR:
            out.Text(0, 18, GetI32(block) ? "left/right" : "up/down");
            break;
        case ACTION_RESAMPLE: {
            ResampleBlock b;
            DecodeBlock(block, &b);
            out.Labels(18, {"Width:", "Height:", "Filter:"});
            out.Text(60, 18, Format("%d", b.width));
            out.Text(60, 33, Format("%d", b.height));
            out.Text(60, 48, ResampleFilterName(b.filter));
            break;
        }
        case ACTION_INVERT:
            if (!withName) out.Text(0, 18, "Invert image colors");
            break;
        case ACTION_SWAP_RED_BLUE:
            if (!withName) out.Text(0, 18, "Swap red/blue color channels");
            break;
        case ACTION_WRITE_TEXT: {
            WriteTextBlock b;
            DecodeBlock(block, &b);
            DescribeWriteText(out, action, b);
            break;
        }
        case ACTION_AFFINE: {
            ILAffineParams b;
            DecodeBlock(block, &b);
            out.Labels(18, {"Rotate:", "Scale:", "Translate:", "Oversample:", "Border color"});
            out.Text(65, 18, Format("%1.1f%s", b.angle, kDegree));
            out.Text(65, 33, Format("%1.1f%%", b.scaleX * 100));
            out.Text(65, 48, Format("X: %1.3f  Y:%1.3f", b.shiftX, b.shiftY));
            out.Text(65, 63, Format("%ix%i", b.oversampling, b.oversampling));
            out.Swatch(65, 78, b.background);
            break;
        }
        case ACTION_PERSPECTIVE: {
            ILPerspectiveParams b;
            DecodeBlock(block, &b);
            const double* c = b.corners;
            out.Text(0, 18, "Selection:");
            out.Labels(48, {"Scale:", "Mapping:", "Oversample:", "Border color"});
            out.Text(65, 18, Format("(%1.3f, %1.3f), (%1.3f, %1.3f)", c[0], c[1], c[2], c[3]));
            out.Text(65, 33, Format("(%1.3f, %1.3f), (%1.3f, %1.3f)", c[4], c[5], c[6], c[7]));
            out.Text(65, 48, Format("X: %1.1f%%  Y: %1.1f%%", b.scaleX * 100, b.scaleY * 100));
            out.Text(65, 63, MappingName(b.mapping));
            out.Text(65, 78, Format("%ix%i", b.oversampling, b.oversampling));
            out.Swatch(65, 93, b.background);
            break;
        }
        case ACTION_PROJECTION_3D: {
            ILProjectionParams b;
            DecodeBlock(block, &b);
            out.Labels(18, {"SP:", "DP:", "Oversample:", "Border color"});
            out.Text(19, 18, ProjectionName(b.sourceProjection));
            out.Text(19, 33, ProjectionName(b.targetProjection));
            out.Text(60, 48, Format("%ix%i", b.oversampling, b.oversampling));
            out.Swatch(65, 63, b.background);
            break;
        }
        default:
            break;
    }
    return out.items;
}
