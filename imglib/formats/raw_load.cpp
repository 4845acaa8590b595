// Camera RAW reading through LibRaw 0.20 (the dcraw decoders): identification,
// unpacking, white balance (the camera's multipliers, else automatic),
// demosaicing (bilinear, PPG or AHD by the handle's option; none at half
// size for thumbnails), wavelet denoising, an embedded colour profile,
// conversion to linear sRGB; the result is written through the library's
// own output curves (8 or 16-bit sRGB, half or float linear) in the camera's
// orientation. Camera data becomes EXIF, an XMP sidecar file the XMP.
// Not handled: the embedded thumbnails, multi-frame raw files.
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <Imath/half.h>

#include "imglib/convert/profile_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/pixel_type.h"
#include "imglib/formats/raw.h"
#include "imglib/io/path.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/metadata/info.h"

namespace {

constexpr uint32_t kHistogramBins = LIBRAW_HISTOGRAM_SIZE; // the top 13 bits of a sample

// What LibRaw's callbacks report into during one load.
struct DataErrors {
    ILHandle* h;
    uint32_t count = 0;
};

// The first data error is reported, later ones counted; decoding goes on.
void OnDataError(void* data, const char*, const int offset) {
    auto* errors = static_cast<DataErrors*>(data);
    if (errors->count++ == 0)
        ILError(errors->h, offset < 0 ? "Unexpected end of data" : "Decompression failed");
}

// dcraw's flip codes from an orientation given in degrees.
int FlipCode(int flip) {
    switch ((flip + 3600) % 360) {
        case 270:
            return 5;
        case 180:
            return 3;
        case 90:
            return 6;
        default:
            return flip;
    }
}

void Configure(const ILHandle* h, LibRaw* raw) {
    libraw_output_params_t& p = raw->imgdata.params;
    p.use_camera_wb = 1;
    p.use_auto_wb = 1;
    p.use_camera_matrix = 1;
    p.output_color = 1; // sRGB primaries, linear samples in imgdata.image
    const ILPixelType kind = h->raw.sampleKind;
    p.output_bps = kind == IL_KIND_HALF || kind == IL_KIND_FLOAT ? 16 : 8;
    p.bright = 1.0f;
    p.gamm[0] = 0.45;
    p.gamm[1] = 4.5;
    p.aber[0] = p.aber[2] = 1.0;
    if (h->thumbnailEdge) {
        p.half_size = 1;
    } else {
        const uint32_t qualities[] = {0, 2, 3}; // bilinear, PPG, AHD
        p.user_qual = static_cast<int>(qualities[std::min<uint32_t>(h->raw.interpolation, 2)]);
        p.threshold = h->raw.waveletThreshold;
    }
}

// The output size before decoding: the Fuji layout, non-square pixels and
// the orientation, as dcraw works them out.
void FillInfo(ILInfo* info, LibRaw* raw) {
    const libraw_image_sizes_t& s = raw->imgdata.sizes;
    double width = s.width, height = s.height;
    if (const int f = raw->is_fuji_rotated()) {
        width = (f - 1) / std::sqrt(0.5);
        height = (s.height - f + 1) / std::sqrt(0.5);
    } else if (s.pixel_aspect < 1) {
        height = s.height / s.pixel_aspect + 0.5;
    } else if (s.pixel_aspect > 1) {
        width = s.width * s.pixel_aspect + 0.5;
    }
    uint32_t w = static_cast<uint32_t>(width), hgt = static_cast<uint32_t>(height);
    if (FlipCode(s.flip) & 4) std::swap(w, hgt);
    const uint32_t colors = static_cast<uint32_t>(raw->imgdata.idata.colors);
    info->formatId = IL_FORMAT_RAW;
    info->width = w;
    info->height = hgt;
    info->channels = colors;
    info->bitsPerPixel = 6 * colors;
    info->gamma = 1.0;
    info->gammaKind = IL_GAMMA_STORED;
    if (raw->imgdata.color.profile_length) {
        info->gammaKind = IL_GAMMA_ICC;
        if (raw->imgdata.color.profile) {
            ILProfilePtr profile(cmsOpenProfileFromMem(raw->imgdata.color.profile,
                                                       raw->imgdata.color.profile_length));
            if (profile) info->gamma = ILIccGamma(profile.get());
        }
    }
    info->colorType = raw->imgdata.idata.is_foveon ? IL_CT_THREE_LAYER : IL_CT_BAYER;
    info->pages = 1;
}

ILPixelType OutputType(const ILHandle* h) {
    if (h->loadMode == 1) return IL_BGR8;
    if (h->loadMode == 2) return IL_BGRX8;
    switch (h->raw.sampleKind) {
        case IL_KIND_8:
        case IL_KIND_16:
        case IL_KIND_HALF:
        case IL_KIND_FLOAT:
            return IL_MODEL_RGB | h->raw.sampleKind;
        default:
            return IL_BGR16;
    }
}

// White level W: per colour, the histogram summed from the top down until it
// exceeds 1 % of the pixels (half of that for the Fuji layout); the largest
// bin over the colours, times 8 / brightness. The histogram is the one
// LibRaw's colour conversion fills as it goes (the top 13 bits of each
// sample), counted here only when it has none.
double WhiteLevel(LibRaw& raw, uint32_t pixels) {
    const libraw_image_sizes_t& s = raw.imgdata.sizes;
    const uint32_t colors = std::min<uint32_t>(raw.imgdata.idata.colors, 3);
    const int(*kept)[kHistogramBins] = raw.get_internal_data_pointer()->output_data.histogram;
    std::vector<int> counted;
    if (!kept) {
        counted.assign(size_t{kHistogramBins} * 3, 0);
        const auto* image = raw.imgdata.image;
        const size_t count = size_t{s.iwidth} * s.iheight;
        for (size_t i = 0; i < count; ++i)
            for (uint32_t c = 0; c < colors; ++c)
                ++counted[c * kHistogramBins + (image[i][c] >> 3)];
    }
    uint64_t percent = static_cast<uint64_t>(pixels * 0.01);
    if (raw.is_fuji_rotated()) percent /= 2;
    uint32_t white = 0;
    for (uint32_t c = 0; c < colors; ++c) {
        const int* histogram = kept ? kept[c] : counted.data() + c * kHistogramBins;
        uint64_t total = 0;
        uint32_t bin = kHistogramBins;
        while (--bin > 32)
            if ((total += static_cast<uint32_t>(histogram[bin])) > percent) break;
        white = std::max(white, bin);
    }
    return white * 8.0 / raw.imgdata.params.bright;
}

// The output curve of 8 and 16-bit samples: sRGB of v / W, as a table.
template <typename Sample>
std::vector<Sample> SrgbCurve(double white, double scale, double top) {
    std::vector<Sample> curve(65536);
    for (uint32_t v = 0; v < curve.size(); ++v) {
        const double x = v / white;
        const double c = x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
        curve[v] = static_cast<Sample>(std::clamp(c * scale, 0.0, top));
    }
    return curve;
}

// Rows in the orientation of the flip code, each pixel stored B, G, R (and
// a zero filler for IL_BGRX8).
template <typename Sample, typename Put>
void WriteRows(const LibRaw& raw, ILImage* image, uint32_t samples, Put put) {
    const libraw_image_sizes_t& s = raw.imgdata.sizes;
    const int flip = FlipCode(s.flip);
    const int64_t iw = s.iwidth, ih = s.iheight;
    auto index = [&](int64_t row, int64_t col) {
        if (flip & 4) std::swap(row, col);
        if (flip & 2) row = ih - 1 - row;
        if (flip & 1) col = iw - 1 - col;
        return row * iw + col;
    };
    const int64_t start = index(0, 0);
    const int64_t columnStep = index(0, 1) - start;
    const int64_t rowStep = index(1, 0) - index(0, image->width);
    const auto* pixels = raw.imgdata.image;
    int64_t at = start;
    for (uint32_t y = 0; y < image->height; ++y, at += rowStep) {
        auto* out = reinterpret_cast<Sample*>(image->data + int64_t{y} * image->stride);
        for (uint32_t x = 0; x < image->width; ++x, at += columnStep, out += samples) {
            const auto& p = pixels[at];
            out[0] = put(p[2]);
            out[1] = put(p[1]);
            out[2] = put(p[0]);
            if (samples == 4) out[3] = 0;
        }
    }
}

// LibRaw's answer as a result; a failure after a reported data error is
// not reported twice.
ILResult Check(const DataErrors& errors, int code) {
    ILHandle* h = errors.h;
    switch (code) {
        case LIBRAW_SUCCESS:
            return IL_OK;
        case LIBRAW_UNSUFFICIENT_MEMORY:
            return ILReportOutOfMemory(h, 0);
        case LIBRAW_FILE_UNSUPPORTED:
            return ILReportInvalidHeader(h);
        case LIBRAW_IO_ERROR:
            if (!errors.count) ILError(h, "Unexpected end of data");
            return IL_FAILED;
        default:
            ILError(h, libraw_strerror(code));
            return IL_FAILED;
    }
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    const ILResult opened = ILOpenRead(h, path, nullptr, info, nullptr);
    if (opened != IL_OK) return opened;
    if (image) ILClearImage(image);
    const std::optional<std::string> name = ILPathToUtf8(path);
    if (!name) return ILReportOpenFailed(h, true);

    // One decoder per load: thumbnail workers load on several threads.
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    DataErrors errors{h};
    raw->set_dataerror_handler(OnDataError, &errors);
    Configure(h, raw.get());
    ILResult result = Check(errors, raw->open_file(name->c_str()));
    if (result != IL_OK) return result;
    if (!raw->imgdata.idata.raw_count) return ILReportInvalidHeader(h);
    // An embedded profile takes the camera's colours to the output space.
    // Only then: asking for it costs LibRaw a colour transform even for
    // files without one.
    if (raw->imgdata.color.profile_length) {
        static char embed[] = "embed";
        raw->imgdata.params.camera_profile = embed;
    }

    if (info) {
        FillInfo(info, raw.get());
        if (h->readMetadata && ILInfoNewEXIF(&info->exif)) {
            ILRawAddExif(info->exif, *raw);
            ILRawReadSidecar(h, path, info);
        }
    }
    if (!image) return IL_OK;

    // The raw data (16 bits a photosite), LibRaw's working image (four 16-bit
    // samples a pixel) and ours.
    const libraw_image_sizes_t& claimed = raw->imgdata.sizes;
    const uint64_t rawBytes = uint64_t{claimed.raw_width} * claimed.raw_height * 2;
    const uint64_t workBytes = uint64_t{claimed.width} * claimed.height * 8;
    const uint64_t bytes =
        rawBytes + workBytes + ILImageBufferSize(claimed.width, claimed.height, OutputType(h));
    if (const ILResult r = ILCheckImageBudget(h, bytes); r != IL_OK) return r;
    result = Check(errors, raw->unpack());
    if (result == IL_OK) result = Check(errors, raw->dcraw_process());
    if (result != IL_OK) return result;
    const libraw_image_sizes_t& s = raw->imgdata.sizes;
    uint32_t width = s.iwidth, height = s.iheight;
    if (FlipCode(s.flip) & 4) std::swap(width, height);

    const ILPixelType type = OutputType(h);
    if (ILReallocImage(image, width, height, type, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(width, height, type));
    const double white = WhiteLevel(*raw, width * height);
    const uint32_t samples = image->channels;
    switch (ILSampleKind(type)) {
        case IL_KIND_8: {
            const std::vector<uint8_t> curve = SrgbCurve<uint8_t>(white, 256, 255);
            WriteRows<uint8_t>(*raw, image, samples, [&](uint16_t v) { return curve[v]; });
            break;
        }
        case IL_KIND_16: {
            const std::vector<uint16_t> curve = SrgbCurve<uint16_t>(white, 65536, 65535);
            WriteRows<uint16_t>(*raw, image, samples, [&](uint16_t v) { return curve[v]; });
            break;
        }
        case IL_KIND_HALF: {
            const float scale = static_cast<float>(1 / (0.85 * white));
            WriteRows<half>(*raw, image, samples, [&](uint16_t v) { return half(v * scale); });
            break;
        }
        default: {
            const float scale = static_cast<float>(1 / (0.85 * white));
            WriteRows<float>(*raw, image, samples, [&](uint16_t v) { return v * scale; });
            break;
        }
    }
    // Damaged raw data still gave a picture: it is kept, as a partial one.
    return errors.count ? IL_PARTIAL : IL_OK;
}

} // namespace

ILResult ILLoadRAW(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kRawModule, image, [&] { return Load(h, path, image, info); });
}
