// How the List window's thumbnails are loaded on the process's work pool.
// Preparing an entry (claiming it, resolving a shell link, turning its path
// into the library's) calls the window system, which only threads the
// window system made may do; the pool's threads are the library's own. So a
// run's caller, a window-system thread, prepares the entries and hands them
// over through a ThumbnailFeed, and loads some itself between its top-ups;
// the pool threads only take prepared entries and load them (library code).
// Nothing here waits for the caller while it loads, so a run ends whether
// or not pool threads come (the pool may be busy with other work).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "imglib/imglib.h"
#include "viewer/logic/folder_list.h"

// A prepared entry: its index in the folder list and its library path.
struct ThumbnailJob {
    int32_t index = -1;
    std::u16string path;
};

class ThumbnailFeed {
public:
    void Push(ThumbnailJob job);
    size_t Queued() const;
    // No more jobs come: the loaders return once the queue is empty.
    void Close();
    // Closes and takes back the jobs not yet taken (their indices).
    std::vector<int32_t> Drop();
    bool Closed() const;
    // The next job; waits while none is queued and the feed is open. False
    // once it is closed and empty.
    bool Take(ThumbnailJob& job);
    bool TryTake(ThumbnailJob& job);
    // A loader published a thumbnail; the caller asks whether any did since
    // it last asked.
    void NotePublished();
    bool TakePublished();

private:
    mutable std::mutex lock_;
    std::condition_variable ready_;
    std::deque<ThumbnailJob> queue_;
    bool closed_ = false;
    bool published_ = false;
};

// Runs the loaders on at most threads threads (the caller's included; 0:
// the pool's count). On the caller's thread refill(feed) is called before
// every job it takes: it tops the queue up and closes the feed once no
// entry is left (or drops it to stop). load(slot, job) runs on any of them,
// slot telling apart the threads loading at the same time. Returns when
// every job taken is done.
void RunThumbnailLoaders(ThumbnailFeed& feed, unsigned threads,
                         const std::function<void(ThumbnailFeed&)>& refill,
                         const std::function<void(unsigned slot, const ThumbnailJob&)>& load);

// The library path of a folder's file from the folder's (which ends in a
// slash) and the name the folder listing gave, without asking Wine for each
// file; empty when the name may be one Wine made up for a Unix name that is
// no valid DOS name (characters of the private-use block, or a "~" of a
// short name): only Wine can turn those back.
std::u16string JoinLibraryPath(const std::u16string& folder, std::u16string_view name);

// A library handle of the List window's reads (the folder scan's headers,
// the loaders' thumbnails): silent, without metadata, its messages naming
// moduleName.
ILHandle* CreateListHandle(const char* moduleName);

// The library handle a loader keeps: a list handle for 24-bit loads without
// alpha, fitting size.
ILHandle* CreateThumbnailHandle(int32_t size);

// Loads, sharpens and publishes the entry's thumbnail from path; false
// (nothing published) when the file does not load.
bool LoadEntryThumbnail(ILHandle* handle, const ILGaussParams& sharpen, FileEntry& entry,
                        const std::u16string& path);
