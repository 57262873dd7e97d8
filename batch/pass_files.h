#pragma once
// The files of one pass, each decoded, rescaled and written to a temporary
// file, handed to the batch thread strictly in input order. With one thread
// that is the plain loop on the batch's own context. With more threads and
// more than one file, a few workers convert the next files side by side, each
// with its own reader, writer and scaling states and its own temporary file;
// the batch thread alone still picks names, copies and shows messages, so
// outputs, names and messages are those of the one-thread pass.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "batch/batch.h"
#include "batch/batch_host.h"

namespace qdx {

class PassFiles {
public:
    // `context` has its preset and output step set for this pass. `host`,
    // when given, is asked to keep responsive between the steps of a file
    // converted on the batch thread and while Next waits for a worker.
    PassFiles(ConversionContext& context, uint32_t count, const WideString* paths, const CodecSteps& steps,
              BatchHost* host = nullptr);
    PassFiles(const PassFiles&) = delete;
    PassFiles& operator=(const PassFiles&) = delete;
    ~PassFiles();

    // Converts file `index` (asked for in rising order, each once) or waits
    // for the worker that does; returns the temporary file holding its
    // output, or null when the file was skipped (missing, undecodable, or
    // scaling or writing failed), with what became of it in `outcome`
    // (Written when a temporary file is returned). A library found missing
    // by a worker's read is named in the batch context's missingLibrary.
    const WideString* Next(uint32_t index, FileOutcome& outcome);
    // Why file `index` was refused, with its size, after Next gave TooLarge or
    // OutOfMemory for it (valid until Done).
    const PixelBudget& BudgetOf(uint32_t index) const;
    // The batch thread has finished with the output of file `index`.
    void Done(uint32_t index);

    // Files converted at once (1: the plain loop).
    uint32_t Workers() const { return workers_; }

private:
    struct Slot;
    bool StartWorkers(uint32_t workers);
    void StopWorkers();
    void Work(uint32_t slot);
    bool Reserve(Slot& slot, uint64_t bytes);

    ConversionContext& context_;
    uint32_t count_;
    const WideString* paths_;
    const CodecSteps& steps_;
    BatchHost* host_;
    uint32_t workers_ = 1;

    std::unique_ptr<Slot[]> slots_;
    std::unique_ptr<uint8_t[]> results_;  // per file: pending, skipped or written
    std::mutex mutex_;
    std::condition_variable changed_;
    uint32_t consumed_ = 0;     // files the batch thread is done with
    uint64_t inFlight_ = 0;     // bytes of decoded pictures being scaled or written
    uint64_t budget_ = 0;       // at most this many, except for the oldest file
    bool stopping_ = false;
    const char16_t* missingLibrary_ = nullptr;  // what a worker's read found missing
};

// Files converted side by side for a pass of `count` files with `threads`
// threads and `physicalMemory` bytes: one unless both allow more.
uint32_t PassWorkers(uint32_t count, uint32_t threads, uint64_t physicalMemory);

}  // namespace qdx
