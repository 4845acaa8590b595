// The JP2 file format (ISO/IEC 15444-1 Annex I): the header objects that hold
// what the JP2 header boxes say, the reader that parses a file up to its
// code-stream box and then delivers the code-stream, and the writer that puts
// the header boxes ahead of the code-stream it is given.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "jpeg2000/jp2_boxes.h"
#include "jpeg2000/sources.h"

namespace j2k {

class j2k_params;

struct image_header_info {
    uint32_t height = 0, width = 0;
    int components = 0;
    bool unkc = false, ipr = false;
    std::vector<int> depths; // bits, negative when signed, 0 while unknown

    void init(uint32_t height, uint32_t width, int components);
    void set_precision(int component, int bits, bool is_signed);
    void from_siz(const j2k_params& siz);
    void validate() const;
};

// Colour space codes.
enum colour_space {
    cs_unknown = 0,
    cs_grey = 1,
    cs_srgb = 2,
    cs_sycc = 3,
    cs_cmy = 4,
    cs_cmyk = 5,
    cs_ycck = 6,
    cs_lab = 7,
    cs_luv = 8,
    cs_xyz = 9,
};

class colour_info {
public:
    void set_space(int code);
    void set_icc(std::vector<uint8_t> profile);
    int space() const { return space_; }
    int channel_count() const { return channels_; }
    const std::array<uint32_t, 7>& lab_values() const { return lab_; }
    const uint8_t* icc_bytes(int& length) const;
    bool is_set() const { return channels_ != 0; }

private:
    friend class boxed_file_reader;
    void read_box(box_reader& box);
    bool adopt_icc(std::vector<uint8_t> profile);
    int channels_ = 0, space_ = 0;
    std::vector<uint8_t> icc_;
    std::array<uint32_t, 7> lab_{}; // RL, OL, RA, OA, RB, OB, IL
};

class palette_info {
public:
    void init(int entries);
    // 16-bit unsigned values of one table.
    void set_table(int table, std::span<const uint16_t> values);
    // Each value x 2^-32: the table's range maps to [-0.5, 0.5).
    void table_as_floats(int table, float* out) const;
    // An entry's unsigned value widened to 16 bits (the table's top value
    // becomes 65535).
    uint16_t entry16(int table, int entry) const;
    int table_count() const { return tables_; }
    int entry_count() const { return entries_; }
    int depth(int table) const { return depths_.at(table); }

private:
    friend class boxed_file_reader;
    friend class boxed_file_writer;
    void read_box(box_reader& box);
    void validate() const;
    int tables_ = 0, entries_ = 0;
    std::vector<int> depths_;
    std::vector<std::vector<int32_t>> values_;
};

class channel_info {
public:
    channel_info();
    void set_colour_channels_3();
    void set_mapping(int channel, int component, int table);
    // False when the pair has no component.
    bool mapping(int pair, int& component, int& table) const;
    int count() const { return colour_channels_; }
    // Pair k describes colour channel k mod 3 of type k / 3 (0 colour,
    // 1 opacity, 2 premultiplied opacity).
    static constexpr int pairs = 9;

private:
    friend class boxed_file_reader;
    friend class boxed_file_writer;
    void read_cdef(box_reader& box);
    void read_cmap(box_reader& box);
    void finalize(int colour_channels, int components, int tables);
    int colour_channels_ = 0;
    bool finalized_ = false;
    std::array<std::pair<int, int>, pairs> pairs_;
    std::vector<std::pair<int, int>> cmap_;
    bool have_cmap_ = false;
};

class resolution_info {
public:
    void set_aspect(float ratio);
    void set_capture_resolution(float pixels_per_metre) { capture_res_ = pixels_per_metre; }
    float capture_resolution() const { return capture_res_; }
    float display_aspect() const { return display_aspect_; }
    float display_resolution() const { return display_res_; }

private:
    friend class boxed_file_reader;
    friend class boxed_file_writer;
    void read_box(box_reader& box);
    void read_sub_box(box_reader& box, bool capture);
    bool set_ = false, ignored_ = false;
    float display_aspect_ = 1, capture_aspect_ = 1, display_res_ = 0, capture_res_ = 0;
};

// Reads a JP2 file up to its first code-stream box; read() then delivers the
// code-stream. The FILE passes to the reader and is closed by close().
class boxed_file_reader : public codestream_source {
public:
    explicit boxed_file_reader(FILE* file);
    explicit boxed_file_reader(std::span<const uint8_t> bytes);
    ~boxed_file_reader() override { close(); }
    void close() override;
    int read(uint8_t* bytes, int n) override;
    int capabilities() const override { return 1 | source_random_access; }
    int64_t read_at(int64_t position, uint8_t* bytes, int64_t n) override;

    const image_header_info& image_header() const { return header_; }
    const colour_info& colour() const { return colour_; }
    const palette_info& palette() const { return palette_; }
    const channel_info& channels() const { return channels_; }
    const resolution_info& resolution() const { return resolution_; }
    const std::string& xml() const { return xml_; }

private:
    void read_header();
    void read_jp2h(box_reader& jp2h);
    struct file_closer {
        void operator()(FILE* f) const { std::fclose(f); }
    };
    // Owned from the first moment: a header that fails to read throws out
    // of the constructor, and the file must still close.
    std::unique_ptr<FILE, file_closer> file_;
    std::unique_ptr<byte_input> input_;
    box_reader codestream_box_;
    // Where the code-stream box's contents start in the input, and their
    // length (-1: to the end of the input).
    int64_t codestream_start_ = 0, codestream_length_ = -1;
    image_header_info header_;
    colour_info colour_;
    palette_info palette_;
    channel_info channels_;
    resolution_info resolution_;
    std::string xml_;
};

// Writes a JP2 file around the code-stream: the first write puts out the
// signature, file-type and header boxes and opens the code-stream box.
class boxed_file_writer : public codestream_sink {
public:
    explicit boxed_file_writer(FILE* file) : file_(file) {}
    ~boxed_file_writer() override { close(); }
    void close() override;
    bool write(const uint8_t* bytes, int n) override;

    image_header_info& image_header() { return header_; }
    colour_info& colour() { return colour_; }
    palette_info& palette() { return palette_; }
    channel_info& channels() { return channels_; }
    resolution_info& resolution() { return resolution_; }

private:
    void write_header();
    void write_channel_boxes(box_writer& jp2h);
    void write_resolution_box(box_writer& jp2h);
    FILE* file_;
    bool header_written_ = false;
    box_writer codestream_box_;
    image_header_info header_;
    colour_info colour_;
    palette_info palette_;
    channel_info channels_;
    resolution_info resolution_;
};

} // namespace j2k
