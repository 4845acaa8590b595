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
//                  an action-list file with the one action that the dialog
//                  records for these slider values
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
#include <vector>

#include "imglib/imglib.h"
#include "imglib/io/path.h"
#include "viewer/actions/action_apply.h"
#include "viewer/actions/action_file.h"
#include "viewer/logic/filter_preview.h"
#include "viewer/logic/preview_fit.h"
#include "viewer/tool_settings/color_filter_settings.h"
#include "viewer/tool_settings/tone_map_settings.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Usage() {
    std::fputs("usage: vxreplay apply IN LIST.vxa OUT\n"
               "       vxreplay action LIST.vxa tonemap|colorfilter VALUE...\n"
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

int WriteAction(const char* path, const std::string& kind, int count, char** values) {
    int32_t v[6] = {};
    if (!ParseSliders(kind, count, values, v)) return Usage();
    uint8_t block[64] = {};
    int32_t type = ACTION_TONEMAPPING;
    if (kind == "tonemap") {
        EncodeBlock(ToneMapOf(v), block);
    } else {
        type = ACTION_COLOR_FILTER;
        EncodeBlock(ColorFilterOf(v), block);
    }
    ActionList list;
    std::vector<uint8_t> bytes;
    if (!list.Append() || !list.items.back().Set(type, block) || !EncodeActionList(list, bytes) ||
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
        return WriteAction(argv[2], argv[3], argc - 4, argv + 4);
    if (argc >= 5 && std::strcmp(argv[1], "preview") == 0)
        return Preview(handle.h, argc - 2, argv + 2);
    return Usage();
}
