// The band-wise PNG writer. It works on libpng directly, without the format
// table or the converter, since the band buffer already holds the file's
// samples. libpng keeps its own error handling here: its texts do not reach
// the handle, and every failure shows as a false answer.
#include "imglib/formats/png_stream_writer.h"

#include <algorithm>
#include <csetjmp>

#include <png.h>
#include <zlib.h>

#include "imglib/image.h"
#include "imglib/io/stream.h"

namespace {

// The header and the writer's settings, under one recovery point.
bool StartFile(png_structp png, png_infop info, FILE* file, uint64_t width, uint64_t height,
               const char* creator) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    // A size beyond PNG's 31 bits is cut here and refused by png_set_IHDR.
    png_set_IHDR(png, info, static_cast<png_uint_32>(std::min<uint64_t>(width, UINT32_MAX)),
                 static_cast<png_uint_32>(std::min<uint64_t>(height, UINT32_MAX)), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    if (creator) {
        png_text software{};
        software.compression = PNG_TEXT_COMPRESSION_NONE;
        software.key = const_cast<png_charp>("Software");
        software.text = const_cast<png_charp>(creator);
        png_set_text(png, info, &software, 1);
    }
    png_set_compression_level(png, 9);
    png_set_compression_strategy(png, Z_FILTERED);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_write_info(png, info);
    png_set_bgr(png);
    return true;
}

bool WriteBand(png_structp png, png_bytepp rows, uint64_t count) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_write_rows(png, rows, static_cast<png_uint_32>(count));
    return true;
}

bool FinishFile(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_write_end(png, info);
    return true;
}

} // namespace

ILPngStreamWriter::ILPngStreamWriter(ILHandle* h, const char16_t* path, uint64_t width,
                                     uint64_t height, uint64_t rowsPerBand, uint8_t* band)
    : file(nullptr),
      pngWrite(nullptr),
      pngInfo(nullptr),
      rowPointers(nullptr),
      width(0),
      height(0),
      rowsPerBand(0),
      rowsWritten(0),
      isOpen(0) {
    Open(h, path, width, height, rowsPerBand, band);
}

ILPngStreamWriter::~ILPngStreamWriter() {
    Close();
}

bool ILPngStreamWriter::Open(ILHandle* h, const char16_t* path, uint64_t width, uint64_t height,
                             uint64_t rowsPerBand, uint8_t* band) {
    if (isOpen) return false;
    this->width = width;
    if (width == 0 || height == 0 || rowsPerBand == 0 || !band) return false;
    this->height = height;
    this->rowsPerBand = std::min(rowsPerBand, height);

    if (ILOpenWrite(h, path, &file) != IL_OK) {
        Release();
        return false;
    }
    pngWrite = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (pngWrite) pngInfo = png_create_info_struct(pngWrite);
    const uint64_t stride = (24 * width + 31) / 32 * 4;
    if (pngInfo && StartFile(pngWrite, pngInfo, file, width, height, h ? h->creator : nullptr))
        rowPointers = static_cast<uint8_t**>(ILAlloc(h, this->rowsPerBand * sizeof(uint8_t*)));
    if (!rowPointers) {
        Release();
        return false;
    }
    for (uint64_t i = 0; i < this->rowsPerBand; ++i)
        rowPointers[i] = band + i * stride;
    isOpen = 1;
    return true;
}

bool ILPngStreamWriter::WriteRows() {
    if (rowsWritten + rowsPerBand > height) rowsPerBand = height - rowsWritten;
    if (!isOpen || rowsPerBand == 0) return false;
    if (!WriteBand(pngWrite, rowPointers, rowsPerBand)) {
        // libpng's state after an error is undefined: no further band.
        rowsPerBand = 0;
        return false;
    }
    rowsWritten += rowsPerBand;
    return true;
}

bool ILPngStreamWriter::Close() {
    if (!isOpen) {
        Release();
        return false;
    }
    // A file short of rows (or whose writing failed) is not finished: libpng
    // would end it as if it were whole. Finishing has a recovery point of
    // its own, so that a failing disk write still releases everything.
    const bool finished = rowsWritten == height && FinishFile(pngWrite, pngInfo);
    png_destroy_write_struct(&pngWrite, &pngInfo);
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    Release();
    return finished && closed;
}

// Frees whatever exists and zeroes the record; a file still open is closed
// as far as it got.
void ILPngStreamWriter::Release() {
    if (pngWrite) png_destroy_write_struct(&pngWrite, pngInfo ? &pngInfo : nullptr);
    if (file) std::fclose(file);
    ILFree(rowPointers);
    file = nullptr;
    pngWrite = nullptr;
    pngInfo = nullptr;
    rowPointers = nullptr;
    width = height = rowsPerBand = rowsWritten = 0;
    isOpen = 0;
}
