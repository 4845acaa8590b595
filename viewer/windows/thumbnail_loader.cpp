#include "viewer/windows/thumbnail_loader.h"

#include <objbase.h>

#include <algorithm>
#include <vector>

#include "imglib/imglib.h"
#include "viewer/logic/list_layout.h"
#include "viewer/platform/paths.h"
#include "viewer/platform/shell_link.h"
#include "viewer/platform/unix_path.h"
#include "viewer/platform/wide_text.h"
#include "viewer/platform/worker_thread.h"

namespace {

// A worker's own handle: silent, 24-bit loads without alpha or metadata,
// fitting the thumbnail size.
ILHandle* CreateThumbnailHandle(int32_t size) {
    ILHandle* handle = ILCreateHandle("Vx List");
    if (!handle) return nullptr;
    ILSetModuleName(handle, "List view");
    ILSetWarningProc(handle, nullptr);
    ILSetErrorProc(handle, nullptr);
    ILSetLoadModeRGB8(handle);
    ILSetAlphaMode(handle, 0);
    ILSkipMetadata(handle);
    ILSetThumbnailSize(handle, static_cast<uint32_t>(size));
    return handle;
}

} // namespace

class ThumbnailLoader::Worker : public WorkerThread {
public:
    Worker(ThumbnailLoader& loader, int32_t size) : loader_(loader), size_(size) {}
    ~Worker() override { Join(); }

protected:
    void Run() override {
        CoInitialize(nullptr); // shell links
        ILHandle* handle = CreateThumbnailHandle(size_);
        ILGaussParams sharpen;
        ILGaussParamsInit(&sharpen, 1, 1.0f, 2, 0.0f);
        ILGaussParamsSetChannels(&sharpen, 1, 1, 1, 0);
        for (int32_t index; handle && (index = loader_.ClaimNext()) >= 0;)
            loader_.Load(handle, sharpen, index);
        if (handle) ILDestroyHandle(handle);
        CoUninitialize();
    }

private:
    ThumbnailLoader& loader_;
    int32_t size_;
};

// The controller of one run: starts the workers, joins them in creation
// order, then tells the window.
class ThumbnailLoader::Controller : public WorkerThread {
public:
    Controller(ThumbnailLoader& loader, int workers, int32_t size, uint32_t number)
        : loader_(loader), workers_(workers), size_(size), number_(number) {}
    ~Controller() override { Join(); }

protected:
    void Run() override {
        std::vector<std::unique_ptr<Worker>> workers;
        for (int i = 0; i < workers_; ++i) {
            auto worker = std::make_unique<Worker>(loader_, size_);
            if (worker->Start()) workers.push_back(std::move(worker));
        }
        workers.clear();
        // A full queue refuses the note: try again until it is taken, or
        // until Stop waits for this thread (it counts the end itself).
        while (!PostMessageW(loader_.window_, kThumbnailRunEndedMessage, number_, 0) &&
               !InterlockedCompareExchange(&loader_.stopping_, 0, 0) && IsWindow(loader_.window_))
            Sleep(10);
    }

private:
    ThumbnailLoader& loader_;
    int workers_;
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

void ThumbnailLoader::Load(ILHandle* handle, const ILGaussParams& sharpen, int32_t index) {
    FileEntry& entry = list_.entries[index];
    WCHAR path[kPathUnits];
    CopyToWide(EntryPath(list_, index), path);
    if (entry.isLink) {
        WCHAR target[MAX_PATH];
        if (!ResolveShellLink(path, target)) return;
        lstrcpynW(path, target, kPathUnits);
    }
    const std::u16string file = ToLibraryPath(path);
    if (file.empty()) return;
    ILImage thumb;
    if (ILLoadThumbnail(handle, file.c_str(), &thumb) <= 0 || !thumb.data || !thumb.ownsData) {
        ILClearImage(&thumb);
        return; // stays claimed: not tried again until a reset
    }
    ILGaussFilterInPlace(&sharpen, handle, &thumb);
    const uint32_t state =
        PackThumbState(thumb.width, thumb.height, static_cast<uint32_t>(thumb.stride));
    PublishThumbnail(entry, thumb.data, state);
    thumb.ownsData = 0; // the entry owns the rows now
    thumb.data = nullptr;
    ILClearImage(&thumb);
    // One note at a time: a flood of them would fill the window's queue.
    if (InterlockedExchange(&notePending_, 1) == 0 &&
        !PostMessageW(window_, kThumbnailsPublishedMessage, 0, 0))
        InterlockedExchange(&notePending_, 0); // the next thumbnail tries again
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
    run_ = std::make_unique<Controller>(*this, workerCount_, thumbnailSize_, ++runNumber_);
    if (!run_->Start()) {
        run_.reset();
        return;
    }
    runEndCounted_ = false;
    if (adjustRunning_) adjustRunning_(1);
}

void ThumbnailLoader::Stop() {
    EnterCriticalSection(&lock_);
    entryCount_ = 0;
    LeaveCriticalSection(&lock_);
    if (!run_) return;
    InterlockedExchange(&stopping_, 1);
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
