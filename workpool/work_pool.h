// One pool of worker threads for the whole process, which operations use to
// split large images into bands of rows. It starts at most one thread fewer
// than the processors the process may run on (the caller works too), and
// starts them on first use.
//
// Pool threads run only the bodies handed to Run, which must be library
// code: nothing that calls back into the program (progress procedures, the
// window system). Progress and cancellation go through Run's keepGoing,
// which is called on the caller's thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace workpool {

// body(slot, first, end) does items [first, end); slot (below
// ThreadCount()) tells apart the threads working on one run at the same
// time, so that each can have its own scratch memory. It must not throw.
using Body = std::function<void(unsigned slot, uint32_t first, uint32_t end)>;

// The processors this process may run on (its affinity mask), at least 1.
unsigned ProcessorCount();

// At most n threads, the caller's included, on one run (0: as many as there
// are processors). For comparing with one thread; results do not depend on it.
void SetThreadLimit(unsigned n);

// The threads a run started now may use, the caller's included: the slots
// its body may see.
unsigned ThreadCount();

// Runs body over [0, count) in parts of grain items (the last may be
// shorter), on the caller's thread and the pool's; returns when every part
// started is done. keepGoing(done), when given, is called on the caller's
// thread before each part it takes, with the number of items finished so
// far; when it answers false no further part starts and Run answers false.
// At most threads threads work on it (0: ThreadCount()), so that scratch
// memory counted beforehand suffices. A run from inside a body, or one of a
// single part, goes on the caller's thread alone.
// While the caller waits for the pool's threads to finish their parts it
// keeps asking keepGoing every few milliseconds.
bool Run(uint32_t count, uint32_t grain, const Body& body,
         const std::function<bool(uint32_t done)>& keepGoing = nullptr, unsigned threads = 0);

// For a body whose parts take long (bands of many rows): false once its run
// has been stopped, when the body should return at once. On the caller's
// thread it asks the run's keepGoing first, so that a body polling every few
// rows stops the run as promptly as parts of a few rows would. True outside
// a run.
bool KeepGoing();

// Pool threads that help a caller who goes on with its own work (a codec
// handing jobs to a queue of its own, say): up to count of them, each as it
// comes free, run body(slot) once, slot from 1 to count. They may never
// come (the pool busy, or one processor): the caller must be able to finish
// its work alone, and body must return once the caller asks it to. A
// caller inside a pool thread gets no helpers (the work stays on it).
class Helpers {
public:
    Helpers(unsigned count, std::function<void(unsigned slot)> body);
    ~Helpers(); // Close
    Helpers(const Helpers&) = delete;
    Helpers& operator=(const Helpers&) = delete;

    // No helper starts any more; returns once those inside body are out. The
    // caller has told them to return before.
    void Close();

private:
    struct Team;
    std::unique_ptr<Team> team_;
};

} // namespace workpool
