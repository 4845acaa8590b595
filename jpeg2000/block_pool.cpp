#include "jpeg2000/block_pool.h"

#include <algorithm>
#include <utility>

namespace j2k {

namespace {

// Blocks queued per worker before the caller codes one itself: enough to
// keep the workers fed, few enough that queued samples stay small.
constexpr size_t kQueuedPerWorker = 4;

} // namespace

block_pool::block_pool(int workers, message_sink* sink)
    : workers_(std::max(workers, 0)), sink_(sink) {
    if (workers_ > 0)
        helpers_ = std::make_unique<workpool::Helpers>(static_cast<unsigned>(workers_),
                                                       [this](unsigned) { work(); });
}

block_pool::~block_pool() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    if (helpers_) helpers_->Close();
}

int block_pool::default_workers() {
    // On one processor workers only add switching.
    const unsigned n = workpool::ThreadCount();
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
    if (workers_ == 0) {
        block_source b = block;
        b.samples = samples.data();
        encoder_.encode(b, *out);
        spare_.push_back(std::move(samples));
        return;
    }
    std::unique_lock<std::mutex> hold(lock_);
    if (queue_.size() >= kQueuedPerWorker * static_cast<size_t>(workers_))
        code_next(hold, encoder_);
    if (error_) rethrow(hold);
    queue_.push_back({block, std::move(samples), out});
    hold.unlock();
    wake_.notify_one();
}

void block_pool::finish() {
    std::unique_lock<std::mutex> hold(lock_);
    while (!queue_.empty())
        code_next(hold, encoder_);
    idle_.wait(hold, [&] { return busy_ == 0; });
    if (error_) rethrow(hold);
}

void block_pool::cancel() {
    std::unique_lock<std::mutex> hold(lock_);
    queue_.clear();
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
        code_next(hold, encoder);
    }
}

void block_pool::code_next(std::unique_lock<std::mutex>& hold, block_encoder& encoder) {
    job j = std::move(queue_.front());
    queue_.pop_front();
    ++busy_;
    hold.unlock();
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
    if (--busy_ == 0) idle_.notify_all();
}

} // namespace j2k
