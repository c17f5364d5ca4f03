// POSIX threads behind the thread seam.
#include "platform/threads.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <new>

namespace platform {

struct ThreadGate {
    pthread_mutex_t Lock;
    pthread_cond_t Changed;
};

namespace {

// The record a started thread gets: the entry and its record, which a pthread entry cannot
// take as they are.
struct Start {
    ThreadEntry Entry;
    void* Record;
};

void* RunStart(void* start) {
    const Start begun = *static_cast<Start*>(start);
    delete static_cast<Start*>(start);
    begun.Entry(begun.Record);
    return nullptr;
}

}  // namespace

bool StartThread(WorkerThread& thread, ThreadEntry entry, void* record) {
    thread.Handle = 0;
    Start* start = new (std::nothrow) Start{.Entry = entry, .Record = record};
    if (start == nullptr) return false;
    pthread_t started{};
    if (pthread_create(&started, nullptr, RunStart, start) != 0) {
        delete start;
        return false;
    }
    static_assert(sizeof started <= sizeof thread.Handle, "a pthread_t fits in the handle");
    thread.Handle = static_cast<std::uintptr_t>(started);
    return true;
}

void JoinThread(WorkerThread& thread) {
    if (thread.Handle == 0) return;
    pthread_join(static_cast<pthread_t>(thread.Handle), nullptr);
    thread.Handle = 0;
}

int ProcessorCount() {
    // The processors of the affinity mask, which a container or taskset may narrow down.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0) {
        return CPU_COUNT(&allowed);
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
}

ThreadGate* CreateGate() {
    ThreadGate* gate = new (std::nothrow) ThreadGate;
    if (gate == nullptr) return nullptr;
    if (pthread_mutex_init(&gate->Lock, nullptr) != 0) {
        delete gate;
        return nullptr;
    }
    if (pthread_cond_init(&gate->Changed, nullptr) != 0) {
        pthread_mutex_destroy(&gate->Lock);
        delete gate;
        return nullptr;
    }
    return gate;
}

void DestroyGate(ThreadGate* gate) {
    if (gate == nullptr) return;
    pthread_cond_destroy(&gate->Changed);
    pthread_mutex_destroy(&gate->Lock);
    delete gate;
}

void EnterGate(ThreadGate* gate) {
    pthread_mutex_lock(&gate->Lock);
}

void LeaveGate(ThreadGate* gate) {
    pthread_mutex_unlock(&gate->Lock);
}

void WaitAtGate(ThreadGate* gate) {
    pthread_cond_wait(&gate->Changed, &gate->Lock);
}

void WakeGate(ThreadGate* gate) {
    pthread_cond_broadcast(&gate->Changed);
}

}  // namespace platform
