// The narrow interface to jxrlib's code-stream core (ImageStrDec* and
// ImageStrEnc*, its file stream). jxrlib's Windows-style type names stay in
// this file.
#include <windowsmediaphoto.h>

#include <cerrno>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
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

bool DecodeHere(WMPStream* ws, const ILJxrDecodeJob& job) {
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
    bi.pv = job.out;
    bi.cLine = job.outHeight;
    bi.cbStride = job.stride;
    bi.uiFirstMBRow = 0;
    bi.uiLastMBRow = static_cast<unsigned>((ii.cHeight + 15) / 16);
    size_t decoded = 0;
    const bool ok = ImageStrDecDecode(ctx, &bi, &decoded) == ICERR_OK;
    ImageStrDecTerm(ctx);
    return ok;
}

#ifdef __linux__
// jxrlib's macroblock decoder indexes its tables with values read from the
// stream unchecked, so a damaged code-stream can make it read far outside
// them, and nothing short of decoding tells such a stream apart. The decode
// therefore runs in a child process that writes its rows into shared memory:
// a crash there ends the child, and the load answers a decoding failure. The
// child only computes (jxrlib, malloc) and leaves by _exit.
bool DecodeIsolated(WMPStream* ws, const ILJxrDecodeJob& job) {
    const size_t bytes = job.stride * job.outHeight;
    uint8_t* shared = job.out;
    if (!job.outShared) {
        void* mapped =
            mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return false;
        shared = static_cast<uint8_t*>(mapped);
        // A separate alpha plane lands beside samples already decoded.
        if (job.alphaOnly) std::memcpy(shared, job.out, bytes);
    }
    FILE* file = ws->state.file.pFile;
    std::fflush(file);
    const pid_t child = fork();
    if (child == 0) {
        for (const int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
            std::signal(sig, SIG_DFL);
        ILJxrDecodeJob here = job;
        here.out = shared;
        _exit(DecodeHere(ws, here) ? 0 : 1);
    }
    bool ok = false;
    if (child > 0) {
        int status = 0;
        pid_t waited;
        do {
            waited = waitpid(child, &status, 0);
        } while (waited < 0 && errno == EINTR);
        ok = waited == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (ok && shared != job.out) std::memcpy(job.out, shared, bytes);
    }
    if (shared != job.out) munmap(shared, bytes);
    // The child moved the file offset it shares with this process.
    std::fseek(file, 0, SEEK_SET);
    return ok;
}
#endif

} // namespace

uint8_t* ILJxrAllocRows(size_t bytes) {
#ifdef __linux__
    void* rows = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    return rows == MAP_FAILED ? nullptr : static_cast<uint8_t*>(rows);
#else
    return new (std::nothrow) uint8_t[bytes];
#endif
}

void ILJxrFreeRows(uint8_t* rows, size_t bytes) {
#ifdef __linux__
    if (rows) munmap(rows, bytes);
#else
    (void)bytes;
    delete[] rows;
#endif
}

bool ILJxrDecode(ILJxrStream* stream, const ILJxrCodeStreamInfo&, const ILJxrDecodeJob& job) {
#ifdef __linux__
    return DecodeIsolated(stream->ws, job);
#else
    return DecodeHere(stream->ws, job);
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
