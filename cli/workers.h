// Threads for brg40's parallel updates, one implementation per platform (workers_posix.cpp,
// workers_win32.cpp: the Windows build's compiler has no std::thread or std::mutex).
#ifndef BRG40_CLI_WORKERS_H
#define BRG40_CLI_WORKERS_H

#include <cstddef>
#include <functional>
#include <memory>

// A lock for the few things workers share (the output, the device search). lock() and unlock()
// as std::lock_guard takes them.
class Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock();
    void unlock();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// A thread that runs job at once; the destructor waits for it to end.
class Worker {
public:
    explicit Worker(std::function<void()> job);
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    // True once the job has returned.
    bool Done() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Runs job(0) to job(count - 1), each on a thread, at most parallel at a time (0: all at once),
// and returns when all have returned.
void RunJobs(size_t count, size_t parallel, const std::function<void(size_t)>& job);

#endif
