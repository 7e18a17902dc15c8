#include "Operation.h"

#include <process.h>

namespace client {

OperationJob::OperationJob() : done_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

void OperationJob::Finish(int result) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_) return;
    finished_ = true;
    result_ = result;
    if (notify_) ::PostMessageA(notify_, WM_CLOSE, 0, 0);
    ::SetEvent(done_.Get());
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

unsigned __stdcall OperationThread(void* parameter) {
    // The thread owns one reference to the job for as long as it runs.
    std::unique_ptr<std::shared_ptr<OperationJob>> job(static_cast<std::shared_ptr<OperationJob>*>(parameter));
    int result = kResultConnectError;
    try {
        result = ExecuteOperation(**job);
    } catch (...) {
        result = kResultConnectError;
    }
    (*job)->Finish(result);
    return 0;
}

}  // namespace

HANDLE StartOperationThread(const std::shared_ptr<OperationJob>& job) {
    auto* reference = new (std::nothrow) std::shared_ptr<OperationJob>(job);
    if (!reference) return nullptr;
    uintptr_t thread = ::_beginthreadex(nullptr, 0, &OperationThread, reference, 0, nullptr);
    if (!thread) {
        delete reference;
        return nullptr;
    }
    return reinterpret_cast<HANDLE>(thread);
}

void BlockingOperationHost::Run(const std::shared_ptr<OperationJob>& job, UINT) {
    win::Handle thread(StartOperationThread(job));
    if (!thread) {
        job->GiveUp(kResultThreadFailed);
        return;
    }
    if (::WaitForSingleObject(job->DoneEvent(), timeoutMs_) != WAIT_OBJECT_0) job->GiveUp(kResultTimeout);
    // A finished worker is about to return: let it, so that it never races the
    // end of the process. A given-up one may still be blocked and is left alone.
    if (job->Finished()) ::WaitForSingleObject(thread.Get(), INFINITE);
}

}  // namespace client
