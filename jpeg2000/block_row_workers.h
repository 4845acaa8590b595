// Decodes code-blocks on worker threads (helpers from the process's work
// pool, which may be fewer than asked or none): the blocks of a row of code-blocks
// are independent, so a subband stage hands a whole row over as one batch
// and goes on while it decodes, then waits for it when its lines are
// wanted. Each worker has its own block decoder and scratch arrays, and a
// caller waiting for a batch runs queued jobs (of any batch) meanwhile.
// Tiles also pull the lines of their colour components as one batch. The
// samples come out the same whatever the number of workers, and so do the
// messages: a job's warnings go to the operation's sink, and when jobs of a
// batch fail, the error of the first of them (in job order, as one thread
// would have met it) is the one delivered, by the waiter, and thrown.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "jpeg2000/line_stages.h"
#include "jpeg2000/messages.h"
#include "workpool/work_pool.h"

namespace j2k {

class block_row_workers {
public:
    // The jobs of one submission and what became of them.
    struct batch {
        std::function<void(int, block_work&)> job;
        int count = 0, started = 0, left = 0;
        std::exception_ptr error;
        int error_job = 0;
        std::vector<std::string> error_lines; // the failing job's error text
    };

    // workers: pool threads to ask for; sink: the operation's (none: texts
    // are dropped).
    block_row_workers(int workers, message_sink* sink);
    ~block_row_workers();
    block_row_workers(const block_row_workers&) = delete;
    block_row_workers& operator=(const block_row_workers&) = delete;

    // Queues job(i, work) for every i below n as batch b (which stays put
    // until waited for or cancelled).
    void submit(batch& b, int n, std::function<void(int, block_work&)> job);
    // Returns when every job of b is done, running queued jobs meanwhile
    // (with `own`, or on a worker with the worker's own); a job's failure is
    // thrown here. Jobs may wait for batches of their own.
    void wait(batch& b, block_work& own);
    // Drops the jobs of b not yet started and waits for those running.
    void cancel(batch& b);
    // Held while reading the coded data, which jobs on any thread may do.
    std::mutex& source_lock() { return source_lock_; }

private:
    void work(block_work& mine);
    // With the lock held and a job queued: runs the next one, unlocking
    // while it runs.
    void run_next(std::unique_lock<std::mutex>& hold, block_work& work);

    std::vector<std::unique_ptr<block_work>> works_; // a helper's, by slot - 1
    std::mutex lock_, source_lock_;
    std::condition_variable queued_, finished_;
    std::deque<batch*> queue_; // batches with jobs not yet started
    bool stopping_ = false;
    message_sink* sink_;
    std::mutex sink_lock_;
    std::unique_ptr<workpool::Helpers> helpers_; // last: closed first
};

} // namespace j2k
