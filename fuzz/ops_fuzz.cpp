// The operations under libFuzzer, with parameters as stored actions may
// carry them: any bytes, NaN, infinities and huge values included. The input
// picks an operation, a pixel type and a small image size, then gives the
// parameters and the pixels.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "imglib/imglib.h"
#include "imglib/memory_owner.h"

namespace {

// Bytes taken from the front of the input; zeros once it runs out.
struct Reader {
    const uint8_t* data;
    size_t size;

    template <class T>
    T Take() {
        T v{};
        const size_t n = size < sizeof v ? size : sizeof v;
        std::memcpy(&v, data, n);
        data += n;
        size -= n;
        return v;
    }
};

constexpr ILPixelType kTypes[] = {IL_GREY1,      IL_GREY4,      IL_INDEX8, IL_GREY8,  IL_GREY_A8,
                                  IL_BGR8,       IL_RGBA8,      IL_BGR16,  IL_RGBA16, IL_BGR_HALF,
                                  IL_GREY_FLOAT, IL_BGRA_FLOAT, IL_GREY32, IL_BGRX8};

struct Handle {
    ILHandle* h = ILCreateHandle("ops fuzz");
    Handle() {
        ILSetErrorProc(h, nullptr);
        ILSetWarningProc(h, nullptr);
    }
    ~Handle() { ILDestroyHandle(h); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Handle handle;
    ILHandle* h = handle.h;
    Reader in{data, size};
    const uint8_t op = in.Take<uint8_t>();
    const ILPixelType type = kTypes[in.Take<uint8_t>() % std::size(kTypes)];
    const uint32_t width = in.Take<uint8_t>() % 48 + 1, height = in.Take<uint8_t>() % 48 + 1;
    uint8_t params[128];
    for (uint8_t& b : params)
        b = in.Take<uint8_t>();
    // Write Text's text: any UTF-16 units, lone surrogates included.
    char16_t text[65] = {};
    const uint8_t textUnits = in.Take<uint8_t>() % 65;
    for (uint8_t i = 0; i < textUnits; ++i)
        text[i] = in.Take<char16_t>();

    ILImageOwner image, target;
    if (ILAllocImage(&image.image, width, height, type, nullptr) != IL_OK) return 0;
    if ((type & IL_MODEL_MASK) == IL_MODEL_INDEXED) image.image.palette = new ILPalette(256);
    const size_t bytes = static_cast<size_t>(image.image.stride) * height;
    std::memcpy(image.image.data, in.data, in.size < bytes ? in.size : bytes);

    int32_t ints[8];
    std::memcpy(ints, params, sizeof ints);
    switch (op % 10) {
        case 0:
            ILShiftImage(&image.image, &target.image, ints[0], ints[1]);
            break;
        case 1:
            ILMirrorImage(h, &image.image, ints[0]);
            break;
        case 2: {
            ILColor fill;
            std::memcpy(&fill, params + 40, sizeof fill);
            // Kept to sizes a fuzzer can allocate; the refusals of larger
            // ones have their own tests.
            ILCropImage(&image.image, &target.image, ints[0] % 4096, ints[1] % 4096, ints[2] % 256,
                        ints[3] % 256, params[60] & 1 ? &fill : nullptr);
            break;
        }
        case 3: {
            ILAffineParams p;
            std::memcpy(&p, params, sizeof p);
            p.oversampling %= 5;
            // Scales below 1/16 make targets too large for the fuzzer.
            if (p.fitCanvas && !(std::abs(p.scaleX) <= 16 && std::abs(p.scaleY) <= 16)) break;
            ILAffineTransform(h, &image.image, params[62] & 1 ? nullptr : &target.image, &p);
            break;
        }
        case 4: {
            ILPerspectiveParams p;
            std::memcpy(&p, params, sizeof p);
            p.oversampling %= 5;
            int32_t w, hh;
            if (ILPerspectiveOutputSize(&image.image, &p, &w, &hh) != IL_OK ||
                int64_t{w} * hh > 4096 * 64)
                break;
            ILPerspectiveTransform(h, &image.image, &target.image, &p);
            break;
        }
        case 5: {
            ILProjectionParams p;
            ILProjectionParamsFromBytes(params, &p);
            p.oversampling %= 5;
            if (ILAllocImage(&target.image, static_cast<uint32_t>(p.width) % 64 + 1,
                             static_cast<uint32_t>(p.height) % 64 + 1, type, nullptr) != IL_OK)
                break;
            ILProjectImage(h, &image.image, &target.image, &p);
            break;
        }
        case 6: {
            ILGaussParams p;
            std::memcpy(&p, params, sizeof p);
            p.radius %= 64;
            ILGaussFilterInPlace(&p, h, &image.image);
            break;
        }
        case 8: {
            WriteTextParams p;
            std::memcpy(&p, params, sizeof p);
            p.text = nullptr;
            // Fonts a fuzzer can render quickly; the refusal of huge ones has
            // its own test.
            p.font.height = static_cast<int8_t>(p.font.height);
            p.font.width = static_cast<int8_t>(p.font.width);
            static const char* const faces[] = {"Liberation Sans", "Liberation Serif",
                                                "Liberation Mono", "DejaVu Sans", "", "No Such"};
            std::strcpy(p.font.faceName, faces[params[27] % std::size(faces)]);
            ILWriteText(h, &image.image, &p, text);
            break;
        }
        case 7:
            ILResampleImage(h, &image.image, ints[0] % 300, ints[1] % 300, params[8]);
            break;
        default: {
            if (ILAllocImage(&target.image, static_cast<uint32_t>(ints[0]) % 300 + 1,
                             static_cast<uint32_t>(ints[1]) % 300 + 1, IL_BGR8, nullptr) != IL_OK)
                break;
            ILResampleFast(&image.image, &target.image);
            break;
        }
    }
    return 0;
}
