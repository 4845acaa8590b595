#include "viewer/settings/favorites_file.h"

#include <string>

#include "viewer/actions/action_file.h"
#include "viewer/platform/settings_folder.h"
#include "viewer/platform/unix_path.h"

namespace {

std::u16string FavoritesPath() {
    WCHAR path[kPathUnits];
    if (!GetSettingsFolder(path) || static_cast<size_t>(lstrlenW(path)) + 6 > kPathUnits) return {};
    lstrcatW(path, L"fa.up");
    return ToLibraryPath(path);
}

} // namespace

void LoadFavorites(ActionList& favorites) {
    const std::u16string path = FavoritesPath();
    if (!path.empty()) LoadActionListFile(path.c_str(), &favorites);
}

bool SaveFavorites(const ActionList& favorites) {
    const std::u16string path = FavoritesPath();
    return !path.empty() && SaveActionListFile(path.c_str(), favorites);
}
