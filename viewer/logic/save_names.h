// The names the save dialog proposes and writes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "imglib/pixel_type.h"

// The current path without the extension of its file name.
std::u16string ProposedSaveName(std::u16string_view currentPath);

// The extension written for the savable format: PNM files of samples wider
// than 16 bits are "pfm"; every other format its first extension.
std::u16string SaveExtension(uint32_t formatId, ILPixelType type, std::string_view firstExtension);

// The chosen name with the format's extension in place of its own.
std::u16string ForceExtension(std::u16string_view chosen, std::u16string_view extension);
