// The thread seam: threads started on one record take turns at the gate, and the thread that
// waits there for them wakes once the last is done. The Windows build runs it too.
#include "platform/threads.h"

#include <gtest/gtest.h>

namespace {

constexpr int Threads = 3;
constexpr int Raises = 10000;

struct Tally {
    platform::ThreadGate* Gate;
    int Count;     // raised under the gate
    int Finished;  // threads done, under the gate
};

void RaiseCount(void* record) {
    Tally& tally = *static_cast<Tally*>(record);
    for (int i = 0; i < Raises; ++i) {
        platform::EnterGate(tally.Gate);
        ++tally.Count;
        platform::LeaveGate(tally.Gate);
    }
    platform::EnterGate(tally.Gate);
    ++tally.Finished;
    platform::WakeGate(tally.Gate);
    platform::LeaveGate(tally.Gate);
}

TEST(Threads, TakeTurnsAtTheGateAndWakeTheOneWaiting) {
    EXPECT_GE(platform::ProcessorCount(), 1);
    Tally tally{.Gate = platform::CreateGate(), .Count = 0, .Finished = 0};
    ASSERT_NE(tally.Gate, nullptr);
    platform::WorkerThread threads[Threads];
    for (platform::WorkerThread& thread : threads) {
        ASSERT_TRUE(platform::StartThread(thread, RaiseCount, &tally));
    }
    platform::EnterGate(tally.Gate);
    while (tally.Finished < Threads) platform::WaitAtGate(tally.Gate);
    platform::LeaveGate(tally.Gate);
    for (platform::WorkerThread& thread : threads) {
        platform::JoinThread(thread);
        EXPECT_EQ(thread.Handle, 0u);
    }
    EXPECT_EQ(tally.Count, Threads * Raises);
    platform::DestroyGate(tally.Gate);
}

}  // namespace
