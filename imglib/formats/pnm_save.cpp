// PNM writing: 1-bit grey images as bitmaps (P4, or P1 with the handle's
// ASCII option), other grey images as graymaps (P5/P2) and every other
// colour model as pixmaps (P6/P3) at 8 or 16 bits, and images of wider
// samples (32-bit integers, half, float and the packed kinds) as binary
// colour floatmaps (PF, little-endian). Alpha is dropped or composited on
// the handle's background by its alpha mode. The texts and the creator
// string are written as header comments, except in floatmaps.
#include <cstdio>
#include <cstring>
#include <string>

#include "imglib/convert/converter_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/pnm.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"

namespace {

constexpr ILTextKey kWrittenTexts[] = {IL_TEXT_TITLE, IL_TEXT_AUTHOR, IL_TEXT_CREATION_TIME,
                                       IL_TEXT_DESCRIPTION, IL_TEXT_COPYRIGHT};

struct Plan {
    char typeChar;       // '1' to '6' or 'F'
    ILPixelType rowType; // 0 for bitmaps, which bypass the converter
    uint32_t maxValue;   // 0: none written
};

Plan PlanFor(const ILImage& image, bool ascii) {
    const uint32_t kind = ILSampleKind(image.type);
    const bool grey = ILPixelModel(image.type) == IL_MODEL_GRAY;
    const bool deep = kind > IL_KIND_16;
    if (deep) return {'F', IL_RGB_FLOAT, 0};
    if (grey && image.type == IL_GREY1) return {ascii ? '1' : '4', 0, 0};
    const bool wide = kind == IL_KIND_16;
    if (grey) return {ascii ? '2' : '5', wide ? IL_GREY16 : IL_GREY8, wide ? 65535u : 255u};
    return {ascii ? '3' : '6', wide ? IL_RGB16 : IL_RGB8, wide ? 65535u : 255u};
}

std::string Header(ILHandle* h, const ILImage& image, const ILInfo* info, const Plan& plan) {
    std::string out = std::string("P") + plan.typeChar + "\n";
    // Floatmap readers take no comments: netpbm refuses such a file.
    const bool comments = plan.typeChar != 'F';
    if (comments && info && ILShouldWriteTexts(h, info)) {
        for (const ILTextKey key : kWrittenTexts) {
            if (const char* text = ILFindText(&info->texts, key))
                out += std::string("#") + ILTextKeyNames[key] + ": " + text + "\n";
        }
    }
    if (comments && h->creator) out += std::string("#Software: ") + h->creator + "\n";
    out += std::to_string(image.width) + " " + std::to_string(image.height) + "\n";
    if (plan.typeChar == 'F')
        out += "-1.000\n";
    else if (plan.maxValue)
        out += std::to_string(plan.maxValue) + "\n";
    return out;
}

// One ASCII row: the samples separated by blanks, lines kept below 70
// characters as the plain formats ask.
void AppendAscii(std::string* text, uint32_t value, size_t* lineStart, bool last) {
    char digits[8];
    const int n = std::snprintf(digits, sizeof digits, "%u", value);
    if (text->size() - *lineStart + n >= 70) {
        text->back() = '\n';
        *lineStart = text->size();
    }
    text->append(digits, n);
    text->push_back(last ? '\n' : ' ');
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    if (!image || !ILIsValidImage(image)) return IL_BAD_ARGUMENT;
    const Plan plan = PlanFor(*image, h->pnmASCII != 0);
    const bool ascii = plan.typeChar >= '1' && plan.typeChar <= '3';
    const uint32_t w = image->width;

    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    uint64_t rowBytes = (uint64_t{w} + 7) / 8;
    if (plan.rowType) {
        ILConverterSetAlphaMode(c, h->alphaMode);
        ILConverterSetBackground(c, h->background);
        ILConverterSetImageTarget(c, image, plan.rowType);
        if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
        rowBytes = uint64_t{w} * ILChannelCount(plan.rowType) * ILBitsPerSample(plan.rowType) / 8;
    }
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, rowBytes)));
    if (!row) return IL_OUT_OF_MEMORY;

    ILFileWriter out;
    if (const ILResult opened = out.Open(h, path); opened != IL_OK) return opened;
    const std::string header = Header(h, *image, info, plan);
    if (out.Write(header.data(), header.size()) != header.size()) return ILReportWriteFailed(h);

    std::string text;
    for (uint32_t i = 0; i < image->height; ++i) {
        const uint32_t y = plan.typeChar == 'F' ? image->height - 1 - i : i;
        const uint8_t* source = image->data + int64_t{y} * image->stride;
        uint8_t* bytes = row.get();
        if (plan.rowType) c->rowKernel(c, source, bytes);
        if (!ascii) {
            if (!plan.rowType) {
                for (uint64_t k = 0; k < rowBytes; ++k)
                    bytes[k] = static_cast<uint8_t>(~source[k]);
            } else if (plan.rowType == IL_GREY16 || plan.rowType == IL_RGB16) {
                for (uint64_t k = 0; k < rowBytes; k += 2)
                    std::swap(bytes[k], bytes[k + 1]);
            } // float rows stay in the host's little-endian order, as the scale -1 says
            if (out.Write(bytes, rowBytes) != rowBytes) return ILReportWriteFailed(h);
            continue;
        }
        text.clear();
        size_t lineStart = 0;
        if (!plan.rowType) {
            // A set bit is white, written "0".
            for (uint32_t x = 0; x < w; ++x)
                AppendAscii(&text, (source[x / 8] >> (7 - x % 8) & 1) ? 0 : 1, &lineStart,
                            x + 1 == w);
        } else {
            const uint64_t samples = rowBytes / (plan.maxValue > 255 ? 2 : 1);
            const auto* wide = reinterpret_cast<const uint16_t*>(bytes);
            for (uint64_t k = 0; k < samples; ++k)
                AppendAscii(&text, plan.maxValue > 255 ? wide[k] : bytes[k], &lineStart,
                            k + 1 == samples);
        }
        if (out.Write(text.data(), text.size()) != text.size()) return ILReportWriteFailed(h);
    }
    if (!out.Close()) return ILReportWriteFailed(h);
    return IL_OK;
}

} // namespace

ILResult ILSavePNM(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    return ILGuardSave(h, kPnmModule, [&] { return Save(h, path, image, info); });
}
