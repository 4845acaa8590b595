#include "jpeg2000/byte_buffers.h"

#include <gtest/gtest.h>

using namespace j2k;

TEST(ByteBuffers, OutputIsBigEndianAcrossFlushes) {
    memory_codestream_sink sink;
    {
        codestream_output_buffer out(&sink);
        for (int i = 0; i < 510; ++i)
            out.put_byte(0);
        out.put_dword(0x01020304); // the staging area fills after two bytes
        EXPECT_EQ(out.flush(), 2);
        EXPECT_EQ(out.total(), 514);
    }
    ASSERT_EQ(sink.data.size(), 514u);
    EXPECT_EQ(std::vector<uint8_t>(sink.data.end() - 4, sink.data.end()),
              (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(ByteBuffers, HeaderBitsAreStuffedAfter0xFF) {
    memory_codestream_sink sink;
    {
        codestream_output_buffer out(&sink);
        header_bit_writer w(&out);
        w.put_bits(0x7F, 7); // with the leading 1: 0xFF
        w.put_bits(0x7F, 7); // the next byte carries 7 bits: 0x7F
        w.put_bits(1, 1);
        EXPECT_EQ(w.finish(), 3);
    }
    EXPECT_EQ(sink.data, (std::vector<uint8_t>{0xFF, 0x7F, 0x80}));
    memory_codestream_source source(sink.data);
    codestream_input_buffer in(&source);
    header_bit_reader r(&in);
    EXPECT_EQ(r.get_bits(8), 0xFFu);
    EXPECT_EQ(r.get_bits(7), 0x7Fu);
    EXPECT_EQ(r.get_bit(), 1);
    EXPECT_EQ(r.get_bits(7), 0u);
    EXPECT_THROW(r.get_bit(), header_bit_reader*);
}

TEST(ByteBuffers, PackedHeadersRunDry) {
    chunk_pool pool;
    {
        packed_header_input in(&pool);
        std::vector<uint8_t> bytes(70);
        for (int i = 0; i < 70; ++i)
            bytes[i] = static_cast<uint8_t>(i);
        in.append(bytes.data(), 70);
        EXPECT_EQ(pool.in_use(), 3);
        uint8_t got[80];
        EXPECT_EQ(in.read(got, 80), 70);
        EXPECT_EQ(got[69], 69);
        header_bit_reader r(&in);
        EXPECT_THROW(r.get_bit(), header_bit_reader*);
    }
    EXPECT_EQ(pool.in_use(), 0);
}

TEST(ByteBuffers, MarkersInsidePacketData) {
    struct row {
        std::vector<uint8_t> bytes;
        int mode;
        int thrown; // 0: read as data
    } rows[] = {
        {{0xFF, 0x91, 0x00, 0x04}, codestream_input_buffer::resilient, 0xFF91},
        {{0xFF, 0x91, 0x00, 0x05}, codestream_input_buffer::resilient, 0},
        {{0xFF, 0x90, 0x00, 0x0A}, codestream_input_buffer::resilient, 0xFF90},
        {{0xFF, 0xA0, 0x00, 0x05}, codestream_input_buffer::resilient, 0},
        {{0xFF, 0xA0, 0x00, 0x05}, codestream_input_buffer::strict, 0xFFA0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.thrown);
        memory_codestream_source source(r.bytes);
        codestream_input_buffer in(&source);
        in.set_detection(true, r.mode);
        uint8_t body[4];
        int thrown = 0;
        try {
            EXPECT_EQ(in.read(body, 4), 4);
        } catch (int code) {
            thrown = code;
            // The marker's bytes are back in front of the read position.
            in.set_detection(false, r.mode);
            uint8_t b[2];
            EXPECT_EQ(in.read(b, 2), 2);
            EXPECT_EQ(b[0] << 8 | b[1], code);
        }
        EXPECT_EQ(thrown, r.thrown);
    }
}
