// JPEG reading (ITU-T T.81 with JFIF 1.02 and Adobe's APP14 colour
// transform marker) through libjpeg-turbo's classic interface.
// Read: 8-bit baseline, extended and progressive files, Huffman or arithmetic
// coded, in grey, RGB, YCbCr, CMYK and YCCK; the JFIF resolution; the ICC
// profile, comments, EXIF, XMP and IPTC; reduced-size decoding (1/2, 1/4,
// 1/8) for thumbnails.
// Not handled: 12-bit and lossless streams and JPEG-LS (libjpeg-turbo 2.1
// refuses them), heights given by a DNL marker, further images of a file.
#include <algorithm>
#include <cinttypes>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include "imglib/convert/converter_owner.h"
#include "imglib/convert/profile_owner.h"
#include "imglib/io/file_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/jpeg.h"
#include "imglib/io/file_scanner.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/io/stream.h"

namespace {

// libjpeg pads a file that ends early with an end-of-image marker, and
// comments or unknown markers can pad a file to any size, so neither the
// header nor the file's size says how large a picture the file can hold.
// What can is the entropy-coded data of the scans that code DC first (the
// sequential scans and the first DC scans of a progressive file): each
// block they cover costs at least one bit with Huffman coding. Arithmetic
// coding has no such floor (cjpeg codes a flat 12000 x 12000 picture in 3
// bytes, the decoder reading zeros past the end), so its ratio is a limit
// of ours, far above any real photograph's and far above the file-size
// rule it replaces. Larger claims are refused before anything is allocated,
// unless the picture is of a size any file may have (a cut-off photograph
// still shows its upper part); the memory budget bounds the rest.
constexpr uint64_t kHuffmanBlocksPerByte = 8;
constexpr uint64_t kArithmeticBlocksPerByte = uint64_t{1} << 18;
constexpr uint64_t kSamplesAlwaysAllowed = uint64_t{1} << 27;
// No encoder writes anywhere near this many scans; each costs a pass over
// the coefficients, so a file of many tiny scans would take minutes.
constexpr int kMaxScans = 500;
// Nor does one make its scans visit the picture's blocks more often than
// this (a scan of one component counts that component's blocks); a few
// thousand scans of a small picture stay below the floor, and the scan
// limit bounds them.
constexpr uint64_t kMaxBlockPasses = 40;
constexpr uint64_t kBlockVisitsAlwaysAllowed = uint64_t{1} << 22;

// The progress monitor with what it counts: the coefficient blocks the
// scans read so far visit, and per component and coefficient the lowest bit
// they sent (-1 before its first scan).
struct ScanWork {
    jpeg_progress_mgr mgr{};
    int scan = 0;
    uint64_t visits = 0;
    int sent[MAX_COMPONENTS][DCTSIZE2];

    ScanWork() { std::fill_n(&sent[0][0], MAX_COMPONENTS * DCTSIZE2, -1); }
};

// The decompressor with its error manager, destroyed with the object.
struct Decoder {
    ILJpegErrors errors;
    jpeg_decompress_struct cinfo;
    ScanWork progress;
    bool created = false;
    bool multiScan = false;

    Decoder() = default;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    ~Decoder() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// How the file's colour space is delivered and described.
struct Layout {
    uint32_t colorType;   // of the info record
    J_COLOR_SPACE output; // asked of the library
    ILPixelType source;   // the rows' type; 0 for an unsupported colour space
    uint32_t bitsPerPixel;
    cmsColorSpaceSignature profileSpace; // the profile a conversion can use
};

Layout ChooseLayout(J_COLOR_SPACE space, cmsHPROFILE profile) {
    switch (space) {
        case JCS_GRAYSCALE:
            return {IL_CT_GRAY, JCS_GRAYSCALE, IL_MODEL_GRAY | IL_KIND_8, 8, cmsSigGrayData};
        case JCS_RGB:
        case JCS_YCbCr: {
            const uint32_t type = space == JCS_RGB ? IL_CT_RGB : IL_CT_YCC;
            // A profile of the YCbCr data itself converts the undecoded samples.
            if (profile && cmsGetColorSpace(profile) == cmsSigYCbCrData)
                return {type, JCS_YCbCr, IL_MODEL_YCBCR | IL_KIND_8, 24, cmsSigYCbCrData};
            return {type, JCS_EXT_BGR, IL_MODEL_RGB | IL_KIND_8, 24, cmsSigRgbData};
        }
        case JCS_CMYK:
            return {IL_CT_CMYK, JCS_CMYK, IL_MODEL_CMYK | IL_KIND_8, 32, cmsSigCmykData};
        case JCS_YCCK:
            return {IL_CT_YCCK, JCS_CMYK, IL_MODEL_CMYK | IL_KIND_8, 32, cmsSigCmykData};
        default:
            return {IL_CT_NONE, JCS_UNKNOWN, 0, 0, cmsSigGrayData};
    }
}

// Creates the decompressor, keeps the markers that are read and reads the
// header. COM, APP1 and APP13 are kept only for metadata; APP2 always, since
// the colour profile serves the conversion.
bool ReadHeader(Decoder* d, FILE* file, bool metadata) {
    return ILJpegGuard(&d->errors, [&] {
        jpeg_create_decompress(&d->cinfo);
        d->created = true;
        d->cinfo.progress = &d->progress.mgr;
        if (metadata) {
            jpeg_save_markers(&d->cinfo, JPEG_COM, 0xFFFF);
            jpeg_save_markers(&d->cinfo, JPEG_APP0 + 1, 0xFFFF);
            jpeg_save_markers(&d->cinfo, JPEG_APP0 + 13, 0xFFFF);
        }
        jpeg_save_markers(&d->cinfo, JPEG_APP0 + 2, 0xFFFF);
        ILJpegFileSource(&d->cinfo, file);
        jpeg_read_header(&d->cinfo, TRUE);
        d->multiScan = jpeg_has_multiple_scans(&d->cinfo);
    });
}

uint32_t DotsPerInch(uint16_t density, uint8_t unit) {
    if (unit == 1) return density;
    if (unit == 2) // dots per centimetre
        return static_cast<uint32_t>(density * 100 / 39.37007874016 + 0.4999);
    return 0;
}

void FillInfo(ILInfo* info, const Decoder& d, const Layout& layout, cmsHPROFILE profile) {
    const jpeg_decompress_struct& c = d.cinfo;
    info->formatId = IL_FORMAT_JPEG;
    info->width = c.image_width;
    info->height = c.image_height;
    info->pages = 1;
    info->compression = IL_COMP_DCT + (d.multiScan ? 1 : 0) + (c.arith_code ? 2 : 0);
    if (c.saw_JFIF_marker) {
        info->ppiX = DotsPerInch(c.X_density, c.density_unit);
        info->ppiY = DotsPerInch(c.Y_density, c.density_unit);
    }
    info->colorType = layout.colorType;
    info->bitsPerPixel = layout.bitsPerPixel;
    info->channels = layout.bitsPerPixel / 8;
    const bool cmyk = (layout.source & IL_MODEL_MASK) == IL_MODEL_CMYK;
    if (profile && ILProfileIsSRGB(profile)) {
        info->gamma = 2.2;
        info->gammaKind = IL_GAMMA_ICC_SRGB;
    } else if (profile) {
        info->gamma = cmyk ? 0 : ILIccGamma(profile);
        info->gammaKind = IL_GAMMA_ICC;
    } else {
        info->gamma = cmyk ? 0 : 2.2;
        info->gammaKind = IL_GAMMA_ASSUMED;
    }
    if (profile) ILReadIccInfo(&info->icc, profile);
}

constexpr int kMarkerSos = 0xDA;
constexpr int kMarkerRst7 = 0xD7;
constexpr int kMarkerTem = 0x01;

// Bytes of entropy-coded data in the scans that code DC first, from the
// data of the first scan (where the reader stands after the header) to the
// end-of-image marker. Marker segments between scans are skipped by their
// lengths; stray bytes between them are not scan data.
uint64_t DcScanBytes(FILE* file, uint64_t firstScanData, bool firstCodesDc) {
    ILFileScanner in(file, firstScanData);
    uint64_t bytes = 0;
    bool inScan = true, counting = firstCodesDc;
    for (int b = in.Get(); b >= 0; b = in.Get()) {
        if (b != 0xFF) {
            bytes += inScan && counting;
            continue;
        }
        int marker = in.Get();
        while (marker == 0xFF) // fill bytes
            marker = in.Get();
        if (marker < 0 || marker == JPEG_EOI) break;
        if (marker == 0) { // a stuffed data byte
            bytes += inScan && counting;
            continue;
        }
        if (marker == kMarkerTem || (marker >= JPEG_RST0 && marker <= kMarkerRst7)) continue;
        uint32_t length = 0;
        if (!in.GetBe16(&length) || length < 2) break;
        inScan = marker == kMarkerSos;
        if (!inScan) {
            if (!in.Skip(length - 2)) break;
            continue;
        }
        // SOS: component count, a selector and table pair per component,
        // then the spectral start and end and the approximation bits.
        const int components = in.Get();
        if (components < 0 || !in.Skip(2 * static_cast<uint64_t>(components))) break;
        const int spectralStart = in.Get();
        const int spectralEnd = in.Get();
        const int approximation = in.Get();
        if (spectralEnd < 0 || approximation < 0) break;
        counting = spectralStart == 0 && (approximation >> 4) == 0;
        const uint64_t read = 1 + 2 * static_cast<uint64_t>(components) + 3;
        if (length - 2 < read || !in.Skip(length - 2 - read)) break;
    }
    return bytes;
}

// A claim beyond what the scan data can carry comes from a damaged or
// hostile header.
ILResult CheckGeometry(ILHandle* h, const jpeg_decompress_struct& c, FILE* file,
                       uint64_t fileSize) {
    const uint64_t samples = uint64_t{c.image_width} * c.image_height * c.num_components;
    if (samples <= kSamplesAlwaysAllowed) return IL_OK;
    uint64_t blocks = 0;
    for (int i = 0; i < c.num_components; ++i)
        blocks += uint64_t{c.comp_info[i].width_in_blocks} * c.comp_info[i].height_in_blocks;
    const int64_t position = ftello(file);
    const uint64_t dataStart =
        position < 0 ? 0 : static_cast<uint64_t>(position) - c.src->bytes_in_buffer;
    const bool firstCodesDc = c.Ss == 0 && c.Ah == 0;
    const uint64_t bytes = DcScanBytes(file, dataStart, firstCodesDc);
    const uint64_t perByte = c.arith_code ? kArithmeticBlocksPerByte : kHuffmanBlocksPerByte;
    if (blocks / perByte <= bytes) return IL_OK;
    ILErrorF(h,
             "Image of %u x %u pixels cannot come from a file of %" PRIu64 " bytes with %" PRIu64
             " bytes of scan data",
             c.image_width, c.image_height, fileSize, bytes);
    return IL_INVALID_HEADER;
}

// Full quality for a full load; for a thumbnail of edge e the library
// decodes at the largest reduction (1/2, 1/4, 1/8) that keeps the shorter
// side above e, with the fast IDCT and plain upsampling.
void SetDecodingParameters(jpeg_decompress_struct* c, uint32_t thumbnailEdge) {
    if (thumbnailEdge == 0) {
        c->dct_method = JDCT_ISLOW;
        c->do_fancy_upsampling = TRUE;
        c->do_block_smoothing = TRUE;
        return;
    }
    const uint32_t n = (std::min(c->image_width, c->image_height) - 1) / thumbnailEdge;
    c->scale_num = 1;
    c->scale_denom = n >= 8 ? 8 : n >= 4 ? 4 : n >= 2 ? 2 : 1;
    c->dct_method = JDCT_IFAST;
    c->do_fancy_upsampling = FALSE;
    c->do_block_smoothing = FALSE;
}

bool CalcOutputDimensions(Decoder* d) {
    return ILJpegGuard(&d->errors, [&] { jpeg_calc_output_dimensions(&d->cinfo); });
}

// What a load holds at once: the image, and for a file of several scans
// libjpeg's coefficients of the whole picture, 64 of 16 bits per block.
uint64_t WorkingBytes(const Decoder& d, ILPixelType target) {
    const jpeg_decompress_struct& c = d.cinfo;
    uint64_t bytes = ILImageBufferSize(c.output_width, c.output_height, target);
    if (d.multiScan) {
        for (int i = 0; i < c.num_components; ++i) {
            const jpeg_component_info& k = c.comp_info[i];
            const uint64_t coefficients = uint64_t{k.width_in_blocks + k.h_samp_factor} *
                                          (k.height_in_blocks + k.v_samp_factor) * DCTSIZE2 *
                                          sizeof(JCOEF);
            if (__builtin_add_overflow(bytes, coefficients, &bytes)) return UINT64_MAX;
        }
    }
    return bytes;
}

// Whether the progressive scan that starts sends the bits its coefficients'
// earlier scans lead to: a first scan of coefficients none sent yet, AC
// after DC, a refinement of the bit below those sent. No encoder sends a
// coefficient's bits twice; libjpeg decodes such scans again with a warning
// at most, and one cheap scan repeated made a small file cost seconds.
bool InOrder(const jpeg_decompress_struct& c, ScanWork* work) {
    for (int i = 0; i < c.comps_in_scan; ++i) {
        int* sent = work->sent[c.cur_comp_info[i]->component_index];
        if (c.Ss > 0 && sent[0] < 0) return false;
        for (int k = c.Ss; k <= c.Se; ++k) {
            if (c.Ah == 0 ? sent[k] >= 0 : sent[k] != c.Ah) return false;
            sent[k] = c.Al;
        }
    }
    return true;
}

// The progress monitor stops a file whose scans send coefficient bits out
// of order, with more scans than any encoder writes, or whose scans together
// visit the blocks more often than any encoder's do; it runs inside a
// library step, so it leaves through the step's guard.
void LimitScans(j_common_ptr common) {
    const auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    auto* work = reinterpret_cast<ScanWork*>(cinfo->progress);
    auto* errors = reinterpret_cast<ILJpegErrors*>(cinfo->err);
    const int scan = cinfo->input_scan_number;
    if (scan > kMaxScans) {
        std::snprintf(errors->message, sizeof errors->message,
                      "The file has more than %d scans, more than any JPEG encoder writes",
                      kMaxScans);
        std::longjmp(errors->jump, 1);
    }
    if (scan == work->scan) return;
    work->scan = scan;
    if (cinfo->progressive_mode && !InOrder(*cinfo, work)) {
        std::snprintf(errors->message, sizeof errors->message,
                      "Scan %d of the file sends coefficient bits its earlier scans sent or did "
                      "not lead to, as no JPEG encoder writes",
                      scan);
        std::longjmp(errors->jump, 1);
    }
    uint64_t blocks = 0;
    for (int i = 0; i < cinfo->num_components; ++i)
        blocks +=
            uint64_t{cinfo->comp_info[i].width_in_blocks} * cinfo->comp_info[i].height_in_blocks;
    for (int i = 0; i < cinfo->comps_in_scan; ++i)
        work->visits += uint64_t{cinfo->cur_comp_info[i]->width_in_blocks} *
                        cinfo->cur_comp_info[i]->height_in_blocks;
    if (work->visits <= std::max(kMaxBlockPasses * blocks, kBlockVisitsAlwaysAllowed)) return;
    std::snprintf(errors->message, sizeof errors->message,
                  "The file's scans read its coefficients more than %d times over, more than "
                  "any JPEG encoder writes",
                  static_cast<int>(kMaxBlockPasses));
    std::longjmp(errors->jump, 1);
}

bool StartDecompress(Decoder* d) {
    return ILJpegGuard(&d->errors, [&] { jpeg_start_decompress(&d->cinfo); });
}

// Reads the rows from the top into the image: straight into its rows when
// the converter would only copy (row is null), else through the row buffer
// and the converter. Adobe's CMYK files store inverted inks. False when the
// library failed; output_scanline then counts the rows stored.
bool DecodeRows(Decoder* d, ILImage* image, ILConverter* converter, uint8_t* row, bool invert) {
    return ILJpegGuard(&d->errors, [&] {
        jpeg_decompress_struct& c = d->cinfo;
        const size_t rowBytes = size_t{c.output_width} * c.out_color_components;
        while (c.output_scanline < c.output_height) {
            uint8_t* target = image->data + int64_t{c.output_scanline} * image->stride;
            JSAMPROW into = row ? row : target;
            if (jpeg_read_scanlines(&c, &into, 1) != 1) return;
            if (!row) continue;
            if (invert) {
                for (size_t i = 0; i < rowBytes; ++i)
                    row[i] = static_cast<uint8_t>(255 - row[i]);
            }
            converter->rowKernel(converter, row, target);
        }
    });
}

bool FinishDecompress(Decoder* d) {
    return ILJpegGuard(&d->errors, [&] { jpeg_finish_decompress(&d->cinfo); });
}

// Converter from the rows' type to the image's. A profile whose colour space
// does not describe the decoded rows cannot convert them and is left out:
// the picture still loads, without colour management.
bool PrepareConverter(ILHandle* h, ILConverter* c, const Layout& layout, cmsHPROFILE profile,
                      ILPixelType target, uint32_t width) {
    if (profile && !ILProfileIsSRGB(profile)) {
        if (cmsGetColorSpace(profile) == layout.profileSpace)
            ILConverterSetProfile(c, profile, ILPixelTypeToLcmsFormat(layout.source));
        else
            ILWarning(h, "The embedded colour profile does not fit the image and is ignored");
    }
    ILConverterSetModes(c, layout.source, target, width);
    return ILConverterPrepare(c);
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFilePtr file;
    uint64_t fileSize = 0;
    const ILResult opening = ILOpenReadOwned(h, path, &file, info, &fileSize);
    if (opening != IL_OK) return opening;
    if (image) ILClearImage(image);

    auto decoder = std::make_unique<Decoder>();
    Decoder* d = decoder.get();
    jpeg_decompress_struct& c = d->cinfo;
    c.err = ILJpegInitErrors(&d->errors, h);
    d->progress.mgr.progress_monitor = LimitScans;
    if (!ReadHeader(d, file.get(), info && h->readMetadata)) {
        ILError(h, d->errors.message);
        return IL_INVALID_HEADER;
    }
    if (c.image_width == 0 || c.image_height == 0) return ILReportInvalidHeader(h);

    ILProfilePtr profile(ILJpegReadMarkers(h, &c, info));
    const Layout layout = ChooseLayout(c.jpeg_color_space, profile.get());
    c.out_color_space = layout.output;
    if (info) FillInfo(info, *d, layout, profile.get());
    if (!image) return IL_OK;
    if (!layout.source) return ILReportUnsupportedColorFormat(h);
    const ILPixelType target = ILGetLoadPixelType(h, layout.source, false);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const ILResult geometry = CheckGeometry(h, c, file.get(), fileSize);
    if (geometry != IL_OK) return geometry;

    SetDecodingParameters(&c, h->thumbnailEdge);
    if (!CalcOutputDimensions(d)) {
        ILError(h, d->errors.message);
        return IL_REFUSED_CONTENTS;
    }
    const ILResult budget = ILCheckImageBudget(h, WorkingBytes(*d, target));
    if (budget != IL_OK) return budget;
    if (!StartDecompress(d)) {
        // Multi-scan files are read whole here: a cut between two scans
        // leaves nothing the library can still deliver.
        ILError(h, d->errors.message);
        if (d->errors.dataEnded) ILReportUnexpectedEnd(h);
        return IL_REFUSED_CONTENTS;
    }
    if (ILReallocImage(image, c.output_width, c.output_height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, ILImageBufferSize(c.output_width, c.output_height, target));
    // The converter leaves an alpha sample the file lacks alone: opaque.
    if (ILHasAlpha(target))
        std::memset(image->data, 0xFF, static_cast<size_t>(image->stride) * image->height);

    ILConverterOwner converter;
    if (!PrepareConverter(h, &converter.c, layout, profile.get(), target, c.output_width))
        return ILReportUnsupportedDataFormat(h);
    ILBuffer<uint8_t> row;
    if (!ILConverterIsPlainCopy(&converter.c)) {
        row.reset(static_cast<uint8_t*>(
            ILAlloc(h, static_cast<uint64_t>(c.out_color_components) * c.output_width)));
        if (!row) return IL_OUT_OF_MEMORY;
    }
    const bool invert =
        (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK) && c.saw_Adobe_marker;

    ILResult result = IL_OK;
    if (!DecodeRows(d, image, &converter.c, row.get(), invert)) {
        ILError(h, d->errors.message);
        result = IL_PARTIAL;
    } else if (c.output_scanline < c.output_height) {
        result = ILReportUnexpectedEnd(h);
    }
    if (result != IL_OK) {
        // Rows the library never delivered are black, not stale memory.
        const uint32_t stored = c.output_scanline;
        std::memset(image->data + int64_t{stored} * image->stride, 0,
                    static_cast<size_t>(image->stride) * (image->height - stored));
    } else if (!FinishDecompress(d)) {
        // Past the last row the picture is whole; only the tail was bad.
        ILError(h, d->errors.message);
        result = IL_PARTIAL;
    }
    if (d->errors.dataEnded && result == IL_OK) result = ILReportUnexpectedEnd(h);
    return result;
}

} // namespace

ILResult ILLoadJPEG(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kJpegModule, image, [&] { return Load(h, path, image, info); });
}
