#include "viewer/dialogs/dither_dialog.h"

#include "viewer/controls/owner_button.h"
#include "viewer/dialogs/option_dialog.h"
#include "viewer/logic/mode_rules.h"
#include "viewer/settings/preferences_file.h"

namespace {

constexpr int kFirstKind = 1210; // off, ordered, Floyd-Steinberg, halftone
constexpr int kLastKind = 1213;

class DitherDialog : public OptionDialog {
    void CreateControls(HWND window) override {
        const WCHAR* texts[] = {L"off", L"Ordered", L"Floyd-Steinberg", L"Halftone"};
        CreateRadioGroup(window, kFirstKind, texts, 4, 10, 10, 124,
                         LastMonochromeDither(g_preferences.monochromeDither));
    }
    void OnCommand(int id, int, LPARAM) override {
        SelectInGroup(dialog.window, id, kFirstKind, kLastKind);
    }
    INT_PTR Accept() override {
        const int kind = GetCheckedRadio(dialog.window, kFirstKind, kLastKind);
        g_preferences.monochromeDither = static_cast<uint8_t>(kMonochromeDitherAsk + kind);
        return kind;
    }
    INT_PTR CancelResult() override { return LastMonochromeDither(g_preferences.monochromeDither); }
};

} // namespace

int ShowDitherDialog(Document& state) {
    const INT_PTR kind = DitherDialog().Run(state, L"Dither to monochrome", 148, 126, 1);
    return kind >= 0 && kind <= 3 ? static_cast<int>(kind) : 0; // -1: no dialog could be made
}
