#pragma once
// A small pool of worker threads that runs numbered tasks side by side. The
// calling thread always takes part, so a pool of one thread runs everything
// on the caller, in order. A task that itself asks the pool for more work has
// that work run on its own thread (no nesting, no waiting on a busy pool).
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace qdx {

// The most threads worth having: beyond this the memory bandwidth, not the
// arithmetic, limits every step we split.
inline constexpr uint32_t kMaxWorkerThreads = 16;

// Processors this process may use, 1 .. kMaxWorkerThreads.
uint32_t ProcessorCount();

// Threads a conversion batch uses (its pool, the caller included): the
// processor count unless set otherwise for the whole process (the command
// line's --jobs); 0 sets it back to the processor count.
void SetConversionThreads(uint32_t threads);
uint32_t ConversionThreads();

// The work of one Run: task(i) for every i below count.
class PoolTask {
public:
    virtual void RunTask(uint32_t index) = 0;

protected:
    ~PoolTask() = default;
};

class WorkerPool {
public:
    // `threads` counts the caller: 1 starts no thread. Clamped to 1 .. 16.
    explicit WorkerPool(uint32_t threads);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    ~WorkerPool();

    uint32_t Threads() const { return uint32_t(workers_.size()) + 1; }

    // Runs task.RunTask(i) for i = 0 .. count - 1 and returns when all have
    // finished. Indexes are handed out in rising order to whichever thread
    // is free; each index runs exactly once.
    void Run(uint32_t count, PoolTask& task);

    // Runs a callable f(i) the same way.
    template <typename F>
    void For(uint32_t count, F&& f) {
        struct Adapter final : PoolTask {
            F& f;
            explicit Adapter(F& g) : f(g) {}
            void RunTask(uint32_t index) override { f(index); }
        } adapter(f);
        Run(count, adapter);
    }

private:
    void WorkerLoop();
    void Drain(std::unique_lock<std::mutex>& lock);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;   // a new Run or the end
    std::condition_variable done_;   // the last index of a Run finished
    std::mutex runMutex_;            // one Run at a time from outside
    PoolTask* task_ = nullptr;
    uint32_t count_ = 0, next_ = 0, finished_ = 0;
    uint64_t generation_ = 0;
    bool stopping_ = false;
};

// Runs f(i) for i below count on `pool`, or on the calling thread in order
// when there is no pool.
template <typename F>
void ForEachIndex(WorkerPool* pool, uint32_t count, F&& f) {
    if (pool && count > 1) {
        pool->For(count, f);
        return;
    }
    for (uint32_t i = 0; i < count; ++i) f(i);
}

}  // namespace qdx
