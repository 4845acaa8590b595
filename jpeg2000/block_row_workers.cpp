#include "jpeg2000/block_row_workers.h"

#include <algorithm>

namespace j2k {

namespace {

// A worker's own scratch, for the jobs it runs while its job waits (null
// outside work()).
thread_local block_work* worker_work = nullptr;

} // namespace

block_row_workers::block_row_workers(int workers, message_sink* sink) : sink_(sink) {
    // Waiting callers run queued jobs themselves: the work gets done
    // whether or not helpers come.
    for (int i = 0; i < workers; ++i)
        works_.push_back(std::make_unique<block_work>());
    if (workers > 0)
        helpers_ = std::make_unique<workpool::Helpers>(
            static_cast<unsigned>(workers), [this](unsigned slot) { work(*works_[slot - 1]); });
}

block_row_workers::~block_row_workers() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    queued_.notify_all();
    if (helpers_) helpers_->Close();
}

void block_row_workers::run_next(std::unique_lock<std::mutex>& hold, block_work& work) {
    batch& b = *queue_.front();
    const int i = b.started++;
    if (b.started == b.count) queue_.pop_front();
    hold.unlock();
    std::exception_ptr error;
    worker_sink messages(sink_, sink_lock_);
    {
        message_scope scope(&messages);
        try {
            b.job(i, work);
        } catch (...) {
            error = std::current_exception();
        }
    }
    hold.lock();
    if (error && (!b.error || i < b.error_job)) {
        b.error = error;
        b.error_job = i;
        b.error_lines = std::move(messages.lines);
    }
    if (--b.left == 0) finished_.notify_all();
}

void block_row_workers::work(block_work& mine) {
    // The pool thread outlives these workers: its scratch is forgotten on
    // the way out.
    worker_work = &mine;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        queued_.wait(hold, [&] { return stopping_ || !queue_.empty(); });
        if (stopping_) break;
        run_next(hold, mine);
    }
    worker_work = nullptr;
}

void block_row_workers::submit(batch& b, int n, std::function<void(int, block_work&)> job) {
    b.job = std::move(job);
    b.count = n;
    b.started = 0;
    b.left = n;
    b.error = nullptr;
    b.error_lines.clear();
    if (n == 0) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        queue_.push_back(&b);
    }
    if (n == 1)
        queued_.notify_one();
    else
        queued_.notify_all();
}

void block_row_workers::wait(batch& b, block_work& own) {
    block_work& mine = worker_work ? *worker_work : own;
    std::unique_lock<std::mutex> hold(lock_);
    while (b.left > 0) {
        if (!queue_.empty())
            run_next(hold, mine);
        else
            finished_.wait(hold);
    }
    if (!b.error) return;
    hold.unlock();
    // To the waiter's route: the operation's, or the job that waits.
    deliver_error_lines(b.error_lines);
    std::rethrow_exception(b.error);
}

void block_row_workers::cancel(batch& b) {
    std::unique_lock<std::mutex> hold(lock_);
    if (b.started < b.count) {
        queue_.erase(std::find(queue_.begin(), queue_.end(), &b));
        b.left -= b.count - b.started;
        b.count = b.started;
    }
    finished_.wait(hold, [&] { return b.left == 0; });
}

} // namespace j2k
