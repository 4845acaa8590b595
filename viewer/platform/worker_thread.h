// A worker thread made with CreateThread: threads made by the C++ library or
// pthreads crash as soon as they call Win32. Derive, implement Run, Start.
#pragma once

#include <windows.h>

class WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    // Joins. A derived class whose Run uses its own members must Join in its
    // own destructor, before those members go away.
    virtual ~WorkerThread();

    // False when a thread of this object still runs or none could be made.
    bool Start();
    // Waits for the thread to end and releases it; nothing when none exists.
    void Join();
    // Join for the user-interface thread: messages that other threads send
    // to its windows are answered while it waits, so a thread that sends
    // one before it ends cannot deadlock with the wait. Posted messages and
    // input wait in the queue.
    void JoinAnswering();
    bool IsRunning() const;

protected:
    virtual void Run() = 0;

private:
    static DWORD WINAPI Entry(void* self);
    HANDLE thread_ = nullptr;
};
