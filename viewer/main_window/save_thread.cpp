#include "viewer/main_window/save_thread.h"

#include <new>
#include <string>

#include "resources/commands.h"
#include "viewer/main_window/folder_list_view.h"
#include "viewer/main_window/image_commands.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/logic/save_names.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/dialogs/save_dialog.h"
#include "viewer/main_window/tooltips.h"
#include "viewer/platform/unix_path.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/worker_thread.h"

class SaveThread : public WorkerThread {
public:
    SaveThread() { ILInitImage(&extraImage); }
    ~SaveThread() override {
        Join();
        ILFreeImage(&extraImage);
    }

    HWND mainWindow = nullptr;
    ILHandle* handle = nullptr;
    const ILInfo* info = nullptr;
    ILImage* image = nullptr;
    ILResult result = 0;
    uint8_t previousAlphaMode = 0;
    uint32_t savedPpiX = 0;
    uint32_t savedPpiY = 0;
    WCHAR path[kPathUnits] = {};
    std::u16string libraryPath;
    ILImage extraImage; // the extracted alpha channel of an alpha export

protected:
    void Run() override {
        result = libraryPath.empty() ? IL_FILE_NOT_FOUND
                                     : ILSaveImage(handle, libraryPath.c_str(), image, info);
        PostMessageW(mainWindow, WM_COMMAND, CMD_SAVE_FINISHED, 0);
    }
};

namespace {

bool StartSave(MainWindowState& state, SaveThread* thread, ILImage* image) {
    thread->mainWindow = state.window;
    thread->handle = state.handle;
    thread->info = &state.info;
    thread->image = image;
    CopyToWide(ProposedSaveName(ToU16(state.currentPath)), thread->path);
    if (!ChooseImageToSave(state, *image, thread->path, g_preferences.saveFilterIndex)) {
        delete thread;
        return false;
    }
    thread->libraryPath = ToLibraryPath(thread->path);
    thread->previousAlphaMode = ApplyAlphaOption(state);
    // The file gets the resolution the user set for the view.
    thread->savedPpiX = state.info.ppiX;
    thread->savedPpiY = state.info.ppiY;
    state.info.ppiX = static_cast<uint32_t>(state.viewResolutionX);
    state.info.ppiY = static_cast<uint32_t>(state.viewResolutionY);

    state.busy.Set(BUSY_SAVING);
    ClearLibraryMessages();
    ShowStatusTooltip(state, "Saving...", false);
    state.AcceptFileDrops(false);
    state.saveThread = thread;
    if (thread->Start()) return true;
    // Without a thread the save ends at once, as a failed one.
    thread->result = IL_OUT_OF_MEMORY;
    OnSaveFinished(state);
    return false;
}

} // namespace

bool SaveImageInBackground(MainWindowState& state, ILImage* image) {
    auto* thread = new (std::nothrow) SaveThread;
    return thread && StartSave(state, thread, image);
}

void SaveAlphaChannel(MainWindowState& state) {
    auto* thread = new (std::nothrow) SaveThread;
    if (!thread) return;
    if (ILExtractAlpha(state.handle, &state.image, &thread->extraImage) != IL_OK) {
        delete thread;
        ClearLibraryMessages();
        ShowError(state, L"Failed to extract alpha channel");
        return;
    }
    StartSave(state, thread, &thread->extraImage);
}

void OnSaveFinished(MainWindowState& state) {
    SaveThread* thread = state.saveThread;
    if (!thread) return;
    thread->Join();
    state.saveThread = nullptr;
    state.busy.Clear(BUSY_SAVING);
    state.info.ppiX = thread->savedPpiX;
    state.info.ppiY = thread->savedPpiY;
    ILSetAlphaMode(state.handle, thread->previousAlphaMode);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
    if (thread->result == IL_OK) {
        ClearLibraryMessages(); // warnings of a good save
        AddSavedFileToList(state, thread->path);
    }
    state.AcceptFileDrops(true);
    if (thread->result != IL_OK) {
        if (!ShowLibraryMessages(state, thread->path))
            ShowError(state, L"Error saving the image file");
        ClearLibraryMessages();
    }
    ShowStatusTooltip(state, thread->result == IL_OK ? "File saved" : "Saving failed", true);
    delete thread;
}
