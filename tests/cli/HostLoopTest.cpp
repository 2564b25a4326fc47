#include "cli/HostLoop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace palomix {
namespace {

using namespace std::chrono_literals;

TEST(HostLoopTest, TasksFromOtherThreadsRunOnTheLoopThreadInOrder) {
    HostLoop loop;
    const PostToHost post = loop.Poster();
    std::vector<int> ran;
    std::vector<std::thread::id> threads;
    bool done = false;
    std::thread producer([&] {
        for (int i = 0; i < 1000; ++i) {
            post([&, i] {
                ran.push_back(i);
                threads.push_back(std::this_thread::get_id());
            });
        }
        post([&] { done = true; });
    });
    loop.Run(1h, {}, [&] { return done; });
    producer.join();

    ASSERT_EQ(ran.size(), 1000u);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
    }
    for (const std::thread::id id : threads) {
        EXPECT_EQ(id, std::this_thread::get_id());
    }
}

TEST(HostLoopTest, TicksComeWhileNoTaskArrivesAndTasksPostedByTasksRun) {
    HostLoop loop;
    int ticks = 0;
    int followUps = 0;
    loop.Post([&] { loop.Post([&] { ++followUps; }); });
    loop.Run(
        1ms, [&] { ++ticks; }, [&] { return ticks >= 3; });
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(followUps, 1);
}

TEST(HostLoopTest, FinishedBeforeStartingRunsNothingAndLeftoverTasksCanBeCleared) {
    HostLoop loop;
    int ran = 0;
    loop.Post([&] { ++ran; });
    loop.Run(1h, {}, [] { return true; });
    EXPECT_EQ(ran, 0);
    loop.Clear();
    loop.Post([&] { ran += 10; });
    bool once = false;
    loop.Run(1h, {}, [&] { return std::exchange(once, true); });
    EXPECT_EQ(ran, 10);
}

}  // namespace
}  // namespace palomix
