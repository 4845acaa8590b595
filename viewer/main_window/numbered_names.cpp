#include "viewer/main_window/numbered_names.h"

#include "viewer/logic/text_utils.h"
#include "viewer/platform/wide_text.h"

const WCHAR* MakeNumberedName(const char16_t* base, int& counter, WCHAR* path) {
    ++counter;
    CopyToWide(FormatNumberedName(base, counter), path, 121);
    return path;
}
