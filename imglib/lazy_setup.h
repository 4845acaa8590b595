// Process-wide set-ups that are made on first need rather than at start:
// several threads may need one at once, and the last handle undoes it so
// that the next need makes it again.
#pragma once

#include <atomic>
#include <mutex>

struct ILLazySetUp {
    std::atomic<bool> ready{false};
    std::mutex lock;
};

// Runs build unless the set-up is in place; true when it is. A build that
// fails undoes its own part and is tried again on the next need.
template <typename Build>
bool ILEnsureSetUp(ILLazySetUp* s, Build&& build) {
    // The acquire pairs with the release below: whoever sees ready also
    // sees everything build wrote.
    if (s->ready.load(std::memory_order_acquire)) return true;
    std::lock_guard guard(s->lock);
    if (!s->ready.load(std::memory_order_relaxed) && build())
        s->ready.store(true, std::memory_order_release);
    return s->ready.load(std::memory_order_relaxed);
}

// Runs undo when the set-up is in place. The caller makes sure that nobody
// still uses it (the last handle is going).
template <typename Undo>
void ILUndoSetUp(ILLazySetUp* s, Undo&& undo) {
    std::lock_guard guard(s->lock);
    if (!s->ready.load(std::memory_order_relaxed)) return;
    undo();
    s->ready.store(false, std::memory_order_release);
}
