#include "core/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace qdx {
namespace {

// Every index runs exactly once, also when a task asks the pool for more
// work (which then runs on the task's own thread), and over many Runs.
TEST(WorkerPool, EveryIndexOnceEvenWhenTasksNest) {
    WorkerPool pool(4);
    EXPECT_EQ(pool.Threads(), 4u);
    for (int round = 0; round < 50; ++round) {
        std::vector<std::atomic<int>> seen(37);
        std::atomic<int> inner{0};
        pool.For(37, [&](uint32_t i) {
            seen[i].fetch_add(1);
            const std::thread::id outer = std::this_thread::get_id();
            pool.For(3, [&](uint32_t) {
                EXPECT_EQ(std::this_thread::get_id(), outer);
                inner.fetch_add(1);
            });
        });
        for (auto& count : seen) EXPECT_EQ(count.load(), 1);
        EXPECT_EQ(inner.load(), 37 * 3);
    }
}

// One thread is the caller alone, in order; sizes are clamped to 1 .. 16.
TEST(WorkerPool, OneThreadRunsInOrderOnTheCaller) {
    WorkerPool pool(0);
    EXPECT_EQ(pool.Threads(), 1u);
    EXPECT_EQ(WorkerPool(99).Threads(), kMaxWorkerThreads);
    std::vector<uint32_t> order;
    const std::thread::id caller = std::this_thread::get_id();
    pool.For(5, [&](uint32_t i) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        order.push_back(i);
    });
    EXPECT_EQ(order, (std::vector<uint32_t>{0, 1, 2, 3, 4}));
    EXPECT_GE(ProcessorCount(), 1u);
    EXPECT_LE(ProcessorCount(), kMaxWorkerThreads);
}

}  // namespace
}  // namespace qdx
