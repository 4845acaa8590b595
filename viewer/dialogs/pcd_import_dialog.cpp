#include "viewer/dialogs/pcd_import_dialog.h"

#include "viewer/controls/owner_button.h"
#include "viewer/dialogs/option_dialog.h"
#include "viewer/logic/import_options.h"
#include "viewer/settings/preferences_file.h"

namespace {

constexpr int kFirstMode = 1210; // 8 bit, 16 bit, half, float
constexpr int kLastMode = 1213;
constexpr int kFirstResolution = 1214; // 768 x 512, 1536 x 1024, 3072 x 2048
constexpr int kLastResolution = 1216;
constexpr int kWidth = 218;

class PcdImportDialog : public OptionDialog {
    void CreateControls(HWND window) override {
        const ILPCDImportOptions& options = g_preferences.pcdImportOptions;
        CreateRadioGroup(window, kFirstMode, kSampleKindTexts, 4, 10, 25, 190,
                         SampleKindIndex(options.sampleKind));
        const WCHAR* sizes[] = {L"768 x 512", L"1536 x 1024 intepolated (default)",
                                L"3072 x 2048 interpolated"};
        CreateRadioGroup(window, kFirstResolution, sizes, 3, 10, 135, 190,
                         PcdResolutionIndex(options.resolution));
    }
    void Paint(HDC dc) override {
        DrawSectionHeader(dc, kWidth, 0, L"Image Mode");
        DrawSectionHeader(dc, kWidth, 110, L"Resolution");
    }
    void OnCommand(int id, int, LPARAM) override {
        SelectInGroup(dialog.window, id, kFirstMode, kLastMode) ||
            SelectInGroup(dialog.window, id, kFirstResolution, kLastResolution);
    }
    INT_PTR Accept() override {
        ILPCDImportOptions& options = g_preferences.pcdImportOptions;
        options.sampleKind =
            SampleKindOfIndex(GetCheckedRadio(dialog.window, kFirstMode, kLastMode));
        options.resolution = static_cast<uint32_t>(
            GetCheckedRadio(dialog.window, kFirstResolution, kLastResolution) + 3);
        ILSetPCDImportOptions(state->handle, &options);
        return 0;
    }
};

} // namespace

void ShowPhotoCdImportDialog(Document& state) {
    PcdImportDialog().Run(state, L"Kodak Photo CD Import", kWidth, 230, 2);
}
