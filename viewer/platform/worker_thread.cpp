#include "viewer/platform/worker_thread.h"

WorkerThread::~WorkerThread() {
    Join();
}

bool WorkerThread::Start() {
    if (thread_) {
        if (IsRunning()) return false;
        Join();
    }
    thread_ = CreateThread(nullptr, 0, &WorkerThread::Entry, this, 0, nullptr);
    return thread_ != nullptr;
}

void WorkerThread::Join() {
    if (!thread_) return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

void WorkerThread::JoinAnswering() {
    if (!thread_) return;
    while (MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE) ==
           WAIT_OBJECT_0 + 1) {
        MSG msg;
        // Peeking dispatches the sent messages; nothing is removed.
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(thread_);
    thread_ = nullptr;
}

bool WorkerThread::IsRunning() const {
    return thread_ && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
}

DWORD WINAPI WorkerThread::Entry(void* self) {
    static_cast<WorkerThread*>(self)->Run();
    return 0;
}
