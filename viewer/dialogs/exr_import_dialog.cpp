#include "viewer/dialogs/exr_import_dialog.h"

#include "viewer/controls/owner_button.h"
#include "viewer/dialogs/option_dialog.h"
#include "viewer/settings/preferences_file.h"

namespace {

constexpr int kPremultiplied = 1208; // and 1209 non-pre-multiplied
constexpr int kWidth = 218;

class ExrImportDialog : public OptionDialog {
    void CreateControls(HWND window) override {
        const WCHAR* texts[] = {L"pre-multiplied (default)", L"non-pre-multiplied"};
        CreateRadioGroup(window, kPremultiplied, texts, 2, 10, 25, 190,
                         g_preferences.exrImportOptions ? 0 : 1);
    }
    void Paint(HDC dc) override { DrawSectionHeader(dc, kWidth, 0, L"Alpha Channel"); }
    void OnCommand(int id, int, LPARAM) override {
        SelectInGroup(dialog.window, id, kPremultiplied, kPremultiplied + 1);
    }
    INT_PTR Accept() override {
        g_preferences.exrImportOptions =
            GetCheckedRadio(dialog.window, kPremultiplied, kPremultiplied + 1) == 0;
        ILSetEXRImportOptions(state->handle, &g_preferences.exrImportOptions);
        return 0;
    }
};

} // namespace

void ShowOpenExrImportDialog(Document& state) {
    ExrImportDialog().Run(state, L"OpenEXR Import", kWidth, 101, 2);
}
