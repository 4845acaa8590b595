// The narrow interface to jxrlib's code-stream core (ImageStrDec* and
// ImageStrEnc*, its file stream). jxrlib's Windows-style type names stay in
// this file.
#include <windowsmediaphoto.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <new>

#ifdef __linux__
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "imglib/formats/jxr.h"

static_assert(int{IL_JXR_BD_16F} == int{BD_16F} && int{IL_JXR_BD_565} == int{BD_565} &&
              int{IL_JXR_BD_1ALT} == int{BD_1alt});
static_assert(int{IL_JXR_Y_ONLY} == int{Y_ONLY} && int{IL_JXR_YUV_444} == int{YUV_444} &&
              int{IL_JXR_CMYK} == int{CMYK} && int{IL_JXR_CF_RGB} == int{CF_RGB} &&
              int{IL_JXR_CF_RGBE} == int{CF_RGBE});

struct ILJxrStream {
    WMPStream* ws = nullptr;
};

struct ILJxrEncoder {
    CTXSTRCODEC ctx = nullptr;
};

namespace {

// Header of the code-stream at offset into the two records.
bool ReadHeader(WMPStream* ws, uint64_t offset, CWMImageInfo* ii, CWMIStrCodecParam* scp) {
    *ii = {};
    *scp = {};
    scp->pWStream = ws;
    if (Failed(ws->SetPos(ws, static_cast<size_t>(offset)))) return false;
    if (ImageStrDecGetInfo(ii, scp) != ICERR_OK) return false;
    return !Failed(ws->SetPos(ws, static_cast<size_t>(offset)));
}

} // namespace

ILJxrStream* ILJxrOpenStream(const char* path, bool write) {
    auto* stream = new (std::nothrow) ILJxrStream;
    if (!stream) return nullptr;
    if (Failed(CreateWS_File(&stream->ws, path, write ? "wb" : "rb"))) {
        // jxrlib keeps the stream record it allocated (with calloc) when the
        // file cannot be opened; there is no file to close.
        std::free(stream->ws);
        delete stream;
        return nullptr;
    }
    return stream;
}

void ILJxrCloseStream(ILJxrStream* stream) {
    if (!stream) return;
    if (stream->ws) CloseWS_File(&stream->ws);
    delete stream;
}

FILE* ILJxrStreamFile(ILJxrStream* stream) {
    return stream->ws->state.file.pFile;
}

bool ILJxrGetInfo(ILJxrStream* stream, uint64_t offset, ILJxrCodeStreamInfo* info) {
    CWMImageInfo ii;
    CWMIStrCodecParam scp;
    if (!ReadHeader(stream->ws, offset, &ii, &scp)) return false;
    if (!ii.cWidth || !ii.cHeight || ii.cWidth > UINT32_MAX || ii.cHeight > UINT32_MAX)
        return false;
    info->width = static_cast<uint32_t>(ii.cWidth);
    info->height = static_cast<uint32_t>(ii.cHeight);
    info->colorFormat = ii.cfColorFormat;
    info->bitDepth = ii.bdBitDepth;
    info->rgb = ii.bRGB != 0;
    info->tilesX = scp.cNumOfSliceMinus1V + 1;
    info->tilesY = scp.cNumOfSliceMinus1H + 1;
    info->alphaMode = scp.uAlphaMode;
    return true;
}

namespace {

bool DecodeHere(WMPStream* ws, const ILJxrDecodeJob& job, uint8_t* out) {
    CWMImageInfo ii;
    CWMIStrCodecParam scp;
    if (!ReadHeader(ws, job.offset, &ii, &scp)) return false;
    ii.cBitsPerUnit = job.bitsPerUnit;
    ii.cROILeftX = ii.cROITopY = 0;
    ii.cROIWidth = ii.cWidth;
    ii.cROIHeight = ii.cHeight;
    ii.cThumbnailWidth = job.outWidth;
    ii.cThumbnailHeight = job.outHeight;
    ii.oOrientation = O_NONE;
    ii.fPaddedUserBuffer = FALSE;
    scp.uAlphaMode = job.alphaMode;
    if (job.alphaOnly) {
        // The alpha plane lands in the last sample of each pixel.
        ii.cfColorFormat = Y_ONLY;
        ii.cLeadingPadding = 3;
        scp.uAlphaMode = 0;
    }
    CTXSTRCODEC ctx = nullptr;
    if (ImageStrDecInit(&ii, &scp, &ctx) != ICERR_OK) return false;
    CWMImageBufferInfo bi = {};
    bi.pv = out;
    bi.cLine = job.outHeight;
    bi.cbStride = job.stride;
    bi.uiFirstMBRow = 0;
    bi.uiLastMBRow = static_cast<unsigned>((ii.cHeight + 15) / 16);
    size_t decoded = 0;
    const bool ok = ImageStrDecDecode(ctx, &bi, &decoded) == ICERR_OK;
    ImageStrDecTerm(ctx);
    return ok;
}

using Band = std::function<void(const uint8_t* rows, uint32_t first, uint32_t count)>;

#ifdef __linux__
// Hands bytes to the pipe: vmsplice lends the pages instead of copying them
// (they are not written again), write copies where that is refused.
bool Send(int pipe, const uint8_t* data, size_t bytes) {
    while (bytes) {
        iovec piece{const_cast<uint8_t*>(data), bytes};
        ssize_t sent = vmsplice(pipe, &piece, 1, 0);
        if (sent < 0 && errno != EINTR) sent = write(pipe, data, bytes);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        bytes -= static_cast<size_t>(sent);
    }
    return true;
}

// False when the pipe ends first: the decoding process failed or crashed.
bool Receive(int pipe, uint8_t* data, size_t bytes) {
    while (bytes) {
        const ssize_t got = read(pipe, data, bytes);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        data += got;
        bytes -= static_cast<size_t>(got);
    }
    return true;
}

// Rows for a decode in the child: fresh pages, which none of this process's
// share, so that writing them copies nothing (on huge pages where the
// system has them, a fault each 2 MiB instead of each 4 KiB). Null when
// none can be had.
uint8_t* FreshRows(size_t bytes) {
    void* rows = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (rows == MAP_FAILED) return nullptr;
    madvise(rows, bytes, MADV_HUGEPAGE);
    return static_cast<uint8_t*>(rows);
}

// jxrlib's macroblock decoder indexes its tables with values read from the
// stream unchecked, so a damaged code-stream can make it read far outside
// them, and nothing short of decoding tells such a stream apart. The decode
// therefore runs in a child process: a crash there ends the child, and the
// load answers a decoding failure. The child decodes into fresh rows (an
// alpha plane into its copy of out, beside the samples there) and, when the
// decode succeeded, sends them through a pipe; this process reads them into
// out, or a band at a time for band. The child only computes (jxrlib,
// malloc) and leaves by _exit.
bool DecodeIsolated(WMPStream* ws, const ILJxrDecodeJob& job, uint8_t* out, const Band& band) {
    const size_t bytes = job.stride * job.outHeight;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    // A larger pipe takes fewer turns between the processes; the default
    // size serves too.
    fcntl(ends[1], F_SETPIPE_SZ, 1 << 20);
    FILE* file = ws->state.file.pFile;
    std::fflush(file);
    const pid_t child = fork();
    if (child == 0) {
        for (const int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
            std::signal(sig, SIG_DFL);
        close(ends[0]);
        uint8_t* rows = job.alphaOnly ? out : FreshRows(bytes);
        _exit(rows && DecodeHere(ws, job, rows) && Send(ends[1], rows, bytes) ? 0 : 1);
    }
    close(ends[1]);
    bool ok = child > 0;
    if (ok && out) {
        ok = Receive(ends[0], out, bytes);
    } else if (ok) {
        const uint32_t perBand =
            static_cast<uint32_t>(std::clamp<size_t>((size_t{1} << 18) / job.stride, 1, 64));
        std::unique_ptr<uint8_t[]> rows(new (std::nothrow) uint8_t[job.stride * perBand]);
        ok = rows != nullptr;
        for (uint32_t first = 0; ok && first < job.outHeight; first += perBand) {
            const uint32_t count = std::min(perBand, job.outHeight - first);
            ok = Receive(ends[0], rows.get(), job.stride * count);
            if (ok) band(rows.get(), first, count);
        }
    }
    close(ends[0]);
    if (child > 0) {
        int status = 0;
        pid_t waited;
        do {
            waited = waitpid(child, &status, 0);
        } while (waited < 0 && errno == EINTR);
        ok = ok && waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    // The child moved the file offset it shares with this process.
    std::fseek(file, 0, SEEK_SET);
    return ok;
}
#endif

} // namespace

bool ILJxrDecode(ILJxrStream* stream, const ILJxrDecodeJob& job, uint8_t* out) {
#ifdef __linux__
    return DecodeIsolated(stream->ws, job, out, nullptr);
#else
    return DecodeHere(stream->ws, job, out);
#endif
}

bool ILJxrDecodeBands(ILJxrStream* stream, const ILJxrDecodeJob& job, const Band& band) {
#ifdef __linux__
    return DecodeIsolated(stream->ws, job, nullptr, band);
#else
    const std::unique_ptr<uint8_t[]> rows(new (std::nothrow) uint8_t[job.stride * job.outHeight]);
    if (!rows || !DecodeHere(stream->ws, job, rows.get())) return false;
    band(rows.get(), 0, job.outHeight);
    return true;
#endif
}

ILJxrEncoder* ILJxrEncodeStart(ILJxrStream* stream, const ILJxrEncodeParams& p) {
    CWMImageInfo ii = {};
    ii.cWidth = p.width;
    ii.cHeight = p.height;
    ii.cfColorFormat = static_cast<COLORFORMAT>(p.colorFormat);
    ii.bdBitDepth = static_cast<BITDEPTH_BITS>(p.bitDepth);
    ii.cBitsPerUnit = p.bitsPerUnit;
    ii.bRGB = p.rgb;
    ii.cROIWidth = p.width;
    ii.cROIHeight = p.height;
    CWMIStrCodecParam scp = {};
    scp.uiDefaultQPIndex = p.quantiser;
    scp.cfColorFormat = static_cast<COLORFORMAT>(p.internalFormat);
    scp.bdBitDepth = BD_LONG;
    scp.olOverlap = static_cast<OVERLAP>(p.overlap);
    scp.bfBitstreamFormat = FREQUENCY;
    scp.cChannel = p.channels;
    scp.uAlphaMode = p.alphaMode;
    scp.pWStream = stream->ws;
    auto* e = new (std::nothrow) ILJxrEncoder;
    if (!e) return nullptr;
    if (ImageStrEncInit(&ii, &scp, &e->ctx) != ICERR_OK) {
        delete e;
        return nullptr;
    }
    return e;
}

bool ILJxrEncodeRows(ILJxrEncoder* e, const uint8_t* rows, size_t count, size_t stride) {
    CWMImageBufferInfo bi = {};
    bi.pv = const_cast<uint8_t*>(rows);
    bi.cLine = count;
    bi.cbStride = stride;
    return ImageStrEncEncode(e->ctx, &bi) == ICERR_OK;
}

bool ILJxrEncodeEnd(ILJxrEncoder* e) {
    const bool ok = ImageStrEncTerm(e->ctx) == ICERR_OK;
    delete e;
    return ok;
}
