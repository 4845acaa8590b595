// GIF writing: one image with a global colour table, LZW-coded, optionally
// interlaced. Images of more than 8 bits per pixel are quantised to 256
// colours first; grey images get an even grey ramp, indexed ones their
// palette. No transparency, extensions or local tables are written; alpha
// goes through the converter by the handle's alpha mode.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imglib/byte_order.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/convert/quantize.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/io/stream.h"
#include "imglib/memory_owner.h"

namespace {

constexpr char kModule[] = "GIF";
constexpr uint32_t kMaxSide = 65535;
constexpr uint32_t kHashSize = 8192;
constexpr uint32_t kEmpty = 0xFFFFFFFF;
constexpr uint32_t kLastCode = 4095;
constexpr uint32_t kNoCode = 4097;

// The LZW coder of one image: codes of 3 to 12 bits packed least
// significant first into data sub-blocks of up to 255 bytes.
class LzwEncoder {
public:
    LzwEncoder(ILFileWriter* out, uint32_t minCodeSize, uint64_t pixels)
        : out_(out), minSize_(minCodeSize), pending_(pixels), table_(kHashSize, kEmpty) {
        clear_ = 1u << minSize_;
        end_ = clear_ + 1;
        Reset();
    }

    // Writes the minimum code size and the first clear code.
    bool Start() {
        const uint8_t size = static_cast<uint8_t>(minSize_);
        if (out_->Write(&size, 1) != 1) return false;
        return Emit(clear_);
    }

    // Pixels already masked to the table's index width; after the image's
    // last one the data is ended. False on a write failure or when more
    // pixels come than the image has.
    bool Write(const uint8_t* pixels, uint64_t count) {
        if (count > pending_) return false;
        for (uint64_t i = 0; i < count; ++i) {
            const uint32_t p = pixels[i];
            if (current_ == kNoCode) {
                current_ = p;
                continue;
            }
            const uint32_t key = current_ << 8 | p;
            uint32_t slot = (key ^ (key >> 12)) & (kHashSize - 1);
            while (table_[slot] != kEmpty && table_[slot] >> 12 != key)
                slot = (slot + 1) & (kHashSize - 1);
            if (table_[slot] != kEmpty) {
                current_ = table_[slot] & 0xFFF;
                continue;
            }
            if (!Emit(current_)) return false;
            if (next_ < kLastCode) {
                table_[slot] = key << 12 | next_++;
            } else {
                // A full table starts over rather than hunting for codes.
                if (!Emit(clear_)) return false;
                Reset();
            }
            current_ = p;
        }
        pending_ -= count;
        if (pending_ == 0) return Finish();
        return true;
    }

private:
    void Reset() {
        next_ = end_ + 1;
        width_ = minSize_ + 1;
        limit_ = 1u << width_;
        std::fill(table_.begin(), table_.end(), kEmpty);
    }

    bool Emit(uint32_t code) {
        bits_ |= uint64_t{code} << count_;
        count_ += width_;
        while (count_ >= 8) {
            if (!Put(static_cast<uint8_t>(bits_))) return false;
            bits_ >>= 8;
            count_ -= 8;
        }
        if (next_ >= limit_ && width_ < 12) limit_ = 1u << ++width_;
        return true;
    }

    bool Put(uint8_t byte) {
        if (fill_ == 255 && !FlushBlock()) return false;
        block_[1 + fill_++] = byte;
        return true;
    }

    bool FlushBlock() {
        block_[0] = static_cast<uint8_t>(fill_);
        const size_t n = size_t{fill_} + 1;
        fill_ = 0;
        return out_->Write(block_, n) == n;
    }

    bool Finish() {
        if (current_ != kNoCode && !Emit(current_)) return false;
        if (!Emit(end_)) return false;
        while (count_ > 0) {
            if (!Put(static_cast<uint8_t>(bits_))) return false;
            bits_ >>= 8;
            count_ = count_ > 8 ? count_ - 8 : 0;
        }
        if (fill_ > 0 && !FlushBlock()) return false;
        const uint8_t terminator = 0;
        return out_->Write(&terminator, 1) == 1;
    }

    ILFileWriter* out_;
    uint32_t minSize_, clear_ = 0, end_ = 0, next_ = 0, width_ = 0, limit_ = 0;
    uint32_t current_ = kNoCode;
    uint64_t bits_ = 0;
    uint32_t count_ = 0;
    uint64_t pending_;
    uint8_t block_[256] = {};
    uint32_t fill_ = 0;
    std::vector<uint32_t> table_; // (key << 12) | code, key = prefix << 8 | pixel
};

uint32_t BitsFor(uint32_t entries) {
    uint32_t bits = 1;
    while ((1u << bits) < entries)
        ++bits;
    return bits;
}

// Signature, screen descriptor with the global table, and the image
// descriptor.
bool WriteHeaders(ILFileWriter* out, uint32_t width, uint32_t height, uint32_t bits,
                  const std::vector<uint8_t>& rgb, bool interlaced) {
    uint8_t screen[13] = {'G', 'I', 'F', '8', '9', 'a'};
    ILPutLe16(screen + 6, static_cast<uint16_t>(width));
    ILPutLe16(screen + 8, static_cast<uint16_t>(height));
    screen[10] = static_cast<uint8_t>(0x80 | (bits - 1) << 4 | (bits - 1));
    uint8_t image[10] = {0x2C, 0, 0, 0, 0};
    ILPutLe16(image + 5, static_cast<uint16_t>(width));
    ILPutLe16(image + 7, static_cast<uint16_t>(height));
    image[9] = interlaced ? 0x40 : 0;
    return out->Write(screen, sizeof screen) == sizeof screen &&
           out->Write(rgb.data(), rgb.size()) == rgb.size() &&
           out->Write(image, sizeof image) == sizeof image;
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* source) {
    if (!source || !ILIsValidImage(source)) return IL_BAD_ARGUMENT;
    if (source->width > kMaxSide || source->height > kMaxSide) {
        ILErrorF(h, "GIF files hold at most %u x %u pixels", kMaxSide, kMaxSide);
        return IL_BAD_ARGUMENT;
    }
    // Deeper images are written as their 256-colour quantisation.
    ILImageOwner quantised;
    const ILImage* image = source;
    if (source->channels * source->bits > 8) {
        if (ILQuantizeImage(h, const_cast<ILImage*>(source), &quantised.image, 256, 6, 1) != IL_OK)
            return IL_OUT_OF_MEMORY;
        image = &quantised.image;
    }
    const bool grey = ILPixelModel(image->type) == IL_MODEL_GRAY;
    const uint32_t entries = image->UsedPaletteSize();
    if (entries < 2 || entries > 256 || (entries & (entries - 1)) != 0)
        return ILReportUnsupportedDataFormat(h);
    const uint32_t bits = BitsFor(entries);
    std::vector<uint8_t> rgb(size_t{entries} * 3);
    for (uint32_t i = 0; i < entries; ++i) {
        if (grey) {
            std::fill_n(rgb.begin() + 3 * i, 3, static_cast<uint8_t>(i * 255 / (entries - 1)));
        } else if (image->palette && i < image->palette->count) {
            image->palette->ReadRGB8(i, rgb.data() + 3 * i);
        }
    }

    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetAlphaMode(c, h->alphaMode);
    ILConverterSetBackground(c, h->background);
    ILConverterSetImageTarget(c, image, grey ? IL_GREY8 : IL_INDEX8);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, image->width)));
    if (!row) return IL_OUT_OF_MEMORY;

    ILFileWriter out;
    if (const ILResult opened = out.Open(h, path); opened != IL_OK) return opened;
    const bool interlaced = h->gifInterlaced != 0;
    if (!WriteHeaders(&out, image->width, image->height, bits, rgb, interlaced))
        return ILReportWriteFailed(h);
    LzwEncoder lzw(&out, std::max(2u, bits), uint64_t{image->width} * image->height);
    if (!lzw.Start()) return ILReportWriteFailed(h);
    // Interlaced rows go in four passes: every 8th from row 0, every 8th
    // from 4, every 4th from 2, every 2nd from 1.
    static constexpr uint32_t kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    const uint32_t passes = interlaced ? 4 : 1;
    // Grey ramp values masked to the index width are their indices.
    const uint8_t mask = static_cast<uint8_t>((1u << bits) - 1);
    for (uint32_t pass = 0; pass < passes; ++pass) {
        for (uint32_t y = interlaced ? kStart[pass] : 0; y < image->height;
             y += interlaced ? kStep[pass] : 1) {
            c->rowKernel(c, image->data + int64_t{y} * image->stride, row.get());
            for (uint32_t x = 0; x < image->width; ++x)
                row.get()[x] &= mask;
            if (!lzw.Write(row.get(), image->width)) return ILReportWriteFailed(h);
        }
    }
    const uint8_t trailer = 0x3B;
    if (out.Write(&trailer, 1) != 1 || !out.Close()) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILSaveGIF(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo*) {
    return ILGuardSave(h, kModule, [&] { return Save(h, path, image); });
}
