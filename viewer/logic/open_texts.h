// The texts that opening an image produces: the load time shown in the
// title, the display name, and the report of a failed load.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// "(time: s.mmm sec)" of an elapsed time in milliseconds.
std::u16string FormatLoadTime(int64_t milliseconds);

// The part of a DOS path after its last backslash (all of it without one).
std::u16string_view DisplayNameOf(std::u16string_view path);

// "File: <path>  \n\n<reason>.  " for a load that failed with `result` and
// left no library messages; at most 299 units, a long path cut so that the
// reason stays.
std::u16string FormatOpenFailure(std::u16string_view path, int32_t result);

// The error that a dropped action-list file gives while action lists cannot
// be applied: one text without a current image, another with one.
std::u16string_view DroppedActionListError(bool hasImage);
