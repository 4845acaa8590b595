// The parameter blocks of the action types as records, and their encoding:
// little-endian fields at fixed offsets, the unnamed bytes zero. The same
// bytes go into the action files, so every field is written on its own
// (never a copy of a padded struct). Decoding answers false for a field
// outside its range, so that such a block reaches neither a dialog nor the
// library.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "imglib/color.h"
#include "imglib/ops/geometry.h"
#include "imglib/ops/projection.h"
#include "imglib/ops/resample.h"

// The Mode menu's command ids that a Mode block may carry.
inline constexpr int32_t kFirstModeCommand = 40911;
inline constexpr int32_t kLastModeCommand = 40925;

struct ModeBlock {
    int32_t command = kFirstModeCommand;
    uint8_t dither = 0;    // 0 off, 1 ordered, 2 Floyd-Steinberg, 3 halftone
    uint8_t alphaMode = 0; // 0 drop, 1 keep, 2 composite onto the background
};

enum AlphaKind : int32_t {
    ALPHA_ADD_MASK = 0,
    ALPHA_REMOVE = 1,
    ALPHA_INVERT = 2,
    ALPHA_LOAD_FILE = 3,
    ALPHA_SAVE_FILE = 4,
};
struct AlphaBlock {
    int32_t kind = ALPHA_ADD_MASK;
    int32_t border = 0;          // add: pixels
    float opacity = 1;           // add: 0 ... 1
    int32_t shape = 1;           // add: 1 rectangular, 2 circular
    uint8_t removeAlphaMode = 0; // remove: 2 composite onto the background, 0 drop
    std::u16string path;         // load: at most 479 units
};

struct ToneMapBlock {
    float exposure = 1, black = 0, exponent = 1, hue = 0, chroma = 1;
    int32_t whitePoint = 6500;
};

struct ColorFilterBlock {
    float shadowHue = 0, lightHue = 0, shadowStrength = 0, lightStrength = 0;
};

struct GaussBlock {
    int32_t operation = 2; // 1 sharpen, 2 blur, 3 bloom
    float amount = 1;
    int32_t radius = 1;
    float gain = 0;
    uint8_t channels[4] = {1, 1, 1, 1}; // red, green, blue, alpha
};

// Crop and Expand margins in pixels.
struct MarginsBlock {
    int32_t left = 0, right = 0, top = 0, bottom = 0;
};
struct ExpandBlock {
    MarginsBlock margins;
    ILColor color;
};

struct ShiftBlock {
    int32_t dx = 0, dy = 0;
};

struct ResampleBlock {
    int32_t width = 0, height = 0;
    uint8_t filter = 0; // "Box" ... "Blackman"
};

// A Windows LOGFONTA as the Write Text block stores it: 32-bit fields.
struct ActionLogFont {
    int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
    uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
    uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    char faceName[32] = {}; // always terminated after decoding
};

// One logical-font record from another of LOGFONTA's fields (the block's,
// the library's, the preferences'): field by field, the face name terminated.
template <typename To, typename From>
To LogFontAs(const From& f) {
    To t = {f.height,         f.width,     f.escapement, f.orientation,  f.weight,        f.italic,
            f.underline,      f.strikeOut, f.charSet,    f.outPrecision, f.clipPrecision, f.quality,
            f.pitchAndFamily, {}};
    static_assert(sizeof t.faceName == sizeof f.faceName);
    std::memcpy(t.faceName, f.faceName, sizeof t.faceName);
    t.faceName[sizeof t.faceName - 1] = 0;
    return t;
}

inline constexpr int32_t kRightToLeftReading = 0x20000;
struct WriteTextBlock {
    ActionLogFont font;
    ILColor color;
    int32_t alignment = 0; // 0 left, 1 center, 2 right; kRightToLeftReading
    int32_t anchorX = 0, anchorY = 0;
    uint8_t anchor = 0, orientation = 0, dialogSetting = 0;
    float effect = 0; // < 0 shadow, > 0 glow, size = magnitude x 20
    uint8_t effectBlur = 0;
    int8_t effectX = 0, effectY = 0;
    std::u16string text; // owned by the action, not part of the block bytes
};

// The blocks' sizes (ActionParamSize of their types).
inline constexpr uint32_t kModeBytes = 12, kAlphaBytes = 964, kToneMapBytes = 24,
                          kColorFilterBytes = 16, kGaussBytes = 20, kCropBytes = 16,
                          kExpandBytes = 36, kShiftBytes = 8, kRotateBytes = 4, kMirrorBytes = 4,
                          kResampleBytes = 12, kWriteTextBytes = 112, kWriteTextFileBytes = 104,
                          kAffineBytes = 64, kPerspectiveBytes = 104, kProjectionBytes = 60;

// Each Encode writes the whole block (its size above), zeros included; a
// Write Text block gets a null text pointer (Action::Set installs the text).
void EncodeBlock(const ModeBlock& b, uint8_t* out);
void EncodeBlock(const AlphaBlock& b, uint8_t* out);
void EncodeBlock(const ToneMapBlock& b, uint8_t* out);
void EncodeBlock(const ColorFilterBlock& b, uint8_t* out);
void EncodeBlock(const GaussBlock& b, uint8_t* out);
void EncodeBlock(const MarginsBlock& b, uint8_t* out);
void EncodeBlock(const ExpandBlock& b, uint8_t* out);
void EncodeBlock(const ShiftBlock& b, uint8_t* out);
void EncodeBlock(const ResampleBlock& b, uint8_t* out);
void EncodeBlock(const WriteTextBlock& b, uint8_t* out);
void EncodeBlock(const ILAffineParams& b, uint8_t* out);
void EncodeBlock(const ILPerspectiveParams& b, uint8_t* out);
void EncodeBlock(const ILProjectionParams& b, uint8_t* out);
void EncodeInt(int32_t v, uint8_t* out); // Rotate, Mirror

bool DecodeBlock(const uint8_t* in, ModeBlock* b);
bool DecodeBlock(const uint8_t* in, AlphaBlock* b);
bool DecodeBlock(const uint8_t* in, ToneMapBlock* b);
bool DecodeBlock(const uint8_t* in, ColorFilterBlock* b);
bool DecodeBlock(const uint8_t* in, GaussBlock* b);
bool DecodeBlock(const uint8_t* in, MarginsBlock* b);
bool DecodeBlock(const uint8_t* in, ExpandBlock* b);
bool DecodeBlock(const uint8_t* in, ShiftBlock* b);
bool DecodeBlock(const uint8_t* in, ResampleBlock* b);
// The text is not read here (it hangs off the in-memory block).
bool DecodeBlock(const uint8_t* in, WriteTextBlock* b);
bool DecodeBlock(const uint8_t* in, ILAffineParams* b);
bool DecodeBlock(const uint8_t* in, ILPerspectiveParams* b);
bool DecodeBlock(const uint8_t* in, ILProjectionParams* b);

void EncodeColor(const ILColor& c, uint8_t* out);
// The 960-byte path field of Open and Alpha Channel blocks: at most 479
// UTF-16 units, the rest left as it is (zero).
void EncodePathField(std::u16string_view path, uint8_t* field);
ILColor DecodeColor(const uint8_t* in);

// Whether a block of the type decodes with every enumerated field in range
// and every text terminated; false for types without a defined block
// content to check (unknown types) and for a missing block of a type that
// has one.
bool BlockIsValid(int32_t type, const uint8_t* block);
