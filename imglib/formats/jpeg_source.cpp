// libjpeg's data source for an open file, reading large blocks. The
// library's stdio source refills 4 KiB at a time, and libjpeg-turbo's
// Huffman decoder takes its fast path only while a whole block's worth of
// bytes is buffered: with 4 KiB refills, about one block in eight ran on the
// slow path. A file that ends early is padded with an end-of-image marker
// and a warning, as the stdio source does.
#include <jerror.h>

#include "imglib/formats/jpeg.h"

namespace {

constexpr size_t kBlockBytes = 256 * 1024;

struct FileSource {
    jpeg_source_mgr manager; // first: libjpeg hands back &manager as cinfo->src
    FILE* file;
    JOCTET* buffer;
    bool startOfFile;
};

FileSource* SourceOf(j_decompress_ptr cinfo) {
    return reinterpret_cast<FileSource*>(cinfo->src);
}

void InitSource(j_decompress_ptr cinfo) {
    SourceOf(cinfo)->startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    FileSource* src = SourceOf(cinfo);
    size_t n = std::fread(src->buffer, 1, kBlockBytes, src->file);
    if (n == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->manager.next_input_byte = src->buffer;
    src->manager.bytes_in_buffer = n;
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    jpeg_source_mgr& m = SourceOf(cinfo)->manager;
    size_t left = static_cast<size_t>(count);
    while (left > m.bytes_in_buffer) {
        left -= m.bytes_in_buffer;
        FillInputBuffer(cinfo);
    }
    m.next_input_byte += left;
    m.bytes_in_buffer -= left;
}

void TermSource(j_decompress_ptr) {}

} // namespace

void ILJpegFileSource(j_decompress_ptr cinfo, FILE* file) {
    auto* src = static_cast<FileSource*>(cinfo->mem->alloc_small(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(FileSource)));
    src->buffer = static_cast<JOCTET*>(cinfo->mem->alloc_large(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kBlockBytes));
    src->file = file;
    src->startOfFile = true;
    src->manager.init_source = InitSource;
    src->manager.fill_input_buffer = FillInputBuffer;
    src->manager.skip_input_data = SkipInputData;
    src->manager.resync_to_restart = jpeg_resync_to_restart;
    src->manager.term_source = TermSource;
    src->manager.bytes_in_buffer = 0;
    src->manager.next_input_byte = nullptr;
    cinfo->src = &src->manager;
}
