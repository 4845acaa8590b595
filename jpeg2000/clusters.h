// The six parameter clusters. Each declares its attributes, fills its
// defaults in complete(), and writes and reads its own marker segments (the
// field names of the segments are given in the sources beside the code).
#pragma once

#include "jpeg2000/params.h"

namespace j2k {

// Image and tile geometry: the root of every tree. Marker SIZ.
class siz_params : public j2k_params {
public:
    siz_params();
    void copy_transformed(const j2k_params& source, int first_component, int discard_levels,
                          bool transpose, bool vflip, bool hflip) override;
    int emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                            int tile_part) override;
    bool absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) override;
    void complete() override;
    int segment_component(int code, int length, const uint8_t* bytes) const override;
    std::unique_ptr<j2k_params> make_new() const override { return std::make_unique<siz_params>(); }
};

// Coding style. Markers COD and COC.
class cod_params : public j2k_params {
public:
    cod_params();
    void copy_transformed(const j2k_params& source, int first_component, int discard_levels,
                          bool transpose, bool vflip, bool hflip) override;
    int emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                            int tile_part) override;
    bool absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) override;
    void complete() override;
    int segment_component(int code, int length, const uint8_t* bytes) const override;
    std::unique_ptr<j2k_params> make_new() const override { return std::make_unique<cod_params>(); }
};

// Quantisation. Markers QCD and QCC.
class qcd_params : public j2k_params {
public:
    qcd_params();
    void copy_transformed(const j2k_params& source, int first_component, int discard_levels,
                          bool transpose, bool vflip, bool hflip) override;
    int emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                            int tile_part) override;
    bool absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) override;
    void complete() override;
    int segment_component(int code, int length, const uint8_t* bytes) const override;
    std::unique_ptr<j2k_params> make_new() const override { return std::make_unique<qcd_params>(); }
};

// Region-of-interest up-shift. Marker RGN.
class rgn_params : public j2k_params {
public:
    rgn_params();
    void copy_transformed(const j2k_params& source, int first_component, int discard_levels,
                          bool transpose, bool vflip, bool hflip) override;
    int emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                            int tile_part) override;
    bool absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) override;
    void complete() override;
    int segment_component(int code, int length, const uint8_t* bytes) const override;
    std::unique_ptr<j2k_params> make_new() const override { return std::make_unique<rgn_params>(); }
};

// Progression order changes: instance n of a tile belongs to tile-part n.
// Marker POC.
class poc_params : public j2k_params {
public:
    poc_params();
    j2k_params* add_instance() override;
    void copy_transformed(const j2k_params& source, int first_component, int discard_levels,
                          bool transpose, bool vflip, bool hflip) override;
    int emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                            int tile_part) override;
    bool absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) override;
    int segment_component(int code, int length, const uint8_t* bytes) const override;
    std::unique_ptr<j2k_params> make_new() const override { return std::make_unique<poc_params>(); }
};

// Component registration offsets. Marker CRG.
class crg_params : public j2k_params {
public:
    crg_params();
    void copy_transformed(const j2k_params& source, int first_component, int discard_levels,
                          bool transpose, bool vflip, bool hflip) override;
    int emit_marker_segment(codestream_output_buffer* out, const j2k_params* reference,
                            int tile_part) override;
    bool absorb_marker_segment(int code, int length, const uint8_t* bytes, int tile_part) override;
    int segment_component(int code, int length, const uint8_t* bytes) const override;
    std::unique_ptr<j2k_params> make_new() const override { return std::make_unique<crg_params>(); }
};

// Progression orders as Corder and Porder hold them.
enum progression_order { LRCP = 0, RLCP = 1, RPCL = 2, PCRL = 3, CPRL = 4 };
// Wavelet kernels as Ckernels holds them.
enum kernel_id { W9X7 = 0, W5X3 = 1 };

// Quantisation step size as (exponent, mantissa), and back.
struct step_code {
    int exponent, mantissa;
};
step_code encode_step(float step);
float decode_step(step_code c);

// Reports "Invalid marker segment <NAME>: detail" (the read-side limits).
[[noreturn]] void invalid_segment(int code, const std::string& detail);

} // namespace j2k
