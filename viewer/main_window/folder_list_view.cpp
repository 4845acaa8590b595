#include "viewer/main_window/folder_list_view.h"

#include <memory>
#include <vector>

#include "imglib/imglib.h"
#include "viewer/main_window/busy_guard.h"
#include "resources/commands.h"
#include "viewer/windows/list_window.h"
#include "viewer/dialogs/export_dialogs.h"
#include "viewer/document/listable_files.h"
#include "viewer/logic/text_utils.h"
#include "viewer/logic/thumbnail_feed.h"
#include "viewer/main_window/open_image.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/platform/shell_link.h"
#include "viewer/platform/shell_services.h"
#include "viewer/platform/unix_path.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/worker_thread.h"

namespace {

// The folder part of a path (up to and including its last backslash) and
// the name after it.
std::u16string FolderPart(const std::u16string& path) {
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

std::u16string NamePart(const std::u16string& path) {
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

int64_t UnixSeconds(const FILETIME& time) {
    const int64_t ticks = (int64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return (ticks - 116444736000000000LL) / 10000000;
}

// Fills the entry from the file's header, or, when the library cannot read
// it, from the file system alone.
void ReadEntryInfo(ILHandle* handle, FileEntry& entry, const std::u16string& dosPath) {
    WCHAR wide[kPathUnits];
    CopyToWide(dosPath, wide);
    ILInfo info;
    const std::u16string path = ToLibraryPath(wide);
    if (handle && !path.empty() && ILLoadImage(handle, path.c_str(), nullptr, &info) >= IL_OK) {
        entry.size = static_cast<uint64_t>(info.fileSize);
        entry.created = info.created;
        entry.modified = info.modified;
        entry.width = info.width;
        entry.height = info.height;
        entry.formatId = static_cast<int32_t>(info.formatId & IL_FORMAT_ROW_MASK);
        entry.infoRead = 1;
        return;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(wide, GetFileExInfoStandard, &data)) {
        entry.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entry.created = UnixSeconds(data.ftCreationTime);
        entry.modified = UnixSeconds(data.ftLastWriteTime);
    }
    entry.formatId = 0;
    entry.width = entry.height = 0;
    entry.infoRead = 0;
}

} // namespace

class FolderScanThread : public WorkerThread {
public:
    FolderScanThread(HWND window, std::u16string folder, std::u16string current)
        : window_(window), current_(std::move(current)) {
        list.folder = std::move(folder);
    }
    ~FolderScanThread() override { Join(); }

    FolderList list; // the result, taken over by the user-interface thread
    volatile LONG cancel = 0;

protected:
    void Run() override {
        CoInitialize(nullptr);
        Scan();
        CoUninitialize();
        PostMessageW(window_, WM_COMMAND, CMD_FOLDER_SCAN_FINISHED, 0);
    }

private:
    // One pass over the folder: the listable files, in the order found.
    void Scan() {
        WCHAR pattern[kPathUnits];
        CopyToWide(list.folder + u"*.*", pattern);
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW(pattern, &found);
        if (find == INVALID_HANDLE_VALUE) return;
        ILHandle* handle = CreateListHandle("File List");
        do {
            const std::u16string name = ToU16(found.cFileName);
            // Names that do not fit an entry or a path are not listed.
            if (name.size() >= kEntryNameUnits || list.folder.size() + name.size() >= kPathUnits)
                continue;
            std::u16string target;
            if (!IsListableFile(found, list.folder, target)) continue;
            FileEntry& entry = list.entries.emplace_back();
            SetEntryName(entry, name);
            entry.isLink = !target.empty();
            ReadEntryInfo(handle, entry, target.empty() ? list.folder + name : target);
            entry.isCurrent = !current_.empty() && CompareNamesNoCase(name, current_) == 0;
        } while (!cancel && FindNextFileW(find, &found));
        FindClose(find);
        if (handle) ILDestroyHandle(handle);
        SortEntries(list, g_preferences.SortKey, DrawShuffleNumber);
    }

    HWND window_;
    std::u16string current_;
};

FolderScan::FolderScan() = default;
FolderScan::~FolderScan() = default;

namespace {

void AddSavedFile(FolderList& list, const std::u16string& path) {
    if (list.folder.empty() || CompareNamesNoCase(FolderPart(path), list.folder) != 0) return;
    bool added = false;
    const int32_t index = TakeSavedEntry(list, NamePart(path), added);
    if (index < 0) return;
    ILHandle* handle = CreateListHandle("File List");
    ReadEntryInfo(handle, list.entries[index], path);
    if (handle) ILDestroyHandle(handle);
    if (added) SortEntries(list, g_preferences.SortKey, DrawShuffleNumber);
}

// Opens the current entry when its header was read (an entry the library
// cannot read is landed on without opening).
void OpenCurrentEntry(MainWindowState& state) {
    const int32_t c = state.folders.current;
    if (c < 0 || !state.folders.entries[c].infoRead) return;
    WCHAR path[kPathUnits];
    CopyToWide(EntryPath(state.folders, c), path);
    OpenImageFile(state, path, 0);
}

} // namespace

void ScanFolder(MainWindowState& state, const WCHAR* path, bool force) {
    if (state.folderScan.thread) return;
    const std::u16string full = ToU16(path);
    const std::u16string folder = FolderPart(full);
    if (folder.empty()) return;
    const std::u16string name = NamePart(full);
    // Windows names ignore letter case: the same folder and file in other
    // letters need no scan.
    if (!force && !state.folders.folder.empty() &&
        CompareNamesNoCase(folder, state.folders.folder) == 0) {
        for (size_t i = 0; i < state.folders.entries.size(); ++i) {
            if (CompareNamesNoCase(EntryName(state.folders.entries[i]), name) != 0) continue;
            SetCurrentEntry(state.folders, static_cast<int32_t>(i));
            RefreshList(state.listWindow, false);
            return;
        }
    }
    state.folderScan.thread = std::make_unique<FolderScanThread>(state.window, folder, name);
    state.busy.Set(BUSY_FOLDER_SCAN);
    DragAcceptFiles(state.window, FALSE);
    ResetListWindow(state.listWindow);
    CloseExportDialogs(state.listWindow.exports); // their workers read the list
    ClearFolderList(state.folders);
    if (!state.folderScan.thread->Start()) {
        state.folderScan.thread.reset();
        state.busy.Clear(BUSY_FOLDER_SCAN);
        DragAcceptFiles(state.window, TRUE);
        RefreshList(state.listWindow, true);
    }
}

void OnFolderScanFinished(MainWindowState& state) {
    if (!state.folderScan.thread) return;
    state.folderScan.thread->Join();
    CloseExportDialogs(state.listWindow.exports);
    ClearFolderList(state.folders);
    state.folders = std::move(state.folderScan.thread->list);
    state.folderScan.thread.reset();
    state.busy.Clear(BUSY_FOLDER_SCAN);
    DragAcceptFiles(state.window, TRUE);
    // The loader was reset for the scan: the list may grow before the
    // refresh starts it again.
    if (!IsListReadByExport(state.listWindow)) {
        for (const std::u16string& saved : state.folderScan.savedMeanwhile)
            AddSavedFile(state.folders, saved);
        state.folderScan.savedMeanwhile.clear();
    }
    RefreshList(state.listWindow, true);
    // A shown file that is not in the new list stays shown with no entry
    // current; another file is opened only through the guard, so edits are
    // never dropped without the question.
    const int32_t c = state.folders.current;
    if (c < 0) return;
    WCHAR path[kPathUnits];
    CopyToWide(EntryPath(state.folders, c), path);
    if (CompareNamesNoCase(ToU16(path), ToU16(state.currentPath)) == 0) return;
    if (BeginImageChange(state, ImageChange::Open, ChangeAsker::Program)) OpenCurrentEntry(state);
}

void AddSavedFileToList(MainWindowState& state, const WCHAR* path) {
    state.folderScan.savedMeanwhile.push_back(ToU16(path));
    AddFilesSavedMeanwhile(state);
}

void AddFilesSavedMeanwhile(MainWindowState& state) {
    if (state.folderScan.thread || IsListReadByExport(state.listWindow) ||
        state.folderScan.savedMeanwhile.empty())
        return;
    // The thumbnail workers write the entries they claimed: the array
    // grows only while they are stopped.
    PauseThumbnails(state.listWindow);
    for (const std::u16string& saved : state.folderScan.savedMeanwhile)
        AddSavedFile(state.folders, saved);
    state.folderScan.savedMeanwhile.clear();
    RefreshList(state.listWindow, false);
    ResumeThumbnails(state.listWindow);
}

void StopFolderScan(MainWindowState& state) {
    if (!state.folderScan.thread) return;
    InterlockedExchange(&state.folderScan.thread->cancel, 1);
    state.folderScan.thread.reset();
}

void EmptyFolderList(MainWindowState& state) {
    ResetListWindow(state.listWindow);
    CloseExportDialogs(state.listWindow.exports);
    ClearFolderList(state.folders);
    RefreshList(state.listWindow, true);
}

void GoToListEntry(MainWindowState& state, PageStep step) {
    const int32_t target = PageTarget(state.folders, step);
    if (target < 0) return;
    SetCurrentEntry(state.folders, target);
    OpenCurrentEntry(state);
    // After the open: once the List window's title names the entry, the
    // main window shows it.
    RefreshList(state.listWindow, false);
}

void GoToListIndex(MainWindowState& state, int32_t index) {
    const int32_t target = GoToTarget(state.folders, index);
    if (target < 0) return;
    SetCurrentEntry(state.folders, target);
    OpenCurrentEntry(state);
    // After the open: once the List window's title names the entry, the
    // main window shows it.
    RefreshList(state.listWindow, false);
}

void ReopenCurrentEntry(MainWindowState& state) {
    if (!state.folders.entries.empty()) OpenCurrentEntry(state);
}

void RescanFolder(MainWindowState& state) {
    if (state.currentPath[0]) ScanFolder(state, state.currentPath, true);
}

void RecycleCurrentFile(MainWindowState& state) {
    if (state.folders.entries.empty() || state.folders.current < 0 || !state.currentPath[0]) return;
    if (!RecycleFile(state.currentPath)) return;
    CloseExportDialogs(state.listWindow.exports);
    PauseThumbnails(state.listWindow);
    const bool left = RemoveCurrentEntry(state.folders);
    ResumeThumbnails(state.listWindow);
    RefreshList(state.listWindow, false);
    if (!left) {
        ILClearImage(&state.image);
        ClearImage(state);
        return;
    }
    OpenCurrentEntry(state);
}

namespace {

// After the selected entries' files went away: the shown image follows the
// current entry, or goes when no entry is left.
void RemoveSelectedFromList(MainWindowState& state) {
    CloseExportDialogs(state.listWindow.exports);
    PauseThumbnails(state.listWindow);
    const int result = RemoveSelectedEntries(state.folders);
    ResumeThumbnails(state.listWindow);
    RefreshList(state.listWindow, false);
    if (result == 0) {
        ILClearImage(&state.image);
        ClearImage(state);
    } else if (result < 0) {
        OpenCurrentEntry(state);
    }
}

// The shown file goes away with the selection: its edits are asked about.
bool MayRemoveSelection(MainWindowState& state) {
    return !IsCurrentEntrySelected(state.folders) ||
           BeginImageChange(state, ImageChange::Open, ChangeAsker::User);
}

} // namespace

void DeleteSelectedFiles(MainWindowState& state) {
    const std::u16string paths = SelectedPathList(state.folders);
    if (paths.empty() || !MayRemoveSelection(state)) return;
    if (!DeleteToRecycleBin(reinterpret_cast<const WCHAR*>(paths.c_str()))) return;
    RemoveSelectedFromList(state);
}

void CopyOrMoveSelectedFiles(MainWindowState& state, bool move) {
    const std::u16string paths = SelectedPathList(state.folders);
    if (paths.empty()) return;
    WCHAR folder[kPathUnits] = {};
    if (!ChooseFolder(state.listWindow.window,
                      move ? L"Move selected items to..." : L"Copy selected items to...", folder))
        return;
    if (move && !MayRemoveSelection(state)) return;
    if (!CopyOrMoveFiles(reinterpret_cast<const WCHAR*>(paths.c_str()), folder, move)) return;
    if (move) RemoveSelectedFromList(state);
}

void OpenFolderInShell(MainWindowState& state) {
    if (state.folders.entries.empty()) return;
    WCHAR folder[kPathUnits];
    CopyToWide(state.folders.folder, folder);
    ShellExecuteW(state.window, L"open", folder, nullptr, nullptr, SW_SHOWNORMAL);
}
