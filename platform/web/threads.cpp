// The web page's module has no threads: none ever starts, so the caller does all the work on
// its own, and the gate has nothing to guard.
#include "platform/threads.h"

namespace platform {

struct ThreadGate {};

bool StartThread(WorkerThread& thread, ThreadEntry, void*) {
    thread.Handle = 0;
    return false;
}

void JoinThread(WorkerThread& thread) {
    thread.Handle = 0;
}

int ProcessorCount() {
    return 1;
}

// One gate for every caller: it holds nothing.
ThreadGate* CreateGate() {
    static ThreadGate none;
    return &none;
}

void DestroyGate(ThreadGate*) {}
void EnterGate(ThreadGate*) {}
void LeaveGate(ThreadGate*) {}
void WaitAtGate(ThreadGate*) {}
void WakeGate(ThreadGate*) {}

}  // namespace platform
