// The List window's thumbnail loader. A run is a controller thread (made by
// the window system) that loads the thumbnails on the process's work pool
// (RunThumbnailLoaders): the controller claims entries of the folder list,
// visible rows first, prepares their paths and hands them to the pool
// threads, which load each through a library handle of their own and call
// nothing of the window system; the controller loads some itself and posts
// the window a note when thumbnails were published. The user-interface
// thread owns the loader: it stops a run by a flag and waits for it while
// answering the messages other threads send it, so that no thread can
// deadlock with the wait.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "viewer/logic/folder_list.h"

class ThumbnailFeed;

// Posted to the window when thumbnails were published since the last such
// note (at most one waits in the queue): the window repaints the thumbnail
// cells in view and calls OnThumbnailsPublished.
inline constexpr UINT kThumbnailsPublishedMessage = WM_APP + 50;
// Posted to the window when a run has ended (wParam: the run's number); the
// window calls OnRunEnded.
inline constexpr UINT kThumbnailRunEndedMessage = WM_APP + 51;

class ThumbnailLoader {
public:
    // workerCount: pool threads loading beside the run's controller, which
    // loads too (never more threads than the pool has). adjustRunning(+1)
    // when a run starts and (-1) once when it has ended, on the
    // user-interface thread: the count of thumbnail work in progress.
    ThumbnailLoader(HWND window, FolderList& list, int workerCount,
                    std::function<void(int32_t)> adjustRunning);
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

    // The window's handlers of the two notes.
    void OnThumbnailsPublished();
    void OnRunEnded(WPARAM run);

private:
    class Controller;

    // The controller: the next entry to load (now claimed), -1 when none is
    // left.
    int32_t ClaimNext();
    // The controller's part of a run: claims, prepares and hands over
    // entries until depth of them wait (enough that the pool threads never
    // run dry while the controller loads one itself) or none is left, drops
    // them when Stop waits, and posts the notes.
    void Refill(ThumbnailFeed& feed, size_t depth, const std::u16string& libraryFolder);
    // The library path of the entry (a link's target's), empty when there is
    // none; libraryFolder: the listed folder's, ending in a slash (empty:
    // each entry's is asked of Wine).
    std::u16string LibraryPath(int32_t index, const std::u16string& libraryFolder);
    void PostPublishedNote();
    void LoadRun(int32_t size);
    void Start();
    void Stop();
    // Counts the end of the latest run once, from its note or from Stop.
    void CountRunEnd();

    HWND window_;
    FolderList& list_;
    int workerCount_;
    std::function<void(int32_t)> adjustRunning_;
    CRITICAL_SECTION lock_;
    int32_t entryCount_ = 0; // 0 tells the workers to stop; written under lock_
    int32_t firstRow_ = 0;   // under lock_
    int32_t pauseCount_ = 0;
    int32_t thumbnailSize_ = 0;
    std::unique_ptr<Controller> run_;
    uint32_t runNumber_ = 0; // of the latest run started
    bool runEndCounted_ = true;
    // The controller reads these without the lock.
    volatile LONG notePending_ = 0; // a published-note waits in the queue
    volatile LONG stopping_ = 0;    // Stop waits: the controller gives up posting
};
