// brg40's worker threads on POSIX systems, over the standard library's.
#include <atomic>
#include <mutex>
#include <thread>

#include "workers.h"

struct Mutex::Impl {
    std::mutex mutex;
};

Mutex::Mutex() : m_impl(new Impl) {}
Mutex::~Mutex() = default;
void Mutex::lock() {
    m_impl->mutex.lock();
}
void Mutex::unlock() {
    m_impl->mutex.unlock();
}

struct Worker::Impl {
    std::atomic<bool> done{false};
    std::thread thread;
};

Worker::Worker(std::function<void()> job) : m_impl(new Impl) {
    Impl* impl = m_impl.get();
    impl->thread = std::thread([impl, job] {
        job();
        impl->done = true;
    });
}

Worker::~Worker() {
    m_impl->thread.join();
}

bool Worker::Done() const {
    return m_impl->done;
}
