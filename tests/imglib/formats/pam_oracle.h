// Comparing our decoding with netpbm's: a tool's output widened to a 16-bit
// PAM by pamdepth, and our image converted to 16-bit grey or R, G, B (with
// alpha when the PAM has it), sample by sample.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "imglib/convert/converter.h"
#include "imglib/image.h"
#include "support/tools.h"

namespace vxtest {

struct Pam {
    uint32_t width = 0, height = 0, depth = 0, maxValue = 0;
    std::vector<uint16_t> samples;
};

// A PAM file's header and samples; depth 0 when the text is no PAM.
inline Pam ParsePam(const std::string& text) {
    Pam pam;
    size_t at = 0;
    if (text.compare(0, 3, "P7\n") != 0) return pam;
    at = 3;
    for (;;) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) return Pam{};
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line == "ENDHDR") break;
        const size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const uint32_t value =
            space == std::string::npos ? 0 : std::stoul("0" + line.substr(space + 1));
        if (key == "WIDTH") pam.width = value;
        if (key == "HEIGHT") pam.height = value;
        if (key == "DEPTH") pam.depth = value;
        if (key == "MAXVAL") pam.maxValue = value;
    }
    const size_t count = size_t{pam.width} * pam.height * pam.depth;
    const size_t bytes = pam.maxValue > 255 ? 2 : 1;
    if (text.size() - at < count * bytes) return Pam{};
    pam.samples.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(text.data()) + at + i * bytes;
        pam.samples[i] = bytes == 2 ? static_cast<uint16_t>(p[0] << 8 | p[1]) : p[0];
    }
    return pam;
}

// What a netpbm pipeline that prints any PNM or PAM reads, at maxval 65535.
inline Pam NetpbmPam(const std::string& command) {
    return ParsePam(
        RunOutput(command + " 2>/dev/null | pamtopam 2>/dev/null | pamdepth 65535 2>/dev/null"));
}

// Our image as a 16-bit PAM of the given depth (1 grey, 2 grey and alpha,
// 3 R, G, B, 4 R, G, B, A): through the converter to the 16-bit type of
// that depth, or where it has no such path to B, G, R, A bytes, widened.
inline Pam OurPam(const ILImage& image, uint32_t depth) {
    static constexpr ILPixelType kTypes[] = {IL_GREY16, IL_GREY_A16, IL_RGB16, IL_RGBA16};
    // Where each sample of the depth lies in a B, G, R, A pixel.
    static constexpr int kPicks[4][4] = {{1}, {1, 3}, {2, 1, 0}, {2, 1, 0, 3}};
    Pam pam{image.width, image.height, depth, 65535, {}};
    if (depth < 1 || depth > 4) {
        ADD_FAILURE() << "no PAM of depth " << depth;
        return pam;
    }
    ILConverter c;
    ILConverterInit(&c);
    ILConverterSetImageTarget(&c, &image, kTypes[depth - 1]);
    const bool wide = ILConverterPrepare(&c);
    if (!wide) {
        ILConverterFree(&c);
        ILConverterInit(&c);
        ILConverterSetImageTarget(&c, &image, IL_BGRA8);
        if (!ILConverterPrepare(&c)) {
            ILConverterFree(&c);
            ADD_FAILURE() << "no conversion from 0x" << std::hex << image.type;
            return pam;
        }
    }
    std::vector<uint16_t> row(size_t{image.width} * 4);
    std::vector<uint8_t> bytes(size_t{image.width} * 4);
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* source = image.data + int64_t{y} * image.stride;
        if (wide) {
            c.rowKernel(&c, source, row.data());
            pam.samples.insert(pam.samples.end(), row.begin(),
                               row.begin() + size_t{image.width} * depth);
            continue;
        }
        c.rowKernel(&c, source, bytes.data());
        // An image without alpha is opaque.
        if (!ILHasAlpha(image.type))
            for (uint32_t x = 0; x < image.width; ++x)
                bytes[x * 4 + 3] = 255;
        for (uint32_t x = 0; x < image.width; ++x)
            for (uint32_t k = 0; k < depth; ++k)
                pam.samples.push_back(
                    static_cast<uint16_t>(bytes[x * 4 + kPicks[depth - 1][k]] * 257));
    }
    ILConverterFree(&c);
    return pam;
}

// Whether two 16-bit PAMs agree within tolerance; "at (x, y) sample k: have
// A, want B" for the first miss.
inline ::testing::AssertionResult SamePam(const Pam& have, const Pam& want, int tolerance = 0) {
    if (have.width != want.width || have.height != want.height || have.depth != want.depth)
        return ::testing::AssertionFailure()
               << "have " << have.width << "x" << have.height << "x" << have.depth << ", want "
               << want.width << "x" << want.height << "x" << want.depth;
    for (size_t i = 0; i < have.samples.size(); ++i) {
        if (std::abs(have.samples[i] - want.samples[i]) > tolerance) {
            const size_t pixel = i / have.depth;
            return ::testing::AssertionFailure()
                   << "at (" << pixel % have.width << ", " << pixel / have.width << ") sample "
                   << i % have.depth << ": have " << have.samples[i] << ", want "
                   << want.samples[i];
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace vxtest
