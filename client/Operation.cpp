#include "Operation.h"

#include <process.h>

#include "client/ReplyCode.h"

namespace client {

OperationJob::OperationJob()
    : done_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)), released_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

bool OperationJob::Finish(int result) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_) return false;
    finished_ = true;
    result_ = result;
    if (notify_) ::PostMessageA(notify_, WM_CLOSE, 0, 0);
    ::SetEvent(done_.Get());
    return true;
}

bool OperationJob::GiveUp(int result) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (finished_ || abandoned_) return false;
        abandoned_ = true;
        result_ = result;
        notify_ = nullptr;
        ::SetEvent(done_.Get());
    }
    // A worker inside WinINet finishes that call, finds the flag and leaves,
    // closing only what it opened itself.
    givenUp->Set();
    return true;
}

void OperationJob::SetNotifyWindow(HWND window) {
    std::lock_guard<std::mutex> lock(mutex_);
    notify_ = window;
}

bool OperationJob::Finished() {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

int OperationJob::Result() {
    std::lock_guard<std::mutex> lock(mutex_);
    return result_;
}

namespace {

// Worker threads are kept for the next operation: under Wine starting a thread
// costs about as much as a whole exchange with the server. One idle worker
// waits for the next job; a worker still inside a given-up operation is never
// handed another, so the next operation gets a thread of its own meanwhile.
// The pool lives as long as the process (never destroyed, so a worker never
// outlives it).
struct Worker {
    win::Handle wake{::CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    std::shared_ptr<OperationJob> job;
};

struct WorkerPool {
    std::mutex mutex;
    Worker* idle = nullptr;
};

WorkerPool& Pool() {
    static WorkerPool* pool = new WorkerPool;
    return *pool;
}

int RunJob(OperationJob& job) {
    try {
        return ExecuteOperation(job);
    } catch (...) {
        // The one place where a failure inside a request (no memory, a platform
        // exception) becomes the transport failure the user is shown.
        return kResultConnectError;
    }
}

unsigned __stdcall WorkerThread(void* parameter) {
    std::unique_ptr<Worker> self(static_cast<Worker*>(parameter));
    for (;;) {
        std::shared_ptr<OperationJob> job = std::move(self->job);
        const bool finished = job->Finish(RunJob(*job));
        HANDLE released = job->ReleasedEvent();
        // A finished job's host holds it until `released` is set, so this is
        // never its last reference; a given-up job may end here.
        job.reset();
        if (finished) ::SetEvent(released);
        {
            std::lock_guard<std::mutex> lock(Pool().mutex);
            if (Pool().idle) return 0;  // one idle worker is enough
            Pool().idle = self.get();
        }
        ::WaitForSingleObject(self->wake.Get(), INFINITE);
    }
}

}  // namespace

bool StartOperationWorker(const std::shared_ptr<OperationJob>& job) {
    {
        std::lock_guard<std::mutex> lock(Pool().mutex);
        if (Worker* idle = Pool().idle) {
            Pool().idle = nullptr;
            idle->job = job;
            return ::SetEvent(idle->wake.Get()) != FALSE;
        }
    }
    auto worker = std::make_unique<Worker>();
    if (!worker->wake) return false;
    worker->job = job;
    uintptr_t thread = ::_beginthreadex(nullptr, 0, &WorkerThread, worker.get(), 0, nullptr);
    if (!thread) return false;
    worker.release();  // the thread owns it now
    ::CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

void WaitForWorkerRelease(OperationJob& job) {
    if (job.Finished()) ::WaitForSingleObject(job.ReleasedEvent(), INFINITE);
}

void BlockingOperationHost::Run(const std::shared_ptr<OperationJob>& job, UINT) {
    if (!StartOperationWorker(job)) {
        job->GiveUp(kResultThreadFailed);
        return;
    }
    if (::WaitForSingleObject(job->DoneEvent(), timeoutMs_) != WAIT_OBJECT_0) job->GiveUp(kResultTimeout);
    WaitForWorkerRelease(*job);
}

}  // namespace client
