// The JPEG 2000 decoder under libFuzzer: a JP2 file or a raw code-stream,
// decoded whole (packets, code-blocks, transforms). Messages go to a sink
// that drops them.
#include <cstddef>
#include <cstdint>

#include "jpeg2000/codestream.h"
#include "jpeg2000/decoder.h"
#include "jpeg2000/jp2_file.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/sources.h"

namespace {

struct null_sink : j2k::message_sink {
    void error_line(std::string_view) override {}
    void warning(std::string_view) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    null_sink sink;
    j2k::message_scope scope(&sink);
    try {
        std::span<const uint8_t> bytes(data, size);
        if (size >= 6 && data[4] == 0x6A && data[5] == 0x50) {
            j2k::boxed_file_reader jp2(bytes);
            j2k::codestream_decoder::decode(jp2);
        } else {
            j2k::memory_codestream_source source(bytes);
            j2k::codestream_decoder::decode(source);
        }
    } catch (const j2k::failure&) {
    } catch (const std::bad_alloc&) {}
    return 0;
}
