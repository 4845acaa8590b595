// Which files a folder list holds.
#pragma once

#include <windows.h>

#include <string>

// Is the directory entry a file whose extension (or, for a shell link, whose
// target's extension) the library loads? A link's target goes to target
// (empty for other files).
bool IsListableFile(const WIN32_FIND_DATAW& entry, const std::u16string& folder,
                    std::u16string& target);
