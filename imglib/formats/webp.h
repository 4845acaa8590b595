// What the WebP loader and saver share.
#pragma once

#include <cstdint>

inline constexpr char kWebPModule[] = "WebP";

// libwebp's largest width and height.
inline constexpr uint32_t kWebPMaxDimension = 16383;
