// Codes code-blocks on worker threads (helpers from the process's work
// pool) while the caller goes on pushing rows through the transform. Each
// block is independent: the caller hands over its quantised samples and the
// record that receives the coded block, and the output is the same whatever
// the number of workers. The caller codes queued blocks itself when the
// queue is full and when it finishes, so the work gets done whether or not
// helpers come.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "jpeg2000/block_encoder.h"
#include "jpeg2000/messages.h"
#include "workpool/work_pool.h"

namespace j2k {

class block_pool {
public:
    // workers: pool threads to ask for; 0 codes every block in the caller's
    // thread as it is handed over. sink: the operation's (none: texts are
    // dropped); a queued block's error reaches it when thrown in the caller.
    block_pool(int workers, message_sink* sink);
    ~block_pool();
    block_pool(const block_pool&) = delete;
    block_pool& operator=(const block_pool&) = delete;

    // A buffer for a block's samples (recycled from coded blocks).
    std::vector<uint32_t> buffer();
    // Codes the block whose samples are in `samples` (block.samples is set
    // here) into *out. Codes a queued block first when many are queued.
    void submit(const block_source& block, std::vector<uint32_t> samples, encoded_block* out);
    // Codes the queued blocks and waits for those on workers; a queued
    // block's failure is thrown here.
    void finish();
    // Drops the blocks not yet started and waits for those being coded (the
    // records they write to are about to go).
    void cancel();

    // Threads for an operation, the caller's included: the work pool's, up
    // to 8; none when that is a single one.
    static int default_workers();

private:
    struct job {
        block_source block;
        std::vector<uint32_t> samples;
        encoded_block* out;
    };
    void work();
    // With the lock held and a block queued: codes the oldest with encoder,
    // unlocking meanwhile; a failure is kept for the caller.
    void code_next(std::unique_lock<std::mutex>& hold, block_encoder& encoder);
    // Delivers the first failure's lines and throws it (the lock is let go).
    void rethrow(std::unique_lock<std::mutex>& hold);

    int workers_;
    std::mutex lock_;
    std::condition_variable wake_, idle_;
    std::deque<job> queue_;
    std::vector<std::vector<uint32_t>> spare_;
    int busy_ = 0;
    bool stopping_ = false;
    std::exception_ptr error_;
    std::vector<std::string> error_lines_;
    message_sink* sink_;
    std::mutex sink_lock_;
    block_encoder encoder_; // the caller's
    std::unique_ptr<workpool::Helpers> helpers_; // last: closed first
};

} // namespace j2k
