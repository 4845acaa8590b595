// What the JPEG loader and saver share: the error manager that turns
// libjpeg's errors and warnings into messages on the handle, the guard that
// runs one library step under it, and the marker helpers.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>
#include <lcms2.h>

#include "imglib/handle.h"
#include "imglib/metadata/info.h"

inline constexpr char kJpegModule[] = "JPEG";

// libjpeg's error manager with the handle it reports to. libjpeg is C: its
// error exit may not throw through it, so it jumps back to the guard.
struct ILJpegErrors {
    jpeg_error_mgr manager; // first: libjpeg hands back &manager as cinfo->err
    ILHandle* handle;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX]; // the text of the last error
    bool dataEnded;                // the file or a scan's data ended early
    uint64_t warned[2];            // warning codes already passed on, one bit each
};

// Sets up the manager: errors jump to the guard, warnings go to the handle's
// warning procedure (each kind once per call), trace messages are dropped.
jpeg_error_mgr* ILJpegInitErrors(ILJpegErrors* errors, ILHandle* h);
// The error exit: keeps the formatted message and jumps back to the guard.
[[noreturn]] void ILJpegErrorExit(j_common_ptr cinfo);

// Runs one library step; false when libjpeg's error exit fired inside it, with
// the text in errors->message. The step's locals must be trivially
// destructible, as the jump skips their destructors: RAII owners live in the
// caller. Guards do not nest. Never inlined, so that the jump lands in a
// frame of its own.
template <typename Step>
[[gnu::noinline]] bool ILJpegGuard(ILJpegErrors* errors, Step&& step) {
    if (setjmp(errors->jump)) return false;
    step();
    return true;
}

// Reads the file through libjpeg in large blocks (in place of the stdio
// source); the source lives in the decompressor's permanent pool.
void ILJpegFileSource(j_decompress_ptr cinfo, FILE* file);

// Markers (the payload is the bytes after the two-byte length field).
bool ILJpegIsIccMarker(const jpeg_saved_marker_ptr marker);
// Walks the saved markers: assembles the ICC profile (answered, or null) and,
// while the handle reads metadata and an info record is given, files the
// comments, EXIF, XMP and IPTC into it.
cmsHPROFILE ILJpegReadMarkers(ILHandle* h, j_decompress_ptr cinfo, ILInfo* info);
// Writes a profile as APP2 chunks of at most 65519 bytes each.
void ILJpegWriteIccProfile(j_compress_ptr cinfo, const uint8_t* bytes, size_t size);
// One COM marker "Key: text" when the info holds a text under the key.
void ILJpegWriteTextMarker(j_compress_ptr cinfo, const ILInfo* info, ILTextKey key);
