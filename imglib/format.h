// The format table: one row per file format family, chosen by the file name's
// extension alone; the load and save dispatch through it; the queries behind
// the viewer's file dialogs and format lists.
#pragma once

#include <cstdint>

#include "imglib/handle.h"
#include "imglib/image.h"

struct ILInfo;

// The codec contract every row's loader and saver follows. A loader names its
// module, opens the file with ILOpenRead (which clears info and stores the
// file facts), fills info, and with an image decodes into it; without an image
// it stops after the info and answers 1. A saver names its module, opens with
// ILOpenWrite and writes the image. Neither calls the progress procedure.
using ILLoadProc = ILResult (*)(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
using ILSaveProc = ILResult (*)(ILHandle* h, const char16_t* path, const ILImage* image,
                                const ILInfo* info);

struct ILFormat {
    uint32_t id; // a multiple of 16; ILInfo::formatId adds a variant in the low 4 bits
    ILLoadProc load;
    ILSaveProc save; // null for formats that are only read
    const char* description;
    const char* extensions; // lower case, each followed by ";"
};

// Buffer size for one extension with its terminating zero.
inline constexpr uint32_t IL_EXTENSION_BUFFER = 8;

// The row at index row; the terminating row (id 0, no codecs, "unknown",
// no extensions) for any index at or past it.
const ILFormat& ILGetFormatRow(uint32_t row);

// The number of rows before the terminating one.
uint32_t ILGetFormatCount();

// Index of the row the path's extension chooses, the terminating row's index
// when none does.
uint32_t ILFindFormatRow(const char16_t* path);
// Id of the row the path's extension chooses, 0 when none.
uint32_t ILGetFormatIdOfPath(const char16_t* path);
// Description of the row whose id equals id & IL_FORMAT_ROW_MASK; "unknown" when none.
const char* ILGetFormatDescription(uint32_t id);
bool ILFormatHasCodec(bool save, uint32_t row);
// Index of the n-th (from 0) row with a loader, or a saver; the terminating
// row's index past the end.
uint32_t ILGetNthFormatRow(uint32_t n, bool save);
const char* ILGetLoadFormatName(uint32_t n);
uint32_t ILGetFormatId(uint32_t n, bool save);
// Copies the n-th extension of the row, without its ";", into buffer (at least
// IL_EXTENSION_BUFFER chars); past the last one buffer becomes "" and the
// answer is false.
bool ILGetFormatExtension(uint32_t row, uint32_t n, char* buffer);
// The first extension of the n-th savable row.
bool ILGetSaveFormatExtension(uint32_t n, char* buffer);
// The open (save false) or save dialog's filter list: zero-terminated
// description and pattern strings, the whole ended by a second zero. With a
// null buffer answers the size in UTF-16 units to allocate; with a buffer of
// that size fills it and answers 1.
uint32_t ILBuildFilterString(bool save, char16_t* buffer);

// -2 for a bad handle, a null path or neither image nor info; -3 without a
// message when no row with a loader takes the extension; otherwise the
// loader's result. Clears the handle's module afterwards, and the image when
// the result is below 1 (a partial image, 2, is kept).
ILResult ILLoadImage(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info);
// -2 for a bad handle, a null path or an invalid image; -3 without a message
// when no row with a saver takes the extension; otherwise the saver's result.
// The saver writes a temporary file beside the target, which replaces the
// target only on result 1: a failed save leaves an existing file untouched
// and no new file behind. Clears the handle's module afterwards.
ILResult ILSaveImage(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info);
// Loads the file and scales it with ILResampleFast into target, 8-bit
// B, G, R, fitted into a square of the handle's thumbnail edge (never
// enlarged, at least one pixel on each side). -2 while the edge is 0; a load
// result other than 1 is answered as it is.
ILResult ILLoadThumbnail(ILHandle* h, const char16_t* path, ILImage* target);
