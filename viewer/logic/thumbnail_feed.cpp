#include "viewer/logic/thumbnail_feed.h"

#include <algorithm>
#include <utility>

#include "workpool/work_pool.h"

void ThumbnailFeed::Push(ThumbnailJob job) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        queue_.push_back(std::move(job));
    }
    ready_.notify_one();
}

size_t ThumbnailFeed::Queued() const {
    std::lock_guard<std::mutex> hold(lock_);
    return queue_.size();
}

void ThumbnailFeed::Close() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        closed_ = true;
    }
    ready_.notify_all();
}

std::vector<int32_t> ThumbnailFeed::Drop() {
    std::vector<int32_t> dropped;
    {
        std::lock_guard<std::mutex> hold(lock_);
        closed_ = true;
        for (const ThumbnailJob& job : queue_)
            dropped.push_back(job.index);
        queue_.clear();
    }
    ready_.notify_all();
    return dropped;
}

bool ThumbnailFeed::Closed() const {
    std::lock_guard<std::mutex> hold(lock_);
    return closed_;
}

bool ThumbnailFeed::Take(ThumbnailJob& job) {
    std::unique_lock<std::mutex> hold(lock_);
    ready_.wait(hold, [this] { return closed_ || !queue_.empty(); });
    if (queue_.empty()) return false;
    job = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

bool ThumbnailFeed::TryTake(ThumbnailJob& job) {
    std::lock_guard<std::mutex> hold(lock_);
    if (queue_.empty()) return false;
    job = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

void ThumbnailFeed::NotePublished() {
    std::lock_guard<std::mutex> hold(lock_);
    published_ = true;
}

bool ThumbnailFeed::TakePublished() {
    std::lock_guard<std::mutex> hold(lock_);
    return std::exchange(published_, false);
}

void RunThumbnailLoaders(ThumbnailFeed& feed, unsigned threads,
                         const std::function<void(ThumbnailFeed&)>& refill,
                         const std::function<void(unsigned slot, const ThumbnailJob&)>& load) {
    const unsigned lanes =
        threads ? std::min(threads, workpool::ThreadCount()) : workpool::ThreadCount();
    // One part per thread, each a loop over the feed; slot 0 is the caller.
    workpool::Run(
        lanes, 1,
        [&](unsigned slot, uint32_t, uint32_t) {
            ThumbnailJob job;
            if (slot != 0) {
                while (feed.Take(job))
                    load(slot, job);
                return;
            }
            for (;;) {
                if (!feed.Closed()) refill(feed);
                if (!feed.TryTake(job)) {
                    if (feed.Closed()) return;
                    continue; // the refill made nothing ready yet
                }
                load(0, job);
            }
        },
        nullptr, lanes);
}

std::u16string JoinLibraryPath(const std::u16string& folder, std::u16string_view name) {
    if (folder.empty() || folder.back() != u'/' || name.empty()) return {};
    for (const char16_t c : name)
        if ((c >= 0xE000 && c <= 0xF8FF) || c == u'~' || c == u'/' || c == u'\\') return {};
    return folder + std::u16string(name);
}

ILHandle* CreateListHandle(const char* moduleName) {
    ILHandle* handle = ILCreateHandle("Vx List");
    if (!handle) return nullptr;
    ILSetModuleName(handle, moduleName);
    ILSetWarningProc(handle, nullptr);
    ILSetErrorProc(handle, nullptr);
    ILSkipMetadata(handle);
    return handle;
}

ILHandle* CreateThumbnailHandle(int32_t size) {
    ILHandle* handle = CreateListHandle("List view");
    if (!handle) return nullptr;
    ILSetLoadModeRGB8(handle);
    ILSetAlphaMode(handle, 0);
    ILSetThumbnailSize(handle, static_cast<uint32_t>(size));
    return handle;
}

bool LoadEntryThumbnail(ILHandle* handle, const ILGaussParams& sharpen, FileEntry& entry,
                        const std::u16string& path) {
    ILImage thumb;
    if (ILLoadThumbnail(handle, path.c_str(), &thumb) <= 0 || !thumb.data || !thumb.ownsData) {
        ILClearImage(&thumb);
        return false;
    }
    ILGaussFilterInPlace(&sharpen, handle, &thumb);
    const uint32_t state =
        PackThumbState(thumb.width, thumb.height, static_cast<uint32_t>(thumb.stride));
    PublishThumbnail(entry, thumb.data, state);
    thumb.ownsData = 0; // the entry owns the rows now
    thumb.data = nullptr;
    ILClearImage(&thumb);
    return true;
}
