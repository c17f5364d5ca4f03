// The Windows threads, lock and condition behind the thread seam.
#include "platform/threads.h"

#include <windows.h>

#include <new>

namespace platform {

struct ThreadGate {
    SRWLOCK Lock;
    CONDITION_VARIABLE Changed;
};

namespace {

// The record a started thread gets: the entry and its record, which a Windows thread entry
// cannot take as they are.
struct Start {
    ThreadEntry Entry;
    void* Record;
};

DWORD WINAPI RunStart(void* start) {
    const Start begun = *static_cast<Start*>(start);
    delete static_cast<Start*>(start);
    begun.Entry(begun.Record);
    return 0;
}

}  // namespace

bool StartThread(WorkerThread& thread, ThreadEntry entry, void* record) {
    thread.Handle = 0;
    Start* start = new (std::nothrow) Start{.Entry = entry, .Record = record};
    if (start == nullptr) return false;
    HANDLE started = CreateThread(nullptr, 0, RunStart, start, 0, nullptr);
    if (started == nullptr) {
        delete start;
        return false;
    }
    thread.Handle = reinterpret_cast<std::uintptr_t>(started);
    return true;
}

void JoinThread(WorkerThread& thread) {
    if (thread.Handle == 0) return;
    HANDLE handle = reinterpret_cast<HANDLE>(thread.Handle);
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
    thread.Handle = 0;
}

int ProcessorCount() {
    const DWORD count = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return count > 0 ? static_cast<int>(count) : 1;
}

ThreadGate* CreateGate() {
    ThreadGate* gate = new (std::nothrow) ThreadGate;
    if (gate == nullptr) return nullptr;
    InitializeSRWLock(&gate->Lock);
    InitializeConditionVariable(&gate->Changed);
    return gate;
}

// A slim lock and a condition variable hold nothing that needs to be given back.
void DestroyGate(ThreadGate* gate) {
    delete gate;
}

void EnterGate(ThreadGate* gate) {
    AcquireSRWLockExclusive(&gate->Lock);
}

void LeaveGate(ThreadGate* gate) {
    ReleaseSRWLockExclusive(&gate->Lock);
}

void WaitAtGate(ThreadGate* gate) {
    SleepConditionVariableSRW(&gate->Changed, &gate->Lock, INFINITE, 0);
}

void WakeGate(ThreadGate* gate) {
    WakeAllConditionVariable(&gate->Changed);
}

}  // namespace platform
