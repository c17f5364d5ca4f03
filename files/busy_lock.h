#pragma once
// A lock taken by atomic exchange in a busy-wait loop. Only the main thread uses the file
// module, so it never waits; it keeps the channel table and the system-call gate whole should
// that ever change.
#include <atomic>

struct BusyLock {
    std::atomic_flag Taken;  // set while held
};

inline void TakeBusyLock(BusyLock& lock) {
    while (lock.Taken.test_and_set(std::memory_order_acquire)) {
    }
}

inline void GiveBusyLock(BusyLock& lock) {
    lock.Taken.clear(std::memory_order_release);
}

// Holds a lock from its creation to the end of the enclosing block.
struct BusyLockHold {
    explicit BusyLockHold(BusyLock& lock) : Held(lock) { TakeBusyLock(Held); }
    ~BusyLockHold() { GiveBusyLock(Held); }
    BusyLockHold(const BusyLockHold&) = delete;
    BusyLockHold& operator=(const BusyLockHold&) = delete;
    BusyLock& Held;
};
