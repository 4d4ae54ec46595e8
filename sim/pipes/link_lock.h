// One lock around the simulator connection (MinGW's win32 thread model has no std::mutex).
#ifndef BRG40_SIM_PIPES_LINK_LOCK_H
#define BRG40_SIM_PIPES_LINK_LOCK_H

#include <windows.h>

namespace sim {

class LinkLock {
public:
    LinkLock() { InitializeCriticalSection(&section_); }
    ~LinkLock() { DeleteCriticalSection(&section_); }
    LinkLock(const LinkLock&) = delete;
    LinkLock& operator=(const LinkLock&) = delete;
    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

// Holds a LinkLock for one scope.
class Locked {
public:
    explicit Locked(LinkLock& lock) : lock_(lock) { lock_.lock(); }
    ~Locked() { lock_.unlock(); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    LinkLock& lock_;
};

}  // namespace sim

#endif
