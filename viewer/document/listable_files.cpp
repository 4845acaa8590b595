#include "viewer/document/listable_files.h"

#include "imglib/imglib.h"
#include "viewer/logic/text_utils.h"
#include "viewer/platform/paths.h"
#include "viewer/platform/shell_link.h"
#include "viewer/platform/wide_text.h"

bool IsListableFile(const WIN32_FIND_DATAW& entry, const std::u16string& folder,
                    std::u16string& target) {
    target.clear();
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    const std::u16string name = ToU16(entry.cFileName);
    if (!IsShellLinkFile(name)) return ILGetFormatIdOfPath(name.c_str()) > 0;
    WCHAR link[kPathUnits];
    CopyToWide(folder + name, link);
    WCHAR resolved[MAX_PATH];
    if (!ResolveShellLink(link, resolved)) return false;
    target = ToU16(resolved);
    return !target.empty() && ILGetFormatIdOfPath(target.c_str()) > 0;
}
