#include "viewer/main_window/history_commands.h"

#include <new>
#include <string>

#include "viewer/actions/action_apply.h"
#include "viewer/actions/action_file.h"
#include "viewer/actions/replay_plan.h"
#include "viewer/main_window/busy_guard.h"
#include "viewer/main_window/image_commands.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/main_window/main_menu.h"
#include "viewer/main_window/open_image.h"
#include "viewer/platform/settings_folder.h"
#include "viewer/platform/unix_path.h"

namespace {

// What the viewer provides to actions.
class ViewerActionHost : public ActionHost {
public:
    explicit ViewerActionHost(MainWindowState& state) : state_(state) {}
    bool ChangeMode(const ModeBlock& block) override {
        return ChangeImageMode(state_, static_cast<uint32_t>(block.command), block.dither,
                               block.alphaMode, false);
    }
    bool WriteText(const WriteTextBlock& block, const char16_t* text) override {
        return ApplyWriteText(block, text, state_.handle, &state_.image);
    }
    // Recorded paths are the viewer's DOS paths.
    std::u16string LibraryPath(const std::u16string& recorded) override {
        return ToLibraryPath(reinterpret_cast<const WCHAR*>(recorded.c_str()));
    }

private:
    MainWindowState& state_;
};

void ShowAndClearLibraryMessages(MainWindowState& state) {
    ShowLibraryMessages(state, nullptr);
    ClearLibraryMessages();
}

void Replay(MainWindowState& state, const ReplayPlan& plan) {
    if (!plan.run) return;
    if (plan.reloadSnapshot && state.undoUnavailable) return;
    if (!BeginImageChange(state, ImageChange::Apply, ChangeAsker::User)) return;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    std::u16string snapshot;
    WCHAR path[kPathUnits];
    if (plan.reloadSnapshot && GetUndoSnapshotPath(state.undoSnapshotName, path))
        snapshot = ToLibraryPath(path);
    const bool done = CarryOutReplay(
        plan, state.history, &state.image, snapshot.empty() ? nullptr : snapshot.c_str(),
        [&state](const Action& action) { return ApplyToCurrentImage(state, action); });
    if (done) {
        if (plan.reloadSnapshot) UpdateModeMenu(state);
        RefreshImageView(state, true);
    }
    RefreshActionsHistory(state.actionsWindow);
    ShowAndClearLibraryMessages(state);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

} // namespace

bool PostHistoryEntry(HWND mainWindow, const Action& action) {
    auto* copy = new (std::nothrow) Action(action);
    if (!copy) return false;
    if (PostMessageW(mainWindow, kMsgHistoryEntry, 0, reinterpret_cast<LPARAM>(copy))) return true;
    delete copy;
    return false;
}

void OnHistoryEntry(MainWindowState& state, Action* action) {
    if (!state.history.AppendCopy(*action)) ShowOutOfMemory(state);
    delete action;
    RefreshActionsHistory(state.actionsWindow);
}

bool ApplyToCurrentImage(MainWindowState& state, const Action& action) {
    ViewerActionHost host(state);
    return ApplyAction(action, state.handle, &state.image, host);
}

void UndoAction(MainWindowState& state) {
    Replay(state, PlanUndo(state.history));
}

void RedoAction(MainWindowState& state) {
    Replay(state, PlanRedo(state.history));
}

void JumpInHistory(MainWindowState& state, uint32_t target) {
    Replay(state, PlanJump(state.history, target));
}

void ApplyFavoriteAction(MainWindowState& state, const Action& action) {
    if (!BeginImageChange(state, ImageChange::Apply, ChangeAsker::User)) return;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    if (ApplyToCurrentImage(state, action)) {
        RefreshImageView(state, true);
        if (!state.history.AppendCopy(action)) ShowOutOfMemory(state);
        RefreshActionsHistory(state.actionsWindow);
    }
    ShowAndClearLibraryMessages(state);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

void ApplyActionList(MainWindowState& state, const ActionList& list, bool refresh) {
    if (!BeginImageChange(state, ImageChange::Apply, ChangeAsker::User)) return;
    if (refresh) SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    for (const Action& action : list.items) {
        if (!state.history.AppendCopy(action)) {
            ShowOutOfMemory(state);
            break;
        }
        if (!ApplyToCurrentImage(state, action)) state.history.Remove(state.history.Count() - 1);
        RefreshActionsHistory(state.actionsWindow);
    }
    if (refresh) {
        RefreshImageView(state, true);
        SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    }
    ShowAndClearLibraryMessages(state);
}

void ApplyActionListFile(MainWindowState& state, const char16_t* libraryPath) {
    ActionList list;
    if (!LoadActionListFile(libraryPath, &list)) {
        ShowError(state, L"Invalid action list");
        return;
    }
    ApplyActionList(state, list, true);
}

void MainWindowState::ApplyFavoritesToNewImage() {
    // A copy: a box shown meanwhile could let the list change.
    const ActionList list = favorites;
    if (list.Count() > 0) ::ApplyActionList(*this, list, false);
}
