#include "viewer/windows/thumbnail_loader.h"

#include <objbase.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "imglib/imglib.h"
#include "viewer/logic/list_layout.h"
#include "viewer/logic/thumbnail_feed.h"
#include "viewer/platform/paths.h"
#include "viewer/platform/shell_link.h"
#include "viewer/platform/unix_path.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/worker_thread.h"
#include "workpool/work_pool.h"

// The controller of one run: loads the thumbnails, then tells the window.
class ThumbnailLoader::Controller : public WorkerThread {
public:
    Controller(ThumbnailLoader& loader, int32_t size, uint32_t number)
        : loader_(loader), size_(size), number_(number) {}
    ~Controller() override { Join(); }

protected:
    void Run() override {
        CoInitialize(nullptr); // shell links
        loader_.LoadRun(size_);
        CoUninitialize();
        // A full queue refuses the note: try again until it is taken, or
        // until Stop waits for this thread (it counts the end itself).
        while (!PostMessageW(loader_.window_, kThumbnailRunEndedMessage, number_, 0) &&
               !InterlockedCompareExchange(&loader_.stopping_, 0, 0) && IsWindow(loader_.window_))
            Sleep(10);
    }

private:
    ThumbnailLoader& loader_;
    int32_t size_;
    uint32_t number_;
};

ThumbnailLoader::ThumbnailLoader(HWND window, FolderList& list, int workerCount,
                                 std::function<void(int32_t)> adjustRunning)
    : window_(window),
      list_(list),
      workerCount_(std::clamp(workerCount, 1, 8)),
      adjustRunning_(std::move(adjustRunning)) {
    InitializeCriticalSection(&lock_);
}

ThumbnailLoader::~ThumbnailLoader() {
    Reset();
    DeleteCriticalSection(&lock_);
}

int32_t ThumbnailLoader::ClaimNext() {
    EnterCriticalSection(&lock_);
    const int32_t index = ClaimNextThumbnail(list_, entryCount_, firstRow_);
    LeaveCriticalSection(&lock_);
    return index;
}

void ThumbnailLoader::LoadRun(int32_t size) {
    // The workers and this controller, within the pool's processors; a
    // handle per slot, each made and used by the one thread in that slot.
    const unsigned threads =
        std::min(static_cast<unsigned>(workerCount_) + 1, workpool::ThreadCount());
    std::vector<ILHandle*> handles(threads, nullptr);
    ILGaussParams sharpen;
    ILGaussParamsInit(&sharpen, 1, 1.0f, 2, 0.0f);
    ILGaussParamsSetChannels(&sharpen, 1, 1, 1, 0);
    // The folder's path is asked of Wine once; its files' are joined to it.
    WCHAR folder[kPathUnits];
    CopyToWide(list_.folder, folder);
    std::u16string libraryFolder = ToLibraryPath(folder);
    if (!libraryFolder.empty() && libraryFolder.back() != u'/') libraryFolder += u'/';
    ThumbnailFeed feed;
    RunThumbnailLoaders(
        feed, threads, [&](ThumbnailFeed& f) { Refill(f, 2 * size_t{threads}, libraryFolder); },
        [&](unsigned slot, const ThumbnailJob& job) {
            // Library code only: this may be a pool thread.
            ILHandle*& handle = handles[slot];
            if (!handle) handle = CreateThumbnailHandle(size);
            // A file that does not load stays claimed: not tried again until
            // a reset.
            if (handle && LoadEntryThumbnail(handle, sharpen, list_.entries[job.index], job.path))
                feed.NotePublished();
        });
    if (feed.TakePublished()) PostPublishedNote();
    for (ILHandle* handle : handles)
        if (handle) ILDestroyHandle(handle);
}

void ThumbnailLoader::Refill(ThumbnailFeed& feed, size_t depth,
                             const std::u16string& libraryFolder) {
    for (;;) {
        if (InterlockedCompareExchange(&stopping_, 0, 0)) {
            // Entries handed over but not started go back to unclaimed.
            const std::vector<int32_t> dropped = feed.Drop();
            EnterCriticalSection(&lock_);
            for (const int32_t index : dropped)
                if (list_.entries[index].thumbState == kThumbClaimed)
                    list_.entries[index].thumbState = 0;
            LeaveCriticalSection(&lock_);
            return;
        }
        if (feed.Queued() >= depth) break;
        const int32_t index = ClaimNext();
        if (index < 0) {
            // Stop empties the count after raising its flag: look again.
            if (InterlockedCompareExchange(&stopping_, 0, 0)) continue;
            feed.Close();
            break;
        }
        std::u16string path = LibraryPath(index, libraryFolder);
        if (!path.empty()) feed.Push({index, std::move(path)});
    }
    if (feed.TakePublished()) PostPublishedNote();
}

std::u16string ThumbnailLoader::LibraryPath(int32_t index, const std::u16string& libraryFolder) {
    if (!list_.entries[index].isLink) {
        std::u16string joined = JoinLibraryPath(libraryFolder, EntryName(list_.entries[index]));
        if (!joined.empty()) return joined;
    }
    WCHAR path[kPathUnits];
    CopyToWide(EntryPath(list_, index), path);
    if (list_.entries[index].isLink) {
        WCHAR target[MAX_PATH];
        if (!ResolveShellLink(path, target)) return {};
        lstrcpynW(path, target, kPathUnits);
    }
    return ToLibraryPath(path);
}

void ThumbnailLoader::PostPublishedNote() {
    // One note at a time: a flood of them would fill the window's queue.
    if (InterlockedExchange(&notePending_, 1) == 0 &&
        !PostMessageW(window_, kThumbnailsPublishedMessage, 0, 0))
        InterlockedExchange(&notePending_, 0); // the next refill tries again
}

void ThumbnailLoader::OnThumbnailsPublished() {
    InterlockedExchange(&notePending_, 0);
}

void ThumbnailLoader::OnRunEnded(WPARAM run) {
    if (run == runNumber_) CountRunEnd();
}

void ThumbnailLoader::CountRunEnd() {
    if (runEndCounted_) return;
    runEndCounted_ = true;
    if (adjustRunning_) adjustRunning_(-1);
}

void ThumbnailLoader::Start() {
    if (run_) {
        if (run_->IsRunning()) return;
        run_.reset();
    }
    CountRunEnd();
    run_ = std::make_unique<Controller>(*this, thumbnailSize_, ++runNumber_);
    if (!run_->Start()) {
        run_.reset();
        return;
    }
    runEndCounted_ = false;
    if (adjustRunning_) adjustRunning_(1);
}

void ThumbnailLoader::Stop() {
    // The flag first: the controller that finds the count emptied knows
    // then that it is stopped rather than done.
    InterlockedExchange(&stopping_, 1);
    EnterCriticalSection(&lock_);
    entryCount_ = 0;
    LeaveCriticalSection(&lock_);
    if (!run_) {
        InterlockedExchange(&stopping_, 0);
        return;
    }
    run_->JoinAnswering();
    InterlockedExchange(&stopping_, 0);
    run_.reset();
    CountRunEnd();
}

void ThumbnailLoader::Pause() {
    if (++pauseCount_ != 1 || entryCount_ <= 0 || !run_) return;
    const int32_t count = entryCount_;
    Stop();
    entryCount_ = count;
}

void ThumbnailLoader::Resume() {
    if (pauseCount_ <= 0 || --pauseCount_ > 0) return;
    if (entryCount_ > 0) Start();
}

void ThumbnailLoader::Reset() {
    pauseCount_ = 0;
    Stop();
    FreeThumbnails(list_);
}

void ThumbnailLoader::SetEntryCount(int32_t count) {
    if (count == entryCount_) return;
    Pause();
    entryCount_ = count;
    Resume();
}

void ThumbnailLoader::Restart(int32_t count, int32_t thumbnailSize) {
    Reset();
    thumbnailSize_ = thumbnailSize;
    if (thumbnailSize > 0) entryCount_ = count;
    if (entryCount_ > 0) Start();
}

void ThumbnailLoader::SetFirstRow(int32_t row) {
    EnterCriticalSection(&lock_);
    firstRow_ = row;
    LeaveCriticalSection(&lock_);
}
