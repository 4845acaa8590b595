// OpenEXR reading through the RGBA interface of OpenEXR 3.1: scan-line and
// tiled files, every compression the library reads, Y, YA, YC (as RGB), RGB
// and RGBA channel sets, delivered as half-float grey or B, G, R in linear
// light; files with other primaries are brought to the primaries of the
// library's scRGB profile; string attributes become texts, "xDensity" the
// resolution.
// Not handled: multi-part and deep files, layers other than the default one,
// the display window (the data window is the image), mipmap levels beyond
// the first.
#include <algorithm>
#include <array>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <Imath/half.h>
#include <OpenEXR/ImfChromaticitiesAttribute.h>
#include <OpenEXR/ImfFloatAttribute.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfRgbaFile.h>
#include <OpenEXR/ImfStandardAttributes.h>
#include <OpenEXR/ImfStringAttribute.h>
#include <OpenEXR/ImfTileDescriptionAttribute.h>
#include <OpenEXR/ImfVersion.h>

#include "imglib/byte_order.h"
#include "imglib/convert/cms.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/convert/profile_owner.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/exr.h"
#include "imglib/pixel_type.h"
#include "imglib/io/path.h"
#include "imglib/io/stream.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"

namespace {

// The colour matrix of a file, applied to (R, G, B) as a row vector.
using Matrix = std::array<std::array<double, 3>, 3>;

struct Layout {
    uint32_t colorType;
    uint32_t channels;
    ILPixelType source;
};

Layout ChooseLayout(Imf::RgbaChannels mask, bool premultiplied) {
    const bool alpha = mask & Imf::WRITE_A;
    const ILPixelType extra = !alpha ? 0u : premultiplied ? IL_EXTRA_PREMULTIPLIED : IL_EXTRA_ALPHA;
    const int colour = mask & ~Imf::WRITE_A;
    if (colour == Imf::WRITE_Y) return {IL_CT_GRAY, alpha ? 2u : 1u, IL_GREY_HALF | extra};
    return {colour == Imf::WRITE_YC ? uint32_t{IL_CT_YCC} : uint32_t{IL_CT_RGB}, alpha ? 4u : 3u,
            IL_BGR_HALF | extra};
}

uint32_t CompressionCode(Imf::Compression c) {
    switch (c) {
        case Imf::NO_COMPRESSION:
            return IL_COMP_NONE;
        case Imf::RLE_COMPRESSION:
            return IL_COMP_RLE;
        case Imf::ZIPS_COMPRESSION:
        case Imf::ZIP_COMPRESSION:
            return IL_COMP_DEFLATE;
        case Imf::PIZ_COMPRESSION:
            return IL_COMP_WAVELET;
        case Imf::PXR24_COMPRESSION:
            return IL_COMP_PIXAR_FLOAT24;
        case Imf::B44_COMPRESSION:
            return IL_COMP_BLOCKS_FIXED;
        case Imf::B44A_COMPRESSION:
            return IL_COMP_BLOCKS;
        default:
            return static_cast<uint32_t>(-1);
    }
}

// The attribute of that name when it has that type. Told by its type name:
// OpenEXR is loaded on first use, so its classes' type information is not
// there for the dynamic_cast of findTypedAttribute when the program links.
template <typename Attribute>
const Attribute* FindAttribute(const Imf::Header& header, const char* name) {
    const Imf::Header::ConstIterator i = header.find(name);
    if (i == header.end() || std::strcmp(i.attribute().typeName(), Attribute::staticTypeName()))
        return nullptr;
    return static_cast<const Attribute*>(&i.attribute());
}

void FillInfo(ILHandle* h, ILInfo* info, const Imf::RgbaInputFile& file, const Layout& layout,
              uint32_t width, uint32_t height) {
    const Imf::Header& header = file.header();
    const bool tiled = Imf::isTiled(file.version());
    info->formatId = tiled ? IL_FORMAT_EXR_TILED : IL_FORMAT_EXR;
    if (h->readMetadata) {
        for (const ILExrTextAttribute& a : kExrTextAttributes)
            if (const auto* s = FindAttribute<Imf::StringAttribute>(header, a.name))
                ILInfoAddText(&info->texts, a.key, s->value().size(), s->value().c_str());
    }
    if (const auto* density = FindAttribute<Imf::FloatAttribute>(header, "xDensity")) {
        const double x = density->value();
        info->ppiX = static_cast<uint32_t>(std::clamp(x, 0.0, 4e9));
        info->ppiY = static_cast<uint32_t>(std::clamp(header.pixelAspectRatio() * x, 0.0, 4e9));
    }
    info->width = width;
    info->height = height;
    info->gamma = 1.0;
    info->gammaKind = IL_GAMMA_STORED;
    info->colorType = layout.colorType;
    info->channels = layout.channels;
    info->bitsPerPixel = layout.channels * 16;
    info->compression = CompressionCode(file.compression());
    if (file.channels() & Imf::WRITE_A) info->alphaKind = IL_ALPHA_PREMULTIPLIED;
    if (tiled && header.hasTileDescription()) {
        const Imf::TileDescription& tile = header.tileDescription();
        info->tiled = 1;
        info->tilesX = static_cast<uint32_t>((uint64_t{width} + tile.xSize - 1) / tile.xSize);
        info->tilesY = static_cast<uint32_t>((uint64_t{height} + tile.ySize - 1) / tile.ySize);
    }
    info->pages = 1;
}

// The colorants of a profile as the rows of a matrix.
bool Colorants(cmsHPROFILE profile, Matrix* m) {
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                     cmsSigBlueColorantTag};
    for (int i = 0; i < 3; ++i) {
        const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[i]));
        if (!xyz) return false;
        (*m)[i] = {xyz->X, xyz->Y, xyz->Z};
    }
    return true;
}

bool Invert(const Matrix& m, Matrix* out) {
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (std::fabs(det) < 1e-4) return false;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            (*out)[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
        }
    return true;
}

// From the file's primaries to scRGB's: a pixel (R, G, B) as a row vector
// gives XYZ = (R, G, B) x C_file, and scRGB = XYZ x inverse(C_sc). None for
// files without chromaticities (they are Rec. 709, scRGB's own primaries).
std::optional<Matrix> PrimariesMatrix(const Imf::Header& header) {
    const auto* attribute = FindAttribute<Imf::ChromaticitiesAttribute>(header, "chromaticities");
    if (!attribute || !ILUseColorManagement()) return std::nullopt;
    const Imf::Chromaticities& c = attribute->value();
    if (c.white.x < 0.01f || c.white.y < 0.01f) return std::nullopt;
    const cmsCIExyY white{c.white.x, c.white.y, 1.0};
    const cmsCIExyYTRIPLE primaries{
        {c.red.x, c.red.y, 1.0}, {c.green.x, c.green.y, 1.0}, {c.blue.x, c.blue.y, 1.0}};
    cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
    if (!linear) return std::nullopt;
    cmsToneCurve* curves[3] = {linear, linear, linear};
    ILProfilePtr profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(linear);
    Matrix file, sc, scInverse;
    if (!profile || !Colorants(profile.get(), &file) || !Colorants(ILProfileScRGB, &sc) ||
        !Invert(sc, &scInverse))
        return std::nullopt;
    Matrix m{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                m[i][j] += file[i][k] * scInverse[k][j];
    return m;
}

// Alpha clamped to 0..1 on the half's bits (a conversion to float and back
// for every pixel cost a tenth of the load): NaN and -0 stay as they are,
// as a clamp in float leaves them.
half ClampedAlpha(half a) {
    constexpr uint16_t kOne = 0x3C00, kSign = 0x8000;
    const uint16_t bits = a.bits();
    if ((bits & 0x7C00) == 0x7C00 && (bits & 0x03FF)) return a; // NaN
    if (bits & kSign) return bits == kSign ? a : half(0.0f);
    if (bits > kOne) {
        half one;
        one.setBits(kOne);
        return one;
    }
    return a;
}

// One row of the RGBA interface into half samples of the source type:
// grey takes G, colour is stored B, G, R.
void PackRow(const Imf::Rgba* in, uint32_t width, bool grey, bool alpha,
             const std::optional<Matrix>& m, half* out) {
    for (uint32_t x = 0; x < width; ++x, ++in) {
        if (grey) {
            *out++ = in->g;
        } else if (m) {
            const double r = in->r, g = in->g, b = in->b;
            const Matrix& k = *m;
            *out++ = half(static_cast<float>(k[0][2] * r + k[1][2] * g + k[2][2] * b));
            *out++ = half(static_cast<float>(k[0][1] * r + k[1][1] * g + k[2][1] * b));
            *out++ = half(static_cast<float>(k[0][0] * r + k[1][0] * g + k[2][0] * b));
        } else {
            *out++ = in->b;
            *out++ = in->g;
            *out++ = in->r;
        }
        if (alpha) *out++ = ClampedAlpha(in->a);
    }
}

// OpenEXR sizes an attribute's value from its header field before reading
// it: a 53 KB file asked for 900 MB strings. Every attribute of the first
// header (name, type, 32-bit size, value) must lie within the file.
bool AttributesFitTheFile(const char* name, uint64_t fileSize) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(name, "rb"), std::fclose);
    if (!f) return true; // OpenEXR reports the open failure itself
    uint64_t at = 8;     // magic and version
    if (std::fseek(f.get(), 8, SEEK_SET) != 0) return true;
    for (;;) {
        std::string attribute, type;
        for (std::string* text : {&attribute, &type}) {
            int c;
            while ((c = std::fgetc(f.get())) > 0 && text->size() < 256)
                text->push_back(static_cast<char>(c));
            if (c < 0) return false; // the header ends inside a name
            at += text->size() + 1;
            if (c > 0) return true; // a name longer than OpenEXR takes: its own error
            if (text == &attribute && attribute.empty()) return true; // end of the header
        }
        uint8_t size[4];
        if (std::fread(size, 1, 4, f.get()) != 4) return false;
        const int32_t bytes = static_cast<int32_t>(ILGetLe32(size));
        at += 4;
        if (bytes < 0 || uint64_t(bytes) > fileSize - std::min(at, fileSize)) return false;
        at += static_cast<uint64_t>(bytes);
        if (std::fseek(f.get(), static_cast<long>(at), SEEK_SET) != 0) return false;
    }
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    uint64_t fileSize = 0;
    const ILResult opened = ILOpenRead(h, path, nullptr, info, &fileSize);
    if (opened != IL_OK) return opened;
    const std::optional<std::string> name = ILPathToUtf8(path);
    if (!name) return ILReportOpenFailed(h, true);

    if (!AttributesFitTheFile(name->c_str(), fileSize)) return ILReportInvalidHeader(h);
    std::unique_ptr<Imf::RgbaInputFile> file;
    try {
        file = std::make_unique<Imf::RgbaInputFile>(name->c_str(), 0);
    } catch (const std::exception& e) {
        ILError(h, e.what());
        return IL_FAILED;
    }
    const Imath::Box2i window = file->dataWindow();
    const int64_t w = int64_t{window.max.x} - window.min.x + 1;
    const int64_t hgt = int64_t{window.max.y} - window.min.y + 1;
    if (w <= 0 || hgt <= 0 || w > UINT32_MAX || hgt > UINT32_MAX) return ILReportInvalidHeader(h);
    const uint32_t width = static_cast<uint32_t>(w), height = static_cast<uint32_t>(hgt);
    const Imf::RgbaChannels mask = file->channels();
    const bool alpha = mask & Imf::WRITE_A;
    const Layout layout = ChooseLayout(mask, h->exrKeepPremultiplied != 0);
    if (info) FillInfo(h, info, *file, layout, width, height);
    if (!image) return IL_OK;

    ILClearImage(image);
    if (!ILClaimIsBacked(width, height, fileSize))
        return ILReportUnbackedClaim(h, width, height, fileSize);
    const bool grey = ILPixelModel(layout.source) == IL_MODEL_GRAY;
    const std::optional<Matrix> matrix = grey ? std::nullopt : PrimariesMatrix(file->header());

    const ILPixelType target = ILGetLoadPixelType(h, layout.source, true);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint64_t bytes = ILImageBufferSize(width, height, target);
    if (const ILResult r = ILCheckImageBudget(h, bytes); r != IL_OK) return r;
    if (ILReallocImage(image, width, height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(width, height, target));
    // A target without alpha drops it here, never composited.
    ILPixelType source = layout.source;
    uint32_t samples = layout.channels;
    const bool keepAlpha = alpha && ILHasAlpha(target);
    if (alpha && !keepAlpha) {
        source &= ~IL_EXTRA_MASK;
        --samples;
    }
    ILConverterOwner converter;
    ILConverterSetModes(&converter.c, source, target, width);
    if (!ILConverterPrepare(&converter.c)) return ILReportUnsupportedDataFormat(h);
    const bool direct = ILConverterIsPlainCopy(&converter.c);

    const uint64_t bandPixels = uint64_t{width} * kExrBandRows;
    ILBuffer<Imf::Rgba> band(static_cast<Imf::Rgba*>(ILAlloc(h, bandPixels * sizeof(Imf::Rgba))));
    if (!band) return IL_OUT_OF_MEMORY;
    ILBuffer<half> row;
    if (!direct) {
        row.reset(static_cast<half*>(ILAlloc(h, uint64_t{width} * samples * sizeof(half))));
        if (!row) return IL_OUT_OF_MEMORY;
    }
    for (uint32_t y = 0; y < height; y += kExrBandRows) {
        const uint32_t rows = std::min<uint32_t>(kExrBandRows, height - y);
        const int first = window.min.y + static_cast<int>(y);
        try {
            // Pixel (min.x, first) lands at the start of the band.
            file->setFrameBuffer(band.get() - window.min.x - int64_t{first} * width, 1, width);
            file->readPixels(first, first + static_cast<int>(rows) - 1);
        } catch (const std::exception& e) {
            ILError(h, e.what());
            if (y == 0) return IL_FAILED;
            // The rows not read are black, not stale memory.
            for (uint32_t rest = y; rest < height; ++rest)
                std::memset(image->data + int64_t{rest} * image->stride, 0,
                            static_cast<size_t>(image->stride));
            return IL_PARTIAL;
        }
        for (uint32_t i = 0; i < rows; ++i) {
            uint8_t* target = image->data + int64_t{y + i} * image->stride;
            half* packed = direct ? reinterpret_cast<half*>(target) : row.get();
            PackRow(band.get() + uint64_t{i} * width, width, grey, keepAlpha, matrix, packed);
            if (!direct) converter.c.rowKernel(&converter.c, packed, target);
        }
    }
    return IL_OK;
}

} // namespace

void ILUseOpenEXR() {
    static std::once_flag once;
    std::call_once(once, Imf::staticInitialize);
}

ILResult ILLoadEXR(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kExrModule, image, [&]() -> ILResult {
        try {
            ILUseOpenEXR();
            return Load(h, path, image, info);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {
            ILError(h, "Internal error");
            return IL_FAILED;
        }
    });
}
