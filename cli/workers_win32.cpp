// brg40's worker threads on Windows: threads and a critical section of the system's own.
#include <windows.h>

#include <atomic>

#include "workers.h"

struct Mutex::Impl {
    CRITICAL_SECTION section;
};

Mutex::Mutex() : m_impl(new Impl) {
    InitializeCriticalSection(&m_impl->section);
}
Mutex::~Mutex() {
    DeleteCriticalSection(&m_impl->section);
}
void Mutex::lock() {
    EnterCriticalSection(&m_impl->section);
}
void Mutex::unlock() {
    LeaveCriticalSection(&m_impl->section);
}

struct Worker::Impl {
    std::function<void()> job;
    std::atomic<bool> done{false};
    HANDLE thread = nullptr;

    static DWORD WINAPI Run(void* parameter) {
        auto* impl = static_cast<Impl*>(parameter);
        impl->job();
        impl->done = true;
        return 0;
    }
};

Worker::Worker(std::function<void()> job) : m_impl(new Impl) {
    m_impl->job = std::move(job);
    m_impl->thread = CreateThread(nullptr, 0, Impl::Run, m_impl.get(), 0, nullptr);
    if (m_impl->thread == nullptr) {
        Impl::Run(m_impl.get());  // no thread to be had: the job runs here, before the others
    }
}

Worker::~Worker() {
    if (m_impl->thread != nullptr) {
        WaitForSingleObject(m_impl->thread, INFINITE);
        CloseHandle(m_impl->thread);
    }
}

bool Worker::Done() const {
    return m_impl->done;
}
