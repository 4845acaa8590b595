// Decodes the code-blocks of one row of code-blocks on worker threads: the
// blocks of a row are independent, each worker has its own block decoder and
// scratch arrays, and the caller takes a share too. The samples come out the
// same whatever the number of workers, and so are the messages: a job's
// messages go to the operation's sink, and when jobs fail, the error of the
// first of them (in job order, as one thread would have met it) is the one
// delivered and thrown.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "jpeg2000/line_stages.h"
#include "jpeg2000/messages.h"

namespace j2k {

class block_row_workers {
public:
    // sink: the operation's (none: texts are dropped).
    block_row_workers(int workers, message_sink* sink);
    ~block_row_workers();
    block_row_workers(const block_row_workers&) = delete;
    block_row_workers& operator=(const block_row_workers&) = delete;

    // Runs job(i, work) for every i below n, on the workers and on the caller
    // (with `own`), and returns when all are done; a job's failure is thrown
    // here.
    void run(int n, block_work& own, const std::function<void(int, block_work&)>& job);

private:
    void work(block_work& mine);
    void take_jobs(block_work& mine);

    std::vector<std::thread> threads_;
    std::vector<std::unique_ptr<block_work>> works_;
    std::mutex lock_;
    std::condition_variable start_, done_;
    const std::function<void(int, block_work&)>* job_ = nullptr;
    std::atomic<int> next_{0};
    int count_ = 0, running_ = 0;
    unsigned generation_ = 0;
    bool stopping_ = false;
    std::exception_ptr error_;
    int error_job_ = 0;
    std::vector<std::string> error_lines_;
    message_sink* sink_;
    std::mutex sink_lock_;
};

} // namespace j2k
