#pragma once
// Threads for work split over the machine's cores: start and join a thread, and one gate (a
// lock with a condition to wait for) that the threads take turns at. Each system gives its own:
// POSIX threads, the Windows calls, or, where there are none (WebAssembly), no thread ever
// starts and the caller does the work itself.
#include <cstdint>

namespace platform {

// What a started thread runs: its one argument is the record it works on.
using ThreadEntry = void (*)(void* record);

struct WorkerThread {
    std::uintptr_t Handle;  // the system's handle of the thread; 0 when none was started
};

// Starts entry(record) on a thread of its own. False when no thread could be started (or
// the system has none); the caller then does that work itself.
bool StartThread(WorkerThread& thread, ThreadEntry entry, void* record);

// Waits for a started thread to return, and forgets it.
void JoinThread(WorkerThread& thread);

// The processors this process may run on; at least 1.
int ProcessorCount();

// A lock and a condition under it. Where threads cannot start, every call does nothing.
struct ThreadGate;

// nullptr when there is no memory or the system refused.
ThreadGate* CreateGate();
void DestroyGate(ThreadGate* gate);
void EnterGate(ThreadGate* gate);
void LeaveGate(ThreadGate* gate);
// Leaves the gate, sleeps until WakeGate (or for no reason at all, so check again), and
// enters it again.
void WaitAtGate(ThreadGate* gate);
// Wakes every thread waiting at the gate.
void WakeGate(ThreadGate* gate);

}  // namespace platform
