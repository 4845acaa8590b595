#include "workpool/work_pool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>
#ifdef __linux__
#include <sched.h>
#endif

namespace workpool {

namespace {

// One call of Run: its parts are handed out through next; slots counts the
// threads that joined it (the caller holds slot 0).
struct Job {
    const Body* body;
    uint32_t count, grain;
    unsigned slotLimit;
    std::atomic<uint32_t> next{0}, done{0};
    std::atomic<bool> stop{false};
    unsigned slots = 1;  // under the pool's lock
    unsigned active = 0; // pool threads inside the job, under the pool's lock
};

using KeepGoingProc = std::function<bool(uint32_t done)>;

// True on pool threads, and on a caller's thread while its run lasts.
thread_local bool insidePool = false;
// The job this thread works on, and on the caller's thread its keepGoing,
// for KeepGoing() in bodies.
thread_local Job* currentJob = nullptr;
thread_local const KeepGoingProc* currentKeepGoing = nullptr;

// Asks keepGoing (when there is one) and stops the job on a "no".
bool Ask(Job& job, const KeepGoingProc* keepGoing) {
    if (!keepGoing || !*keepGoing || (*keepGoing)(job.done.load(std::memory_order_relaxed)))
        return true;
    job.stop.store(true, std::memory_order_relaxed);
    return false;
}

// Takes parts of the job until there are none left or it is stopped; the
// caller's thread asks keepGoing first.
void Work(Job& job, unsigned slot, const KeepGoingProc* keepGoing) {
    Job* const outerJob = std::exchange(currentJob, &job);
    const KeepGoingProc* const outerKeepGoing = std::exchange(currentKeepGoing, keepGoing);
    while (!job.stop.load(std::memory_order_relaxed) && Ask(job, keepGoing)) {
        const uint32_t part = job.next.fetch_add(1, std::memory_order_relaxed);
        const uint64_t first = uint64_t{part} * job.grain;
        if (first >= job.count) break;
        const auto end = static_cast<uint32_t>(std::min<uint64_t>(first + job.grain, job.count));
        (*job.body)(slot, static_cast<uint32_t>(first), end);
        job.done.fetch_add(end - static_cast<uint32_t>(first), std::memory_order_relaxed);
    }
    currentJob = outerJob;
    currentKeepGoing = outerKeepGoing;
}

// How often a caller waiting for the pool's threads asks keepGoing.
constexpr auto kWaitPoll = std::chrono::milliseconds(10);

class Pool {
public:
    explicit Pool(unsigned threads) {
        for (unsigned i = 0; i < threads; ++i)
            std::thread([this] { Serve(); }).detach();
        threads_ = threads;
    }

    unsigned Threads() const { return threads_; }

    void Post(Job* job) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            queue_.push_back(job);
        }
        if (job->slotLimit > 2)
            wake_.notify_all();
        else
            wake_.notify_one();
    }

    // Once the caller has run out of parts: no one joins any more, and the
    // threads inside finish theirs (or stop, when keepGoing says so
    // meanwhile and their bodies poll KeepGoing()).
    void Finish(Job* job, const KeepGoingProc* keepGoing) {
        std::unique_lock<std::mutex> hold(lock_);
        std::erase(queue_, job);
        const auto finished = [job] { return job->active == 0; };
        const bool asking = keepGoing && *keepGoing;
        while (!finished()) {
            if (!asking || job->stop.load(std::memory_order_relaxed)) {
                done_.wait(hold, finished);
                break;
            }
            if (done_.wait_for(hold, kWaitPoll, finished)) break;
            hold.unlock();
            Ask(*job, keepGoing);
            hold.lock();
        }
    }

private:
    void Serve() {
        insidePool = true;
        std::unique_lock<std::mutex> hold(lock_);
        for (;;) {
            wake_.wait(hold, [this] { return !queue_.empty(); });
            Job* job = queue_.front();
            const unsigned slot = job->slots++;
            if (job->slots >= job->slotLimit) queue_.pop_front();
            ++job->active;
            hold.unlock();
            Work(*job, slot, nullptr);
            hold.lock();
            if (--job->active == 0) done_.notify_all();
        }
    }

    // The pool lives as long as the process: its threads wait on these.
    std::mutex lock_;
    std::condition_variable wake_, done_;
    std::deque<Job*> queue_;
    unsigned threads_ = 0;
};

std::atomic<unsigned> limit{0};

Pool& ThePool() {
    // Never destroyed: threads still waiting at exit must find it there.
    static Pool* pool = new Pool(ProcessorCount() - 1);
    return *pool;
}

} // namespace

unsigned ProcessorCount() {
    unsigned n = std::thread::hardware_concurrency();
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) n = static_cast<unsigned>(CPU_COUNT(&set));
#endif
    return std::max(n, 1u);
}

void SetThreadLimit(unsigned n) {
    limit.store(n, std::memory_order_relaxed);
}

unsigned ThreadCount() {
    if (insidePool) return 1;
    const unsigned threads = ThePool().Threads() + 1, cap = limit.load(std::memory_order_relaxed);
    return cap ? std::min(cap, threads) : threads;
}

struct Helpers::Team {
    std::function<void(unsigned slot)> body;
    Body parts;
    Job job;
    bool open = false;
};

Helpers::Helpers(unsigned count, std::function<void(unsigned slot)> body)
    : team_(std::make_unique<Team>()) {
    count = std::min(count, ThreadCount() - 1);
    if (count == 0) return;
    Team& t = *team_;
    t.body = std::move(body);
    // One part per helper; slot 0 is the caller's, who takes none.
    t.parts = [&t](unsigned slot, uint32_t, uint32_t) { t.body(slot); };
    t.job.body = &t.parts;
    t.job.count = count;
    t.job.grain = 1;
    t.job.slotLimit = count + 1;
    t.open = true;
    ThePool().Post(&t.job);
}

Helpers::~Helpers() {
    Close();
}

void Helpers::Close() {
    if (!team_->open) return;
    team_->open = false;
    team_->job.stop.store(true, std::memory_order_relaxed);
    ThePool().Finish(&team_->job, nullptr);
}

bool Run(uint32_t count, uint32_t grain, const Body& body,
         const std::function<bool(uint32_t done)>& keepGoing, unsigned threads) {
    grain = std::max(grain, 1u);
    const unsigned slots = threads ? std::min(threads, ThreadCount()) : ThreadCount();
    Job job;
    job.body = &body;
    job.count = count;
    job.grain = grain;
    job.slotLimit = std::min<uint64_t>(slots, (uint64_t{count} + grain - 1) / grain);
    Pool* pool = job.slotLimit > 1 ? &ThePool() : nullptr;
    if (pool) pool->Post(&job);
    const bool nested = insidePool;
    insidePool = true;
    Work(job, 0, &keepGoing);
    if (pool) pool->Finish(&job, &keepGoing);
    insidePool = nested;
    return !job.stop.load(std::memory_order_relaxed);
}

bool KeepGoing() {
    Job* const job = currentJob;
    if (!job) return true;
    return !job->stop.load(std::memory_order_relaxed) && Ask(*job, currentKeepGoing);
}

} // namespace workpool
