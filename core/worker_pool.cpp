#include "core/worker_pool.h"

#include <atomic>

namespace qdx {

namespace {

// Set while a thread runs a pool task: its own requests for the pool run
// inline, so a task never waits for threads that may all be busy with it.
thread_local bool insidePoolTask = false;

std::atomic<uint32_t> conversionThreads{0};

}  // namespace

uint32_t ProcessorCount() {
    const uint32_t count = std::thread::hardware_concurrency();
    if (count == 0) return 1;
    return count > kMaxWorkerThreads ? kMaxWorkerThreads : count;
}

void SetConversionThreads(uint32_t threads) {
    conversionThreads = threads > kMaxWorkerThreads ? kMaxWorkerThreads : threads;
}

uint32_t ConversionThreads() {
    const uint32_t chosen = conversionThreads;
    return chosen == 0 ? ProcessorCount() : chosen;
}

WorkerPool::WorkerPool(uint32_t threads) {
    if (threads < 1) threads = 1;
    if (threads > kMaxWorkerThreads) threads = kMaxWorkerThreads;
    // A thread the system refuses leaves a smaller pool, never a failure.
    try {
        workers_.reserve(threads - 1);
        for (uint32_t i = 1; i < threads; ++i) workers_.emplace_back([this] { WorkerLoop(); });
    } catch (...) {
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

// Takes indexes of the current Run until none is left. Called with the lock
// held; runs every task without it.
void WorkerPool::Drain(std::unique_lock<std::mutex>& lock) {
    while (task_ && next_ < count_) {
        const uint32_t index = next_++;
        PoolTask* task = task_;
        lock.unlock();
        insidePoolTask = true;
        task->RunTask(index);
        insidePoolTask = false;
        lock.lock();
        if (++finished_ == count_) done_.notify_all();
    }
}

void WorkerPool::WorkerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    uint64_t seen = 0;
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || (generation_ != seen && task_ && next_ < count_); });
        if (stopping_) return;
        seen = generation_;
        Drain(lock);
    }
}

void WorkerPool::Run(uint32_t count, PoolTask& task) {
    if (count == 0) return;
    if (insidePoolTask || workers_.empty() || count == 1) {
        for (uint32_t i = 0; i < count; ++i) task.RunTask(i);
        return;
    }
    std::lock_guard<std::mutex> runLock(runMutex_);
    std::unique_lock<std::mutex> lock(mutex_);
    task_ = &task;
    count_ = count;
    next_ = 0;
    finished_ = 0;
    ++generation_;
    wake_.notify_all();
    Drain(lock);
    done_.wait(lock, [&] { return finished_ == count_; });
    task_ = nullptr;
    count_ = 0;
}

}  // namespace qdx
