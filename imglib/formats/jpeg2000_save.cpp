// JPEG 2000 writing through the engine in jpeg2000/: always a JP2 file with
// one tile. Grey and RGB images (with alpha, declared as opacity) of up to 8
// bits are coded at 8 bits (grey of 1, 2 and 4 bits and indexed images at
// their own depth), deeper ones at 16; other colour models are written as
// RGB. The handle's options choose the layers, their byte targets, the path
// (reversible 5/3 or irreversible 9/7) and the colour coding; Lossless takes
// the reversible path and the reversible colour transform over the others.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "imglib/convert/converter_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/jpeg2000.h"
#include "imglib/io/stream.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"
#include "imglib/pixel_type.h"
#include "jpeg2000/codestream.h"
#include "jpeg2000/encoder.h"
#include "jpeg2000/jp2_file.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/params.h"

namespace {

// Engine errors become the handle's error text.
class save_sink : public j2k::message_sink {
public:
    void error_line(std::string_view line) override {
        if (!text.empty()) text += '\n';
        text.append(line);
    }
    void warning(std::string_view) override {}
    std::string text;
};

constexpr int kMaxLayers = 12;

struct plan {
    int components = 0, precision = 8;
    bool alpha = false, indexed = false, ycc_glue = false, packed = false;
    ILPixelType convert_to = 0; // 0: samples read as stored (packed grey, indices)
};

plan Plan(const ILImage* image, const ILJPEG2000Options& o) {
    plan p;
    const uint32_t model = ILPixelModel(image->type);
    const uint32_t bits = ILBitsPerSample(image->type);
    p.alpha = ILHasAlpha(image->type);
    if (model == IL_MODEL_INDEXED) {
        p.indexed = true;
        p.components = 1;
        p.precision = static_cast<int>(bits);
        return p;
    }
    const bool deep = bits > 8;
    if (model == IL_MODEL_GRAY) {
        p.components = p.alpha ? 2 : 1;
        if (!p.alpha && bits < 8) {
            p.packed = true;
            p.precision = static_cast<int>(bits);
            return p;
        }
        p.convert_to =
            deep ? (p.alpha ? IL_GREY_A16 : IL_GREY16) : (p.alpha ? IL_GREY_A8 : IL_GREY8);
    } else {
        p.components = p.alpha ? 4 : 3;
        p.convert_to = deep ? (p.alpha ? IL_RGBA16 : IL_RGB16) : (p.alpha ? IL_RGBA8 : IL_RGB8);
        // Deep and lossless images take the engine's colour transform
        // instead (sYCC rounds).
        p.ycc_glue = o.colorFormat >= 2 && !deep && !o.lossless;
    }
    p.precision = deep ? 16 : 8;
    return p;
}

// The image's rows in the code-stream's sample values, converted one row at
// a time as the encoder asks for them (all components of a row together).
class image_rows final : public j2k::sample_source {
public:
    image_rows(const ILImage* image, const plan& p) : image_(image), p_(p) {
        const size_t n = static_cast<size_t>(p.components);
        values_.resize(n * image->width);
        if (!p.convert_to) return;
        ILConverterSetImageTarget(&converter_.c, image, p.convert_to);
        ready_ = ILConverterPrepare(&converter_.c);
        row_.resize(static_cast<size_t>(image->width) * n * (p.precision > 8 ? 2 : 1));
    }
    // The image's type converts to what the plan asks.
    bool ready() const { return ready_; }

    void row(int c, int64_t y, int64_t x0, int64_t n, int32_t* out) override {
        if (y != cached_) {
            convert(static_cast<uint32_t>(y));
            cached_ = y;
        }
        const size_t stride = static_cast<size_t>(p_.components);
        const int32_t* src = values_.data() + static_cast<size_t>(x0) * stride + c;
        for (int64_t x = 0; x < n; ++x)
            out[x] = src[static_cast<size_t>(x) * stride];
    }

private:
    void convert(uint32_t y) {
        const uint32_t w = image_->width;
        const uint8_t* in = image_->data + int64_t{y} * image_->stride;
        if (!p_.convert_to) {
            // Packed samples, the first column in the most significant bits.
            const int bits = p_.precision;
            const int per_byte = 8 / bits;
            for (uint32_t x = 0; x < w; ++x)
                values_[x] = bits == 8 ? in[x]
                                       : (in[x / per_byte] >> (8 - bits * (1 + x % per_byte))) &
                                             ((1 << bits) - 1);
            return;
        }
        converter_.c.rowKernel(&converter_.c, in, row_.data());
        const bool deep = p_.precision > 8;
        const size_t n = static_cast<size_t>(p_.components);
        const uint16_t* r16 = reinterpret_cast<const uint16_t*>(row_.data());
        for (size_t i = 0; i < w * n; ++i)
            values_[i] = deep ? r16[i] : row_[i];
        if (!p_.ycc_glue) return;
        for (uint32_t x = 0; x < w; ++x) {
            // sYCC: full-range Y, Cb and Cr around 128.
            int32_t* v = values_.data() + x * n;
            const double r = v[0], g = v[1], b = v[2];
            auto clamp = [](double t) { return static_cast<int32_t>(std::clamp(t, 0.0, 255.0)); };
            v[0] = clamp(0.299 * r + 0.587 * g + 0.114 * b + 0.5);
            v[1] = clamp(0.5 * b - 0.33126 * g - 0.16874 * r + 128.5);
            v[2] = clamp(0.5 * r - 0.41869 * g - 0.08131 * b + 128.5);
        }
    }

    const ILImage* image_;
    const plan& p_;
    ILConverterOwner converter_;
    bool ready_ = true;
    std::vector<uint8_t> row_;
    std::vector<int32_t> values_; // the cached row, components interleaved
    int64_t cached_ = -1;
};

std::vector<std::string> Comments(const ILHandle* h, const ILInfo* info) {
    std::vector<std::string> out;
    if (ILShouldWriteTexts(h, info))
        for (ILTextKey key : {IL_TEXT_TITLE, IL_TEXT_AUTHOR, IL_TEXT_CREATION_TIME,
                              IL_TEXT_DESCRIPTION, IL_TEXT_COPYRIGHT})
            if (const char* text = ILFindText(&info->texts, key))
                out.push_back(std::string(ILTextKeyNames[key]) + ": " + text);
    if (h->creator && *h->creator) out.push_back(std::string("Software: ") + h->creator);
    return out;
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    const ILJPEG2000Options& o = h->jpeg2000;
    const plan p = Plan(image, o);
    if (p.indexed && (!image->palette || image->palette->count == 0)) {
        ILError(h, "The indexed image has no palette");
        return IL_BAD_ARGUMENT;
    }
    image_rows rows(image, p);
    if (!rows.ready()) return ILReportUnsupportedDataFormat(h);

    const int layers = p.indexed ? 1 : std::clamp<int>(static_cast<int>(o.layers), 1, kMaxLayers);
    // Lossless is lossless whatever the filter asked: the reversible path.
    const bool reversible = o.reversible || o.lossless || p.indexed;
    const bool ycc = p.components >= 3 && o.colorFormat >= 1 && !p.ycc_glue;
    // Byte targets: the top layer at area x (rate/100)^2, each lower one half
    // the one above; none for lossless or indexed images.
    std::vector<int64_t> targets(static_cast<size_t>(layers), 0);
    if (!o.lossless && !p.indexed) {
        const double area =
            static_cast<double>(image->width) * image->height * (p.precision >= 16 ? 2 : 1);
        double q = std::pow(std::min<uint32_t>(o.rate, 100) / 100.0, 2);
        for (int i = layers - 1; i >= 0; --i, q /= 2)
            targets[i] = std::max<int64_t>(1, static_cast<int64_t>(std::floor(area * q)));
    }

    FILE* file = nullptr;
    const ILResult opened = ILOpenWrite(h, path, &file);
    if (opened != IL_OK) return opened;
    save_sink sink;
    j2k::message_scope scope(&sink);
    j2k::boxed_file_writer writer(file);
    j2k::codestream_ref cs;
    try {
        auto tree = j2k::make_siz_tree();
        j2k::j2k_params* siz = tree->root();
        siz->put_int("Scomponents", 0, 0, p.components);
        siz->put_int("Sdims", 0, 0, static_cast<int>(image->height));
        siz->put_int("Sdims", 0, 1, static_cast<int>(image->width));
        siz->put_int("Sprecision", 0, 0, p.precision);
        siz->put_bool("Ssigned", 0, 0, false);
        siz->complete();
        writer.image_header().from_siz(*siz);
        if (info && info->ppiX && info->ppiY) {
            writer.resolution().set_aspect(static_cast<float>(info->ppiX) /
                                           static_cast<float>(info->ppiY));
            writer.resolution().set_capture_resolution(
                static_cast<float>(info->ppiY * 39.37007874016));
        }
        j2k::channel_info& channels = writer.channels();
        if (p.indexed) {
            writer.colour().set_space(j2k::cs_srgb);
            const int entries = 1 << p.precision;
            writer.palette().init(entries);
            // Entries beyond the image's palette are black.
            std::vector<uint16_t> t[3];
            for (auto& v : t)
                v.assign(static_cast<size_t>(entries), 0);
            for (uint32_t e = 0; e < image->palette->count && e < static_cast<uint32_t>(entries);
                 ++e)
                image->palette->GetEntry16(e, &t[2][e], &t[1][e], &t[0][e]);
            channels.set_colour_channels_3();
            for (int k = 0; k < 3; ++k) {
                writer.palette().set_table(k, t[k]); // red, green, blue
                channels.set_mapping(k, 0, k);
            }
        } else if (p.components <= 2) {
            writer.colour().set_space(j2k::cs_grey);
            if (p.alpha) channels.set_mapping(3, 1, -1);
        } else {
            writer.colour().set_space(p.ycc_glue ? j2k::cs_sycc : j2k::cs_srgb);
            channels.set_colour_channels_3();
            for (int k = 0; k < 3; ++k) {
                channels.set_mapping(k, k, -1);
                // Opacity of the whole image.
                if (p.alpha) channels.set_mapping(3 + k, 3, -1);
            }
        }
        cs = j2k::codestream_ref::create_output(*siz, &writer);
        cs.set_comments(Comments(h, info));
        j2k::j2k_params& cod = cs.access_params("COD", -1, -1);
        cod.put_int("Clayers", 0, 0, layers);
        cod.put_bool("Creversible", 0, 0, reversible);
        cod.put_bool("Cycc", 0, 0, ycc);
        cs.root_siz().complete_all();
        j2k::codestream_encoder::encode(cs, rows, targets);
        cs.dispose();
        cs = {};
    } catch (const j2k::failure&) {
        if (cs.exists()) cs.dispose();
        writer.close();
        ILError(h, sink.text.empty() ? "JPEG 2000 encoding failed" : sink.text.c_str());
        return IL_FAILED;
    }
    const bool failed = std::fflush(file) != 0 || std::ferror(file) != 0;
    writer.close();
    return failed ? ILReportWriteFailed(h) : IL_OK;
}

} // namespace

ILResult ILSaveJPEG2000(ILHandle* h, const char16_t* path, const ILImage* image,
                        const ILInfo* info) {
    return ILGuardSave(h, kJpeg2000Module, [&] { return Save(h, path, image, info); });
}
