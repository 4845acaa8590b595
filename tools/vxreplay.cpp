// vxreplay: the viewer's edits without the viewer, for its cases under Wine,
// which compare what the running viewer shows with what this native build
// makes of the same input.
//
//   vxreplay apply IN LIST.vxa OUT
//                  every action of an action-list file repeated on the image
//                  as the viewer's replay does (Open and Save actions skipped)
//   vxreplay action LIST.vxa tonemap EXPOSURE BLACK EXPONENT CHROMA HUE WHITE
//   vxreplay action LIST.vxa colorfilter LIGHT_HUE LIGHT_STRENGTH SHADOW_HUE
//                  SHADOW_STRENGTH
//   vxreplay action LIST.vxa shift DX DY
//   vxreplay action LIST.vxa expand LEFT RIGHT TOP BOTTOM
//   vxreplay action LIST.vxa resample IMAGE_WIDTH IMAGE_HEIGHT WIDTH FILTER
//                  (the width typed with the aspect lock on)
//   vxreplay action LIST.vxa gauss OPERATION AMOUNT RADIUS GAIN
//                  (the sliders; every channel box checked, colour image)
//   vxreplay action LIST.vxa project IMAGE_WIDTH IMAGE_HEIGHT FROM TO MODE
//                  [WIDTH HEIGHT]  (projections 0-3, size mode 0-2; WIDTH and
//                  HEIGHT typed into the size fields after the choice)
//   vxreplay action LIST.vxa text TEXT [NAME=VALUE ...]
//                  (NAME: face height weight quality color (RRGGBB) align
//                  anchor x y orientation effect blur ex ey, over the
//                  preferences' defaults)
//                  an action-list file with the one action that the dialog
//                  records for these settings, built by the same code; the
//                  background colours are the preferences' defaults
//   vxreplay preview IN OUT tonemap EXPOSURE BLACK EXPONENT CHROMA HUE WHITE
//   vxreplay preview IN OUT colorfilter LIGHT_HUE LIGHT_STRENGTH SHADOW_HUE
//                  SHADOW_STRENGTH
//                  the small live preview of the Tonemapping or Color Filter
//                  dialog for these slider values, written as B, G, R 8-bit
//                  as the dialog shows it
//
// The exit status is 0 when everything succeeded, 1 on a failure, 2 on bad
// usage.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "imglib/imglib.h"
#include "imglib/io/path.h"
#include "viewer/actions/action_apply.h"
#include "viewer/actions/action_file.h"
#include "viewer/actions/history_push.h"
#include "viewer/logic/filter_preview.h"
#include "viewer/logic/preferences.h"
#include "viewer/logic/preview_fit.h"
#include "viewer/logic/projection_3d_settings.h"
#include "viewer/tool_settings/background_settings.h"
#include "viewer/tool_settings/color_filter_settings.h"
#include "viewer/tool_settings/expand_settings.h"
#include "viewer/tool_settings/gauss_settings.h"
#include "viewer/tool_settings/resample_settings.h"
#include "viewer/tool_settings/tone_map_settings.h"
#include "viewer/tool_settings/write_text_settings.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Usage() {
    std::fputs(
        "usage: vxreplay apply IN LIST.vxa OUT\n"
        "       vxreplay action LIST.vxa tonemap|colorfilter|shift|expand|resample|gauss|"
        "project|text VALUE...\n"
        "       vxreplay preview IN OUT tonemap EXPOSURE BLACK EXPONENT CHROMA HUE WHITE\n"
        "       vxreplay preview IN OUT colorfilter LIGHT_HUE LIGHT_STRENGTH SHADOW_HUE "
        "SHADOW_STRENGTH\n",
        stderr);
    return kExitUsage;
}

struct Handle {
    ILHandle* h = ILCreateHandle("vxreplay");
    ~Handle() { ILDestroyHandle(h); }
};

struct Image {
    ILImage image;
    Image() { ILInitImage(&image); }
    ~Image() { ILFreeImage(&image); }
};

bool ParseInt(const char* text, int32_t* value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

// Mode changes and Write Text are not among the edits the cases replay.
class NoHost : public ActionHost {
public:
    bool ChangeMode(const ModeBlock&) override { return false; }
    bool WriteText(const WriteTextBlock&, const char16_t*) override { return false; }
    std::u16string LibraryPath(const std::u16string& recorded) override { return recorded; }
};

int Apply(ILHandle* h, const char* in, const char* list, const char* out) {
    Image image;
    ILInfo info;
    if (ILLoadImage(h, ILUtf8ToPath(in).c_str(), &image.image, &info) != IL_OK) return kExitFailed;
    std::vector<uint8_t> bytes;
    ActionList actions;
    if (!ReadWholeFile(ILUtf8ToPath(list).c_str(), &bytes) || !DecodeActionList(bytes, &actions)) {
        std::fprintf(stderr, "vxreplay: no action list in %s\n", list);
        return kExitFailed;
    }
    NoHost host;
    for (const Action& action : actions.items) {
        if (action.type == ACTION_OPEN || action.type == ACTION_SAVE) continue;
        if (!ApplyAction(action, h, &image.image, host)) {
            std::fprintf(stderr, "vxreplay: action of type %d failed\n", action.type);
            return kExitFailed;
        }
    }
    return ILSaveImage(h, ILUtf8ToPath(out).c_str(), &image.image, &info) == IL_OK ? 0
                                                                                    : kExitFailed;
}

// The slider values of a tonemap (6) or colorfilter (4) command line.
bool ParseSliders(const std::string& kind, int count, char** values, int32_t v[6]) {
    if (!((kind == "tonemap" && count == 6) || (kind == "colorfilter" && count == 4)))
        return false;
    for (int i = 0; i < count; ++i)
        if (!ParseInt(values[i], &v[i])) return false;
    return true;
}

ToneMapBlock ToneMapOf(const int32_t v[6]) {
    ToneMapSliders sliders;
    std::copy(v, v + 6, sliders.v);
    return ToneMapBlockOf(sliders);
}

ColorFilterBlock ColorFilterOf(const int32_t v[6]) {
    return ColorFilterBlockOf({v[0], v[1], v[2], v[3]});
}

// Each numeric argument, all or nothing.
bool ParseInts(int count, char** values, int32_t* v) {
    for (int i = 0; i < count; ++i)
        if (!ParseInt(values[i], &v[i])) return false;
    return true;
}

// A Write Text option NAME=VALUE onto the settings; false for an unknown
// name or a bad value.
bool SetTextOption(const char* option, WriteTextSettings* w) {
    const char* equals = std::strchr(option, '=');
    if (!equals) return false;
    const std::string name(option, equals);
    const char* value = equals + 1;
    if (name == "face") {
        if (std::strlen(value) >= sizeof w->font.faceName) return false;
        std::memset(w->font.faceName, 0, sizeof w->font.faceName);
        std::memcpy(w->font.faceName, value, std::strlen(value));
        return true;
    }
    if (name == "color") {
        char* end = nullptr;
        const unsigned long rgb = std::strtoul(value, &end, 16);
        if (end == value || *end || rgb > 0xFFFFFF) return false;
        w->textColor.Set(static_cast<float>(rgb >> 16) / 255.0f,
                         static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
                         static_cast<float>(rgb & 0xFF) / 255.0f);
        w->textColor.a = 1;
        w->textColor.index = -1;
        return true;
    }
    if (name == "effect") {
        char* end = nullptr;
        w->effect = std::strtof(value, &end);
        return end != value && !*end;
    }
    using Setter = void (*)(WriteTextSettings*, int32_t);
    static const std::pair<const char*, Setter> kInts[] = {
        {"height", [](WriteTextSettings* s, int32_t v) { s->font.height = v; }},
        {"weight", [](WriteTextSettings* s, int32_t v) { s->font.weight = v; }},
        {"quality", [](WriteTextSettings* s, int32_t v) { s->font.quality = uint8_t(v); }},
        {"align", [](WriteTextSettings* s, int32_t v) { s->alignment = v; }},
        {"anchor", [](WriteTextSettings* s, int32_t v) { s->anchor = uint8_t(v); }},
        {"x", [](WriteTextSettings* s, int32_t v) { s->offsetX = v; }},
        {"y", [](WriteTextSettings* s, int32_t v) { s->offsetY = v; }},
        {"orientation", [](WriteTextSettings* s, int32_t v) { s->orientation = uint8_t(v); }},
        {"blur", [](WriteTextSettings* s, int32_t v) { s->blur = uint8_t(v); }},
        {"ex", [](WriteTextSettings* s, int32_t v) { s->effectX = int8_t(v); }},
        {"ey", [](WriteTextSettings* s, int32_t v) { s->effectY = int8_t(v); }},
    };
    int32_t v = 0;
    for (const auto& [known, set] : kInts)
        if (name == known) {
            if (!ParseInt(value, &v)) return false;
            set(w, v);
            return true;
        }
    return false;
}

// The action a dialog records for the settings of a command line, pushed
// onto `list` by the dialog's own recording function; false on bad usage.
bool RecordDialogAction(ILHandle* h, const std::string& kind, int n, char** a, ActionList* list,
                        bool* pushed) {
    Preferences defaults;
    SetDefaultPreferences(defaults, h, 1024);
    int32_t v[7] = {};
    if ((kind == "tonemap" || kind == "colorfilter") && ParseSliders(kind, n, a, v)) {
        *pushed = kind == "tonemap" ? PushHistoryToneMapping(*list, ToneMapOf(v))
                                    : PushHistoryColorFilter(*list, ColorFilterOf(v));
    } else if (kind == "shift" && n == 2 && ParseInts(n, a, v)) {
        *pushed = PushHistoryShift(*list, ShiftBlock{v[0], v[1]});
    } else if (kind == "expand" && n == 4 && ParseInts(n, a, v)) {
        ExpandSettings s;
        s.uniform = false;
        s.sides = {v[0], v[1], v[2], v[3]};
        *pushed = PushHistoryExpand(
            *list, ExpandBlock{ExpandMarginsOf(s), SharedBackground(defaults, false)});
    } else if (kind == "resample" && n == 4 && ParseInts(n, a, v) && v[0] > 0 && v[1] > 0 &&
               v[3] >= 0 && v[3] <= 6) {
        ResampleSettings s =
            ResampleDefaults(static_cast<uint32_t>(v[0]), static_cast<uint32_t>(v[1]),
                             static_cast<uint8_t>(v[3]), true);
        ResampleWidthTyped(&s, v[2]);
        *pushed = PushHistoryResample(*list, ResampleBlockOf(s));
    } else if (kind == "gauss" && n == 4 && ParseInts(n, a, v)) {
        GaussBlock b = GaussDefaults();
        b.operation = v[0];
        b.amount = static_cast<float>(v[1]) / 100.0f;
        b.radius = v[2];
        b.gain = static_cast<float>(v[3]) / 100.0f;
        GaussRecordChannels(GaussChannelBoxes{}, false, false, b.channels);
        *pushed = PushHistoryGaussFilter(*list, b);
    } else if (kind == "project" && (n == 5 || n == 7) && ParseInts(n, a, v) && v[0] > 0 &&
               v[1] > 0) {
        const auto w = static_cast<uint32_t>(v[0]), ht = static_cast<uint32_t>(v[1]);
        ILProjectionParams p = DefaultProjection3D(w, ht, SharedBackground(defaults, false));
        p.sourceProjection = static_cast<uint8_t>(v[2]);
        p.targetProjection = static_cast<uint8_t>(v[3]);
        p.sizeMode = v[4];
        UpdateProjection3DSize(&p, w, ht);
        if (n == 7) {
            p.width = v[5];
            p.height = v[6];
        }
        *pushed = PushHistory3DProjection(*list, p, w, ht);
    } else if (kind == "text" && n >= 1) {
        WriteTextSettings& s = defaults.writeTextSettings;
        for (int i = 1; i < n; ++i)
            if (!SetTextOption(a[i], &s)) return false;
        ClampWriteText(s);
        WriteTextBlock b = WriteTextBlockOf(s);
        for (const char* c = a[0]; *c; ++c)
            b.text.push_back(static_cast<char16_t>(*c));
        *pushed = PushHistoryWriteText(*list, b);
    } else {
        return false;
    }
    return true;
}

int WriteAction(ILHandle* h, const char* path, const std::string& kind, int count, char** values) {
    ActionList list;
    bool pushed = false;
    if (!RecordDialogAction(h, kind, count, values, &list, &pushed)) return Usage();
    std::vector<uint8_t> bytes;
    if (!pushed || !EncodeActionList(list, bytes) ||
        !ReplaceFile(ILUtf8ToPath(path).c_str(), bytes))
        return kExitFailed;
    return 0;
}

// The preview images as the dialogs build them: the image fitted into
// 380 x 380, as linear float B, G, R resampled with the Cosine filter, or,
// for an indexed image, as indices resampled with the Box filter, which
// keeps them.
bool BuildPreview(ILHandle* h, ILImage* image, ILImage* source, ILImage* preview) {
    const PreviewPlacement p = FitPreview(image->width, image->height);
    const auto w = static_cast<uint32_t>(p.width), ht = static_cast<uint32_t>(p.height);
    if (image->palette) {
        if (ILReallocImage(preview, w, ht, IL_INDEX8, nullptr) != IL_OK ||
            ILResampleInto(h, image, preview, 0) != IL_OK)
            return false;
        preview->palette = new (std::nothrow) ILPalette(*image->palette);
        return preview->palette && preview->palette->count == image->palette->count;
    }
    return ILReallocImage(source, w, ht, IL_BGR_FLOAT, nullptr) == IL_OK &&
           ILResampleInto(h, image, source, 1) == IL_OK &&
           ILReallocImage(preview, w, ht, IL_BGR8, nullptr) == IL_OK;
}

// An indexed preview as its bitmap shows it: each index through the
// palette's 8-bit colours.
bool Expand(const ILImage& indexed, ILImage* out) {
    if (ILReallocImage(out, indexed.width, indexed.height, IL_BGR8, nullptr) != IL_OK) return false;
    for (uint32_t y = 0; y < indexed.height; ++y)
        for (uint32_t x = 0; x < indexed.width; ++x) {
            const uint8_t index = indexed.data[y * indexed.stride + x];
            uint8_t* pixel = out->data + y * out->stride + 3 * x;
            if (index < indexed.palette->count)
                indexed.palette->ReadBGR8(index, pixel);
            else
                pixel[0] = pixel[1] = pixel[2] = 0;
        }
    return true;
}

int Preview(ILHandle* h, int argc, char** argv) {
    const char* in = argv[0];
    const char* out = argv[1];
    const std::string kind = argv[2];
    int32_t v[6] = {};
    if (!ParseSliders(kind, argc - 3, argv + 3, v)) return Usage();

    Image image, source, preview;
    if (ILLoadImage(h, ILUtf8ToPath(in).c_str(), &image.image, nullptr) != IL_OK ||
        !BuildPreview(h, &image.image, &source.image, &preview.image))
        return kExitFailed;
    const ILPalette* palette = image.image.palette;
    bool done = false;
    if (kind == "tonemap") {
        ILToneMap t;
        done = ToneMapModelOf(ToneMapOf(v), &t) &&
               RenderToneMapPreview(t, h, source.image, palette, &preview.image);
    } else {
        const ColorFilterBlock b = ColorFilterOf(v);
        ILColorFilterParams p;
        ILColorFilterInit(&p, b.lightHue, b.lightStrength, b.shadowHue, b.shadowStrength);
        done = RenderColorFilterPreview(p, h, source.image, palette, &preview.image);
    }
    if (!done) {
        std::fputs("vxreplay: the preview failed\n", stderr);
        return kExitFailed;
    }
    Image shown;
    const ILImage* written = &preview.image;
    if (preview.image.palette) {
        if (!Expand(preview.image, &shown.image)) return kExitFailed;
        written = &shown.image;
    }
    return ILSaveImage(h, ILUtf8ToPath(out).c_str(), const_cast<ILImage*>(written), nullptr) ==
                   IL_OK
               ? 0
               : kExitFailed;
}

} // namespace

int main(int argc, char** argv) {
    Handle handle;
    if (!handle.h) return kExitFailed;
    if (argc == 5 && std::strcmp(argv[1], "apply") == 0)
        return Apply(handle.h, argv[2], argv[3], argv[4]);
    if (argc >= 4 && std::strcmp(argv[1], "action") == 0)
        return WriteAction(handle.h, argv[2], argv[3], argc - 4, argv + 4);
    if (argc >= 5 && std::strcmp(argv[1], "preview") == 0)
        return Preview(handle.h, argc - 2, argv + 2);
    return Usage();
}
