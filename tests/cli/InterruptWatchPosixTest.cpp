#include "platform/InterruptSignals.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace palomix {
namespace {

// Collects what the watch hands on, from its thread.
struct Received {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Interruption> interruptions;
    std::vector<std::thread::id> threads;

    void Add(const Interruption& interruption) {
        {
            const std::lock_guard lock(mutex);
            interruptions.push_back(interruption);
            threads.push_back(std::this_thread::get_id());
        }
        arrived.notify_all();
    }
    bool WaitFor(std::size_t count) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(10),
                                [&] { return interruptions.size() >= count; });
    }
};

std::atomic<int> previousHandlerCalls{0};
extern "C" void PreviousHandler(int) {
    ++previousHandlerCalls;
}

TEST(InterruptWatchPosixTest, SignalsArriveInOrderOnTheWatchThreadWithTheirKind) {
    Received received;
    {
        const InterruptWatch watch([&](const Interruption& i) { received.Add(i); });
        ASSERT_EQ(raise(SIGINT), 0);
        ASSERT_TRUE(received.WaitFor(1));
        ASSERT_EQ(raise(SIGTERM), 0);
        ASSERT_TRUE(received.WaitFor(2));
        ASSERT_EQ(raise(SIGHUP), 0);
        ASSERT_TRUE(received.WaitFor(3));
    }
    ASSERT_EQ(received.interruptions.size(), 3u);
    EXPECT_EQ(received.interruptions[0].kind, Interruption::Kind::Interrupt);
    EXPECT_EQ(received.interruptions[0].native, SIGINT);
    EXPECT_EQ(received.interruptions[1].kind, Interruption::Kind::Terminate);
    EXPECT_EQ(received.interruptions[1].native, SIGTERM);
    EXPECT_EQ(received.interruptions[2].kind, Interruption::Kind::Terminate);
    EXPECT_EQ(received.interruptions[2].native, SIGHUP);
    for (const std::thread::id id : received.threads) {
        EXPECT_NE(id, std::this_thread::get_id());
    }
}

TEST(InterruptWatchPosixTest, TheHandlersFromBeforeComeBackAndOnlyOneWatchAtATime) {
    previousHandlerCalls = 0;
    struct sigaction previous {};
    struct sigaction saved {};
    previous.sa_handler = PreviousHandler;
    sigemptyset(&previous.sa_mask);
    ASSERT_EQ(sigaction(SIGINT, &previous, &saved), 0);
    {
        const InterruptWatch watch([](const Interruption&) {});
        EXPECT_THROW(InterruptWatch([](const Interruption&) {}), std::logic_error);
    }
    // A new watch can be made once the first is gone.
    {
        const InterruptWatch again([](const Interruption&) {});
    }
    ASSERT_EQ(raise(SIGINT), 0);
    EXPECT_EQ(previousHandlerCalls.load(), 1);
    sigaction(SIGINT, &saved, nullptr);
}

}  // namespace
}  // namespace palomix
