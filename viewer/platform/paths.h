// The size of the path buffers the viewer keeps.
#pragma once

#include <cstddef>

// UTF-16 units of every path the viewer keeps (current, last opened, dropped).
inline constexpr size_t kPathUnits = 480;
