#include "Operation.h"

#include <process.h>

#include "client/ReplyCode.h"

namespace client {

namespace {

// Exclusive hold of an SRW lock for one scope.
class SrwHold {
public:
    explicit SrwHold(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~SrwHold() { ::ReleaseSRWLockExclusive(&lock_); }
    SrwHold(const SrwHold&) = delete;
    SrwHold& operator=(const SrwHold&) = delete;

private:
    SRWLOCK& lock_;
};

}  // namespace

bool DeviceOperation::Finish(int result) {
    SrwHold hold(lock_);
    if (abandoned_) return false;
    finished_ = true;
    result_ = result;
    if (notify_) ::PostMessageA(notify_, WM_OPERATION_FINISHED, 0, 0);
    ::WakeAllConditionVariable(&changed_);
    return true;
}

bool DeviceOperation::GiveUp(int result) {
    {
        SrwHold hold(lock_);
        if (finished_ || abandoned_) return false;
        abandoned_ = true;
        result_ = result;
        notify_ = nullptr;
        ::WakeAllConditionVariable(&changed_);
    }
    // A worker inside WinINet finishes that call, finds the flag and leaves,
    // closing only what it opened itself.
    givenUp->Set();
    return true;
}

void DeviceOperation::SetNotifyWindow(HWND window) {
    SrwHold hold(lock_);
    notify_ = window;
}

bool DeviceOperation::Finished() {
    SrwHold hold(lock_);
    return finished_;
}

int DeviceOperation::Result() {
    SrwHold hold(lock_);
    return result_;
}

bool DeviceOperation::WaitSettled(DWORD ms) {
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    SrwHold hold(lock_);
    while (!finished_ && !abandoned_) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) return false;
        ::SleepConditionVariableSRW(&changed_, &lock_, static_cast<DWORD>(deadline - now), 0);
    }
    return true;
}

void DeviceOperation::WaitReleased() {
    SrwHold hold(lock_);
    while (finished_ && !released_) ::SleepConditionVariableSRW(&changed_, &lock_, INFINITE, 0);
}

void DeviceOperation::MarkReleased() {
    SrwHold hold(lock_);
    released_ = true;
    ::WakeAllConditionVariable(&changed_);
}

namespace {

// Worker threads are kept for the next operation: under Wine starting a thread
// costs about as much as a whole exchange with the server. One idle worker
// waits for the next job; a worker still inside a given-up operation is never
// handed another, so the next operation gets a thread of its own meanwhile.
// The pool lives as long as the process (never destroyed, so a worker never
// outlives it).
struct Worker {
    std::shared_ptr<DeviceOperation> job;  // under the pool's lock while the worker is idle
};

struct WorkerPool {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE handedOver = CONDITION_VARIABLE_INIT;
    Worker* idle = nullptr;
};

WorkerPool& Pool() {
    static WorkerPool* pool = new WorkerPool;
    return *pool;
}

int RunJob(DeviceOperation& job) {
    try {
        return ExecuteOperation(job);
    } catch (...) {
        // The one place where a failure inside a request (no memory, a platform
        // exception) becomes the transport failure the user is shown.
        return kResultConnectError;
    }
}

// A worker's last steps with a job: its result stored, then the job let go.
// A finished job's host holds it until it is marked released, so this is
// never its last reference; a given-up job may end here. True when finished.
bool FinishAndRelease(std::shared_ptr<DeviceOperation> job, int result) {
    DeviceOperation* raw = job.get();
    const bool finished = job->Finish(result);
    job.reset();
    if (finished) raw->MarkReleased();
    return finished;
}

unsigned __stdcall WorkerThread(void* parameter) {
    // COM for the worker's whole life: the status parse's own initialisation
    // then only counts up and down, and the parser's library stays loaded from
    // one refresh to the next instead of going with the thread's last apartment
    // and being loaded again.
    win::ComScope com;
    std::unique_ptr<Worker> self(static_cast<Worker*>(parameter));
    WorkerPool& pool = Pool();
    std::shared_ptr<DeviceOperation> job = std::move(self->job);
    for (;;) {
        const int result = RunJob(*job);
        FinishAndRelease(std::move(job), result);
        SrwHold hold(pool.lock);
        if (pool.idle) return 0;  // one idle worker is enough
        pool.idle = self.get();
        while (!self->job) ::SleepConditionVariableSRW(&pool.handedOver, &pool.lock, INFINITE, 0);
        job = std::move(self->job);
    }
}

struct Chain {
    std::shared_ptr<DeviceOperation> connect, status;
};

unsigned __stdcall ChainThread(void* parameter) {
    win::ComScope com;
    std::unique_ptr<Chain> chain(static_cast<Chain*>(parameter));
    // The status job's share of the connection is taken before the connect
    // job is finished: after that its host may take the job's outputs.
    const int result = RunJob(*chain->connect);
    if (result == kResultOk) {
        chain->status->connection = chain->connect->newConnection;
        chain->status->authorization = chain->connect->authorization;
    }
    const bool connected = FinishAndRelease(std::move(chain->connect), result) && result == kResultOk;
    // Not started at all when the status job was given up meanwhile.
    if (connected && !chain->status->givenUp->IsSet()) {
        const int status = RunJob(*chain->status);
        FinishAndRelease(std::move(chain->status), status);
    } else {
        chain->status->GiveUp(kResultNotConnected);
    }
    return 0;
}

}  // namespace

bool StartConnectAndStatus(std::shared_ptr<DeviceOperation> connect, std::shared_ptr<DeviceOperation> status) {
    auto chain = std::make_unique<Chain>(Chain{std::move(connect), std::move(status)});
    uintptr_t thread = ::_beginthreadex(nullptr, 0, &ChainThread, chain.get(), 0, nullptr);
    if (!thread) return false;
    chain.release();  // the thread owns it now
    ::CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

void AwaitJob(DeviceOperation& job, DWORD ms) {
    if (!job.WaitSettled(ms)) job.GiveUp(kResultTimeout);
    job.WaitReleased();
}

void IOperationHost::Await(const std::shared_ptr<DeviceOperation>& job, UINT) { AwaitJob(*job, kOperationTimeoutMs); }

bool StartOperationWorker(const std::shared_ptr<DeviceOperation>& job) {
    {
        WorkerPool& pool = Pool();
        SrwHold hold(pool.lock);
        if (Worker* idle = pool.idle) {
            pool.idle = nullptr;
            idle->job = job;
            // Only idle workers wait on it, and there is at most one.
            ::WakeAllConditionVariable(&pool.handedOver);
            return true;
        }
    }
    auto worker = std::make_unique<Worker>();
    worker->job = job;
    uintptr_t thread = ::_beginthreadex(nullptr, 0, &WorkerThread, worker.get(), 0, nullptr);
    if (!thread) return false;
    worker.release();  // the thread owns it now
    ::CloseHandle(reinterpret_cast<HANDLE>(thread));
    return true;
}

void BlockingOperationHost::Run(const std::shared_ptr<DeviceOperation>& job, UINT) {
    if (!StartOperationWorker(job)) {
        job->GiveUp(kResultThreadFailed);
        return;
    }
    AwaitJob(*job, timeoutMs_);
}

void BlockingOperationHost::Await(const std::shared_ptr<DeviceOperation>& job, UINT) { AwaitJob(*job, timeoutMs_); }

}  // namespace client
