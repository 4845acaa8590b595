#include "viewer/numbered_names.h"

#include "viewer/logic/text_utils.h"
#include "viewer/viewer_state.h"
#include "viewer/wide_text.h"

const WCHAR* MakeNumberedName(const char16_t* base, int& counter) {
    ++counter;
    CopyToWide(FormatNumberedName(base, counter), g_viewer.currentPath, 121);
    return g_viewer.currentPath;
}
