#include "viewer/tool_settings/write_text_preview.h"

bool WriteTextPreview::Init(const ILImage& image) {
    imageWidth_ = image.width;
    imageHeight_ = image.height;
    geometry_ = WriteTextPreviewWindow(image.width, image.height);
    const auto w = static_cast<uint32_t>(geometry_.width);
    const auto h = static_cast<uint32_t>(geometry_.height);
    if (ILReallocImage(&window_.image, w, h, IL_BGR8, nullptr) != IL_OK) return false;
    ILConverter* c = &converter_.c;
    ILConverterSetImageTarget(c, &image, IL_BGR8);
    ILConverterSetModes(c, image.type, IL_BGR8, w);
    ILConverterSetAlphaMode(c, 0);
    return ILConverterPrepare(c);
}

void WriteTextPreview::Place(int32_t anchor) {
    source_ = WriteTextWindowSource(anchor, imageWidth_, imageHeight_, geometry_);
}

ILResult WriteTextPreview::Render(ILHandle* h, const ILImage& image, const WriteTextParams& params,
                                  const char16_t* text) {
    if (!image.data || image.width != imageWidth_ || image.height != imageHeight_)
        return IL_BAD_ARGUMENT;
    ILImage& window = window_.image;
    const uint64_t pixelBytes = uint64_t{image.bits} * image.channels / 8;
    const uint8_t* in = image.data + static_cast<int64_t>(source_.y) * image.stride +
                        static_cast<uint64_t>(source_.x) * pixelBytes;
    uint8_t* out = window.data;
    for (uint32_t y = 0; y < window.height; ++y, in += image.stride, out += window.stride)
        converter_.c.rowKernel(&converter_.c, in, out);
    if (!text || !text[0]) return IL_OK;
    return ILWriteText(h, &window, &params, text);
}
