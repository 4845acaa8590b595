#include "jpeg2000/block_pool.h"

#include <algorithm>
#ifdef __linux__
#include <sched.h>
#endif
#include <utility>

namespace j2k {

namespace {

// Blocks queued per worker before the caller waits: enough to keep the
// workers fed, few enough that queued samples stay small.
constexpr size_t kQueuedPerWorker = 4;

} // namespace

block_pool::block_pool(int workers, message_sink* sink) : sink_(sink) {
    for (int i = 0; i < workers; ++i)
        threads_.emplace_back([this] { work(); });
}

block_pool::~block_pool() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

int block_pool::default_workers() {
    unsigned n = std::thread::hardware_concurrency();
#ifdef __linux__
    // The processors this process may run on: on one, workers only add
    // switching.
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) n = static_cast<unsigned>(CPU_COUNT(&set));
#endif
    return n > 1 ? static_cast<int>(std::min(n, 8u)) : 0;
}

std::vector<uint32_t> block_pool::buffer() {
    std::lock_guard<std::mutex> hold(lock_);
    if (spare_.empty()) return {};
    std::vector<uint32_t> v = std::move(spare_.back());
    spare_.pop_back();
    return v;
}

void block_pool::submit(const block_source& block, std::vector<uint32_t> samples,
                        encoded_block* out) {
    if (threads_.empty()) {
        block_source b = block;
        b.samples = samples.data();
        encoder_.encode(b, *out);
        spare_.push_back(std::move(samples));
        return;
    }
    std::unique_lock<std::mutex> hold(lock_);
    room_.wait(hold, [&] { return queue_.size() < kQueuedPerWorker * threads_.size(); });
    if (error_) rethrow(hold);
    queue_.push_back({block, std::move(samples), out});
    hold.unlock();
    wake_.notify_one();
}

void block_pool::finish() {
    std::unique_lock<std::mutex> hold(lock_);
    idle_.wait(hold, [&] { return queue_.empty() && busy_ == 0; });
    if (error_) rethrow(hold);
}

void block_pool::cancel() {
    std::unique_lock<std::mutex> hold(lock_);
    queue_.clear();
    room_.notify_all();
    idle_.wait(hold, [&] { return busy_ == 0; });
    error_ = nullptr;
    error_lines_.clear();
}

void block_pool::rethrow(std::unique_lock<std::mutex>& hold) {
    const std::exception_ptr error = std::exchange(error_, nullptr);
    const std::vector<std::string> lines = std::move(error_lines_);
    error_lines_.clear();
    hold.unlock();
    deliver_error_lines(lines);
    std::rethrow_exception(error);
}

void block_pool::work() {
    block_encoder encoder;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        wake_.wait(hold, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        job j = std::move(queue_.front());
        queue_.pop_front();
        ++busy_;
        hold.unlock();
        room_.notify_one();
        std::exception_ptr failed;
        worker_sink messages(sink_, sink_lock_);
        {
            message_scope scope(&messages);
            try {
                j.block.samples = j.samples.data();
                encoder.encode(j.block, *j.out);
            } catch (...) {
                failed = std::current_exception();
            }
        }
        hold.lock();
        if (failed && !error_) {
            error_ = failed;
            error_lines_ = std::move(messages.lines);
        }
        spare_.push_back(std::move(j.samples));
        if (--busy_ == 0 && queue_.empty()) idle_.notify_all();
    }
}

} // namespace j2k
