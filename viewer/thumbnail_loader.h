// The List window's thumbnail loader. A run is a controller thread that
// starts the workers and waits for them; the workers claim entries of the
// folder list, visible rows first, load each thumbnail through a library
// handle of their own and only post the window a note. The user-interface
// thread owns the loader: it stops a run by a flag and waits for it while
// answering the messages other threads send it, so that no worker can
// deadlock with the wait.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "viewer/logic/folder_list.h"

struct ILHandle;
struct ILGaussParams;

// Posted to the window: the entry's (wParam) thumbnail is published.
inline constexpr UINT kThumbnailLoadedMessage = WM_APP + 50;
// Posted to the window when a run has ended (once per started run).
inline constexpr UINT kThumbnailRunEndedMessage = WM_APP + 51;

class ThumbnailLoader {
public:
    // runStarted is called on the user-interface thread for every run
    // started; the run's end arrives as kThumbnailRunEndedMessage.
    ThumbnailLoader(HWND window, FolderList& list, int workerCount,
                    std::function<void()> runStarted);
    ~ThumbnailLoader(); // Reset
    ThumbnailLoader(const ThumbnailLoader&) = delete;
    ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;

    // Pauses nest: the first stops the run and keeps the entry count, the
    // last Resume starts a new run over it. The entry array may be changed
    // in between.
    void Pause();
    void Resume();
    // Stops the run, frees every thumbnail and forgets the entry count.
    void Reset();
    // A new run over the first count entries when the count changed.
    void SetEntryCount(int32_t count);
    // Reset, then a run over count entries at the thumbnail size (none at 0).
    void Restart(int32_t count, int32_t thumbnailSize);
    // The first visible row: claims start there.
    void SetFirstRow(int32_t row);
    int32_t EntryCount() const { return entryCount_; }

private:
    class Worker;
    class Controller;

    // Workers: the next entry to load (now claimed), -1 when none is left.
    int32_t ClaimNext();
    void Start();
    void Stop();
    void Load(ILHandle* handle, const ILGaussParams& sharpen, int32_t index);

    HWND window_;
    FolderList& list_;
    int workerCount_;
    std::function<void()> runStarted_;
    CRITICAL_SECTION lock_;
    int32_t entryCount_ = 0; // 0 tells the workers to stop; written under lock_
    int32_t firstRow_ = 0;   // under lock_
    int32_t pauseCount_ = 0;
    int32_t thumbnailSize_ = 0;
    std::unique_ptr<Controller> run_;
};
