#include "jpeg2000/block_row_workers.h"

namespace j2k {

namespace {

// A job's messages: its error's lines are kept until the row is done (only
// the first failing job's reach the operation), its warnings pass at once.
class job_sink final : public message_sink {
public:
    job_sink(message_sink* to, std::mutex& lock) : to_(to), lock_(lock) {}
    void error_line(std::string_view line) override { lines.emplace_back(line); }
    void warning(std::string_view text) override {
        std::lock_guard<std::mutex> hold(lock_);
        if (to_) to_->warning(text);
    }
    std::vector<std::string> lines;

private:
    message_sink* to_;
    std::mutex& lock_;
};

} // namespace

block_row_workers::block_row_workers(int workers, message_sink* sink) : sink_(sink) {
    for (int i = 0; i < workers; ++i) {
        works_.push_back(std::make_unique<block_work>());
        threads_.emplace_back([this, w = works_.back().get()] { work(*w); });
    }
}

block_row_workers::~block_row_workers() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    start_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void block_row_workers::take_jobs(block_work& mine) {
    for (int i; (i = next_.fetch_add(1)) < count_;) {
        job_sink messages(sink_, sink_lock_);
        message_scope scope(&messages);
        try {
            (*job_)(i, mine);
        } catch (...) {
            std::lock_guard<std::mutex> hold(lock_);
            if (!error_ || i < error_job_) {
                error_ = std::current_exception();
                error_job_ = i;
                error_lines_ = std::move(messages.lines);
            }
        }
    }
}

void block_row_workers::work(block_work& mine) {
    unsigned seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(lock_);
            start_.wait(hold, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
        }
        take_jobs(mine);
        std::lock_guard<std::mutex> hold(lock_);
        if (--running_ == 0) done_.notify_one();
    }
}

void block_row_workers::run(int n, block_work& own,
                            const std::function<void(int, block_work&)>& job) {
    if (threads_.empty() || n < 2) {
        for (int i = 0; i < n; ++i)
            job(i, own);
        return;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        job_ = &job;
        count_ = n;
        next_ = 0;
        running_ = static_cast<int>(threads_.size());
        error_ = nullptr;
        ++generation_;
    }
    start_.notify_all();
    take_jobs(own);
    std::exception_ptr error;
    {
        std::unique_lock<std::mutex> hold(lock_);
        done_.wait(hold, [&] { return running_ == 0; });
        job_ = nullptr;
        error = error_;
    }
    if (!error) return;
    if (sink_)
        for (const std::string& line : error_lines_)
            sink_->error_line(line);
    std::rethrow_exception(error);
}

} // namespace j2k
